#include "networks/login.h"

#include "networks/definitions.h"

#include "base/files.h"

namespace pw {

namespace {

constexpr std::string_view kNoScriptText
    = "JavaScript\x82\xCC\x90\xDD\x92\xE8\x82\xF0\x83I\x83\x93\x82\xC9\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81"
      "B"; // JavaScriptの設定をオンにして下さい。

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        out.push_back(Lower(c));
    return out;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsPlainWord(std::string_view value)
{
    if (value.empty())
        return false;
    for (const char c : value) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
            || c == '-' || c == '.' || c == ':';
        if (!plain)
            return false;
    }
    return true;
}

// Escapes for a double-quoted attribute like EscapeAttribute, but leaves an
// '&' that starts a character reference ("&amp;", "&#39;", "&#x27;"), so the
// value means what it meant in the source.
std::string EscapeKeepingReferences(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '&') {
            size_t j = i + 1;
            if (j < value.size() && value[j] == '#') {
                ++j;
                if (j < value.size() && (value[j] == 'x' || value[j] == 'X'))
                    ++j;
            }
            const size_t start = j;
            while (j < value.size()
                && ((value[j] >= 'a' && value[j] <= 'z') || (value[j] >= 'A' && value[j] <= 'Z')
                    || (value[j] >= '0' && value[j] <= '9')))
                ++j;
            out += j > start && j < value.size() && value[j] == ';' ? "&" : "&amp;";
        } else {
            out += EscapeAttribute(std::string_view(&value[i], 1));
        }
    }
    return out;
}

// An attribute written as name=word when the value is a plain word, else
// name="escaped value".
std::string AttributeText(std::string_view name, std::string_view value)
{
    if (IsPlainWord(value))
        return std::string(name) + "=" + std::string(value);
    return std::string(name) + "=\"" + EscapeKeepingReferences(value) + "\"";
}

struct Attribute {
    std::string name; // lower case
    std::string value;
};

// Reads the attributes of a start tag from `pos` (just after the tag name) to
// its '>'. Returns false when the tag does not end.
bool ReadAttributes(std::string_view html, size_t& pos, std::vector<Attribute>& attributes)
{
    for (;;) {
        while (pos < html.size() && (IsBlank(html[pos]) || html[pos] == '/'))
            ++pos;
        if (pos >= html.size())
            return false;
        if (html[pos] == '>') {
            ++pos;
            return true;
        }
        const size_t nameStart = pos;
        while (pos < html.size() && !IsBlank(html[pos]) && html[pos] != '>' && html[pos] != '/'
            && (html[pos] != '=' || pos == nameStart))
            ++pos;
        Attribute attribute { LowerCase(html.substr(nameStart, pos - nameStart)), {} };
        while (pos < html.size() && IsBlank(html[pos]))
            ++pos;
        if (pos < html.size() && html[pos] == '=') {
            ++pos;
            while (pos < html.size() && IsBlank(html[pos]))
                ++pos;
            if (pos < html.size() && (html[pos] == '"' || html[pos] == '\'')) {
                const char quote = html[pos++];
                const size_t end = html.find(quote, pos);
                if (end == std::string_view::npos)
                    return false;
                attribute.value = html.substr(pos, end - pos);
                pos = end + 1;
            } else {
                const size_t start = pos;
                while (pos < html.size() && !IsBlank(html[pos]) && html[pos] != '>')
                    ++pos;
                attribute.value = html.substr(start, pos - start);
            }
        }
        attributes.push_back(std::move(attribute));
    }
}

void AddDropped(std::vector<std::string>& dropped, std::string_view piece)
{
    size_t first = 0;
    size_t last = piece.size();
    while (first < last && IsBlank(piece[first]))
        ++first;
    while (last > first && IsBlank(piece[last - 1]))
        --last;
    if (first < last)
        dropped.emplace_back(piece.substr(first, last - first));
}

// Elements whose content is not markup: skipped up to their end tag.
bool IsRawTextElement(std::string_view name)
{
    return name == "script" || name == "style" || name == "textarea" || name == "title" || name == "xmp"
        || name == "iframe" || name == "noembed" || name == "noframes" || name == "noscript"
        || name == "plaintext";
}

// name=FIELD for a plain word (the usual case, written as it always was),
// else the name quoted and escaped: a field name from the definitions file
// cannot add markup to the page.
std::string FieldName(std::string_view field)
{
    if (field.empty() || IsPlainWord(field))
        return "name=" + std::string(field);
    return "name=\"" + EscapeAttribute(field) + "\"";
}

} // namespace

