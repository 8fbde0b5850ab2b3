// The scanner of the Regist text, the compact field map that says how an
// agency's signup form is filled from a registration profile.

#include "networks/network.h"
#include "networks/registnumber.h"

namespace pw {

bool ParseDecimal(std::string_view text, int32_t& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
        if (result > int64_t(INT32_MAX) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result > INT32_MAX || result < INT32_MIN)
        return false;
    value = static_cast<int32_t>(result);
    return true;
}

void ClearForms(TNetwork& network)
{
    if (network.Forms)
        network.Forms->clear();
    else if (network.Regist.size() > 1)
        network.Forms.emplace();
}

void ParseRegist(TNetwork& network)
{
    ClearForms(network);
    const std::string& s = network.Regist;
    const size_t n = s.size();
    std::string token;
    RegistForm* form = nullptr;
    TRegistField* entry = nullptr;
    // An entry that stands before any form header has nowhere to go: it is
    // parsed into this scratch entry (so that its options are consumed) and
    // dropped. A ";" before any entry completes the same scratch entry.
    std::unique_ptr<TRegistField> orphan;

    auto scratch = [&]() {
        orphan = std::make_unique<TRegistField>();
        return orphan.get();
    };

    // Collects from `i` up to the closing character `close` or up to the
    // second-to-last character of the text; leaves i on the stop position.
    auto collect = [&](size_t& i, char close, std::string& into) {
        while (i + 2 < n && s[i] != close)
            into.push_back(s[i++]);
    };

    for (size_t i = 0; i + 1 < n; ++i) {
        const char c = s[i];
        if (c == ':') {
            network.Forms->push_back({ token, {} });
            form = &network.Forms->back();
            token.clear();
        } else if (c == '=') {
            std::unique_ptr<TRegistField> field = std::make_unique<TRegistField>();
            field->Source = token;
            if (s[i + 1] == '*') {
                field->Required = true;
                ++i;
            } else if (s[i + 1] == '=') {
                field->Mirror = true;
                ++i;
            }
            field->Control = LookupField(field->Source);
            entry = field.get();
            if (form)
                form->Fields.push_back(std::move(field));
            else
                orphan = std::move(field);
            token.clear();
        } else if (c == ';') {
            if (!entry)
                entry = scratch();
            if (s[i + 1] == '%') {
                ++i;
                entry->Target = token;
            } else {
                if (form) {
                    for (auto it = form->Fields.rbegin(); it != form->Fields.rend(); ++it) {
                        TRegistField* earlier = it->get();
                        // An entry is never chained to itself (a second ";" after
                        // one entry would otherwise make a loop).
                        if (earlier != entry && earlier->Target == token && !earlier->Next) {
                            earlier->Next = entry;
                            entry->Continued = true;
                            break;
                        }
                    }
                }
                entry->Target = token;
                const char option = s[i + 1];
                switch (option) {
                case '!':
                case '$':
                case '(': {
                    std::string& into = option == '!' ? entry->GuardName
                        : option == '$'               ? entry->Expected
                                                      : entry->RemoveText;
                    const char close = option == '(' ? ')' : option;
                    i += 2;
                    collect(i, close, into);
                    break;
                }
                case '#': {
                    i += 2;
                    token.clear();
                    while (i + 2 < n && s[i] != '#') {
                        if (s[i] == ':') {
                            int32_t value = 0;
                            if (!ParseDecimal(token, value))
                                value = 0;
                            if (!entry->Pairs)
                                entry->Pairs.emplace();
                            entry->Pairs->push_back(value);
                            token.clear();
                        } else {
                            token.push_back(s[i]);
                        }
                        ++i;
                    }
                    if (entry->Pairs) {
                        entry->Number = static_cast<int32_t>(entry->Pairs->size() / 2);
                    } else {
                        int32_t value = 0;
                        entry->Number = ParseDecimal(token, value) ? value : kNoNumber;
                    }
                    break;
                }
                case '<':
                case '>':
                case '{': {
                    entry->Cut = option;
                    i += 2;
                    std::string number;
                    collect(i, option, number);
                    int32_t value = 0;
                    entry->Number = ParseDecimal(number, value) ? value : 1;
                    break;
                }
                default:
                    break;
                }
            }
            token.clear();
        } else {
            token.push_back(c);
        }
    }
}

} // namespace pw
