#include "pageads/adtext.h"

namespace pw {

size_t PosFrom(std::string_view sub, std::string_view text, size_t start)
{
    if (sub.empty())
        return 0;
    const size_t from = start <= 1 ? 0 : start - 1;
    if (from >= text.size())
        return 0;
    const size_t at = text.find(sub, from);
    return at == std::string_view::npos ? 0 : at + 1;
}

size_t PosChar(char ch, std::string_view text, size_t start, PageEncoding encoding)
{
    const size_t from = start <= 1 ? 0 : start - 1;
    if (from >= text.size())
        return 0;
    const size_t at = FindPageChar(encoding, text, ch, from);
    return at == std::string_view::npos ? 0 : at + 1;
}

namespace {

constexpr bool IsBlank(unsigned char c)
{
    return c <= 0x20;
}

// Matches page bytes one by one against the banner HTML's non-blank bytes.
class BlankBlindMatcher {
public:
    explicit BlankBlindMatcher(std::string_view html) : m_html(html) {}

    bool Match(char c)
    {
        if (IsBlank(static_cast<unsigned char>(c)))
            return true;
        while (m_next < m_html.size() && IsBlank(static_cast<unsigned char>(m_html[m_next])))
            ++m_next;
        if (m_next == m_html.size() || m_html[m_next] != c)
            return false;
        ++m_next;
        return true;
    }

    bool RestIsBlank() const
    {
        for (size_t i = m_next; i < m_html.size(); ++i)
            if (!IsBlank(static_cast<unsigned char>(m_html[i])))
                return false;
        return true;
    }

private:
    std::string_view m_html;
    size_t m_next = 0;
};

} // namespace

bool SameAdText(std::string_view pageText, std::string_view bannerHTML, bool literal, PageEncoding encoding)
{
    BlankBlindMatcher matcher(bannerHTML);
    if (!literal) {
        for (char c : pageText)
            if (!matcher.Match(c))
                return false;
        return matcher.RestIsBlank();
    }

    const size_t open = pageText.find('"');
    size_t i = open == std::string_view::npos ? pageText.size() : open + 1;
    while (i < pageText.size()) {
        const size_t length = PageCharLength(encoding, pageText, i);
        if (length > 1) {
            for (size_t k = 0; k < length; ++k)
                if (!matcher.Match(pageText[i + k]))
                    return false;
            i += length;
            continue;
        }
        const char c = pageText[i];
        if (c == '"')
            break;
        if (c == '\\' && i + 1 < pageText.size()) {
            const char escaped = pageText[i + 1];
            i += 2;
            if (escaped == '\\' || escaped == '"' || escaped == '/') {
                if (!matcher.Match(escaped))
                    return false;
            }
            continue;
        }
        if (!matcher.Match(c))
            return false;
        ++i;
    }
    return matcher.RestIsBlank();
}

} // namespace pw
