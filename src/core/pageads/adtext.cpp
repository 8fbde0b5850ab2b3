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

} // namespace

inline bool AdTextComparer::Match(char c)
{
    if (IsBlank(static_cast<unsigned char>(c)))
        return true;
    const size_t size = m_html.size();
    const char* html = m_html.data();
    size_t next = m_next;
    while (next < size && IsBlank(static_cast<unsigned char>(html[next])))
        ++next;
    if (next == size || html[next] != c) {
        m_differs = true;
        return false;
    }
    m_next = next + 1;
    return true;
}

void AdTextComparer::Feed(std::string_view piece)
{
    if (m_differs || m_closed)
        return;
    size_t i = 0;
    if (!m_literal) {
        for (; i < piece.size(); ++i)
            if (!Match(piece[i]))
                return;
        return;
    }
    if (!m_opened) {
        const size_t open = piece.find('"');
        if (open == std::string_view::npos)
            return;
        m_opened = true;
        i = open + 1;
    }
    // A backslash or a lead byte left over from the previous piece.
    if (m_backslash && i < piece.size()) {
        m_backslash = false;
        const char escaped = piece[i++];
        if ((escaped == '\\' || escaped == '"' || escaped == '/') && !Match(escaped))
            return;
    }
    if (m_lead >= 0 && i < piece.size()) {
        const char lead = static_cast<char>(m_lead);
        m_lead = -1;
        if (IsPageTrailByte(m_encoding, static_cast<unsigned char>(piece[i]))) {
            if (!Match(lead) || !Match(piece[i]))
                return;
            ++i;
        } else if (!Match(lead)) {
            return;
        }
    }
    while (i < piece.size()) {
        const char c = piece[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            if (m_encoding != PageEncoding::ShiftJis) {
                // No byte of a UTF-8 or EUC-JP character is ASCII: each is
                // compared as it comes.
                if (!Match(c))
                    return;
                ++i;
                continue;
            }
            if (i + 1 == piece.size() && IsPageLeadByte(m_encoding, u)) {
                m_lead = u;
                return;
            }
            const size_t length = PageCharLength(m_encoding, piece, i);
            for (size_t k = 0; k < length; ++k)
                if (!Match(piece[i + k]))
                    return;
            i += length;
            continue;
        }
        if (c == '"') {
            m_closed = true;
            return;
        }
        if (c == '\\') {
            if (i + 1 == piece.size()) {
                m_backslash = true;
                return;
            }
            const char escaped = piece[i + 1];
            i += 2;
            if ((escaped == '\\' || escaped == '"' || escaped == '/') && !Match(escaped))
                return;
            continue;
        }
        if (!Match(c))
            return;
        ++i;
    }
}

bool AdTextComparer::Finish()
{
    if (m_backslash) {
        m_backslash = false;
        Match('\\');
    }
    if (m_lead >= 0) {
        Match(static_cast<char>(m_lead));
        m_lead = -1;
    }
    if (m_differs)
        return false;
    for (size_t i = m_next; i < m_html.size(); ++i)
        if (!IsBlank(static_cast<unsigned char>(m_html[i])))
            return false;
    return true;
}

bool SameAdText(std::string_view pageText, std::string_view bannerHTML, bool literal, PageEncoding encoding)
{
    AdTextComparer comparer(bannerHTML, literal, encoding);
    comparer.Feed(pageText);
    return comparer.Finish();
}

} // namespace pw
