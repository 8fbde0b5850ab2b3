#include "pageads/htmltag.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace pw {

namespace {

// The markup bytes looked at here ('<', '>', '/', '!', '?', '-', '=', quotes,
// blanks) all lie below 0x40, where no Shift_JIS trail byte and no byte of an
// EUC-JP or UTF-8 multi-byte character falls, so the page is read byte by byte.
bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Elements whose text is read up to their end tag, with no markup in it.
constexpr std::array<std::string_view, 4> kRawTextElements = { "script", "style", "textarea", "title" };
constexpr size_t kLongestRawTextName = 8;

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word)
{
    if (at + word.size() > text.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Lower(text[at + i]) != word[i])
            return false;
    return true;
}

// An HTML tokenizer reduced to what tells markup from text.
class MarkupReader {
public:
    // Reads the bytes of `line` before `end`; the bytes after it are only
    // looked at to tell what a '<' opens.
    void Read(std::string_view line, size_t end)
    {
        for (size_t i = 0; i < end;)
            i = Step(line, i);
    }

    // A line break: a blank for the tokenizer.
    void Break()
    {
        m_readingName = false;
        m_dashes = 0;
    }

    bool InMarkup() const { return m_state == State::Tag || m_state == State::Comment || m_state == State::Other; }

private:
    enum class State {
        Text,
        Tag, // a start or end tag, to its '>'
        Comment, // "<!--" to "-->"
        Other, // a declaration, a processing instruction or a bogus comment, to the next '>'
        RawText, // the text of a script, style, textarea or title element
    };

    // Reads the byte at `i`; returns where reading goes on.
    size_t Step(std::string_view line, size_t i)
    {
        const char c = line[i];
        const char next = i + 1 < line.size() ? line[i + 1] : '\n';
        switch (m_state) {
        case State::Text:
            if (c != '<')
                return i + 1;
            if (IsLetter(next)) {
                OpenTag(false);
            } else if (next == '/') {
                if (i + 2 < line.size() && IsLetter(line[i + 2]))
                    OpenTag(true);
                else
                    m_state = State::Other;
            } else if (next == '!' && line.substr(i, 4) == "<!--") {
                m_state = State::Comment;
                m_dashes = 0;
                return i + 4;
            } else if (next == '!' || next == '?') {
                m_state = State::Other;
            }
            return i + 1;
        case State::Tag:
            ReadTagByte(c);
            return i + 1;
        case State::Comment:
            if (c == '>' && m_dashes >= 2)
                m_state = State::Text;
            m_dashes = c == '-' ? m_dashes + 1 : 0;
            return i + 1;
        case State::Other:
            if (c == '>')
                m_state = State::Text;
            return i + 1;
        case State::RawText:
            if (c == '<' && next == '/' && StartsWithNoCase(line, i + 2, m_rawTextEnd)) {
                const size_t after = i + 2 + m_rawTextEnd.size();
                if (after >= line.size() || IsBlank(line[after]) || line[after] == '/' || line[after] == '>') {
                    OpenTag(true);
                    m_readingName = false;
                }
            }
            return i + 1;
        }
        return i + 1;
    }

    void OpenTag(bool endTag)
    {
        m_state = State::Tag;
        m_endTag = endTag;
        m_readingName = !endTag;
        m_name.clear();
        m_quote = 0;
        m_afterEquals = false;
    }

    void ReadTagByte(char c)
    {
        if (m_quote) {
            if (c == m_quote) {
                m_quote = 0;
                m_afterEquals = false;
            }
            return;
        }
        if (m_readingName) {
            if (!IsBlank(c) && c != '/' && c != '>') {
                // Longer names are no raw text element; keep one byte more to tell.
                if (m_name.size() <= kLongestRawTextName)
                    m_name += Lower(c);
                return;
            }
            m_readingName = false;
        }
        if (c == '>') {
            m_state = State::Text;
            if (!m_endTag) {
                const auto* raw = std::find(kRawTextElements.begin(), kRawTextElements.end(), m_name);
                if (raw != kRawTextElements.end()) {
                    m_state = State::RawText;
                    m_rawTextEnd = *raw;
                }
            }
        } else if ((c == '"' || c == '\'') && m_afterEquals) {
            m_quote = c;
        } else if (!IsBlank(c)) {
            m_afterEquals = c == '=';
        }
    }

    State m_state = State::Text;
    bool m_endTag = false;
    bool m_readingName = false;
    std::string m_name; // the start tag's name in lower case, as far as it matters
    char m_quote = 0; // the quote of the attribute value being read
    bool m_afterEquals = false; // the tag's last byte other than a blank was '='
    std::string_view m_rawTextEnd; // the element whose end tag ends the raw text
    int m_dashes = 0; // '-' read in a row in a comment
};

} // namespace

bool InsideHtmlTag(const PageEditor& editor, TextPos pos)
{
    const size_t count = editor.LineCount();
    if (count == 0)
        return false;
    const size_t last = std::clamp<size_t>(pos.Line, 1, count);
    MarkupReader reader;
    for (size_t line = 1; line < last; ++line) {
        const std::string_view text = editor.LineText(line);
        reader.Read(text, text.size());
        reader.Break();
    }
    const std::string_view text = editor.LineText(last);
    reader.Read(text, std::min(pos.Col > 0 ? pos.Col - 1 : 0, text.size()));
    return reader.InMarkup();
}

} // namespace pw