LoginFormFields FilterFieldOthers(std::string_view html)
{
    LoginFormFields result;
    size_t pos = 0;
    while (pos < html.size()) {
        const size_t lt = html.find('<', pos);
        if (lt == std::string_view::npos) {
            AddDropped(result.Dropped, html.substr(pos));
            break;
        }
        AddDropped(result.Dropped, html.substr(pos, lt - pos));
        if (html.substr(lt).starts_with("<!--")) {
            const size_t end = html.find("-->", lt + 4);
            const size_t stop = end == std::string_view::npos ? html.size() : end + 3;
            AddDropped(result.Dropped, html.substr(lt, stop - lt));
            pos = stop;
            continue;
        }
        size_t nameEnd = lt + 1;
        while (nameEnd < html.size() && !IsBlank(html[nameEnd]) && html[nameEnd] != '>' && html[nameEnd] != '/')
            ++nameEnd;
        if (nameEnd == lt + 1 && nameEnd < html.size() && html[nameEnd] == '/') // an end tag
            while (nameEnd < html.size() && !IsBlank(html[nameEnd]) && html[nameEnd] != '>')
                ++nameEnd;
        const std::string name = LowerCase(html.substr(lt + 1, nameEnd - lt - 1));
        size_t end = nameEnd;
        std::vector<Attribute> attributes;
        if (!ReadAttributes(html, end, attributes)) {
            AddDropped(result.Dropped, html.substr(lt));
            break;
        }
        if (IsRawTextElement(name)) {
            const size_t close = LowerCase(html.substr(end)).find("</" + name);
            size_t stop = html.size();
            if (close != std::string::npos) {
                const size_t gt = html.find('>', end + close);
                stop = gt == std::string_view::npos ? html.size() : gt + 1;
            }
            AddDropped(result.Dropped, html.substr(lt, stop - lt));
            pos = stop;
            continue;
        }
        const std::string_view tag = html.substr(lt, end - lt);
        pos = end;
        const Attribute* type = nullptr;
        const Attribute* fieldName = nullptr;
        const Attribute* value = nullptr;
        bool others = false;
        for (const Attribute& attribute : attributes) {
            // The first of repeated attributes counts, as in a browser.
            const Attribute** slot = attribute.name == "type" ? &type
                : attribute.name == "name"                    ? &fieldName
                : attribute.name == "value"                   ? &value
                                                              : nullptr;
            if (!slot)
                others = true;
            else if (!*slot)
                *slot = &attribute;
        }
        if (name != "input" || !type || LowerCase(type->value) != "hidden" || !fieldName
            || fieldName->value.empty()) {
            AddDropped(result.Dropped, tag);
            continue;
        }
        if (others)
            AddDropped(result.Dropped, tag);
        result.Html += "<input type=hidden " + AttributeText("name", fieldName->value) + " "
            + AttributeText("value", value ? std::string_view(value->value) : std::string_view()) + ">";
    }
    return result;
}

LoginMenu BuildLoginMenu(NetworkList& networks)
{
    LoginMenu menu;
    int k = 0;
    for (auto& network : networks) {
        ParseRegist(*network);
        if (!network->Logins.empty()) {
            LoginMenuItem item;
            item.Caption = "[&" + std::to_string(k + 1) + "]" + network->Name;
            if (network->Logins.size() == 1) {
                item.Login = network->Logins.front().Info.get();
            } else {
                for (const LoginEntry& login : network->Logins)
                    item.SubItems.push_back({ login.Name, login.Info.get(), {} });
            }
            menu.Items.push_back(std::move(item));
            ++k;
        }
        menu.NetworkChoice.push_back(network->Name);
    }
    menu.LoginEnabled = k > 0;
    menu.NetworkChoice.emplace_back(kOtherNetworkName);
    return menu;
}

std::string EscapeAttribute(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string BuildLoginPage(const TLoginInfo& login)
{
    static const TNetwork kEmpty;
    const TNetwork& network = login.Network ? *login.Network : kEmpty;
    std::string page;
    page += "<html><head><meta charset=\"Shift_JIS\"></head><body><form name=fm method=post action=\""
        + EscapeAttribute(network.LoginURL) + "\">\r\n";
    page += "<input type=hidden " + FieldName(network.FieldUser) + " value=\"" + EscapeAttribute(login.User)
        + "\">\r\n";
    page += "<input type=hidden " + FieldName(network.FieldPassword) + " value=\""
        + EscapeAttribute(login.Password) + "\">\r\n";
    page += FilterFieldOthers(network.FieldOthers).Html + "\r\n";
    page += "</form><script defer>\r\n";
    page += "document.fm.submit();\r\n";
    page += "</script><noscript>";
    page += kNoScriptText;
    page += "</NOSCRIPT></body></html>\r\n";
    return page;
}

Status CheckLoginAddress(const TLoginInfo& login)
{
    const TNetwork& network = *login.Network;
    if (!PostableLoginOrigin(network.LoginURL))
        return Status::Fail(UnsafeLoginURLMessage(network.Name, network.LoginURL));
    return Status::Ok();
}

Status WriteLoginPage(const std::string& path, const TLoginInfo& login)
{
    if (Status checked = CheckLoginAddress(login); !checked)
        return checked;
    return WriteScratchFile(path, BuildLoginPage(login));
}

Status OpenLogin(const TLoginInfo& login, const std::string& pageFile, LoginBrowser& browser)
{
    if (Status written = WriteLoginPage(pageFile, login); !written)
        return written;
    return browser.OpenMaximised(pageFile);
}

} // namespace pw
