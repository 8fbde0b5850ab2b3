#pragma once

#include "text/pageencoding.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace pw {

// The first occurrence of `pattern` (two bytes or more) in `text` at or after
// `from`, or npos: memchr for the first byte, then a cheap look at the second
// before comparing the rest.
inline size_t FindText(std::string_view text, std::string_view pattern, size_t from)
{
    const size_t n = pattern.size();
    if (from >= text.size() || text.size() - from < n)
        return std::string_view::npos;
    const char* p = text.data() + from;
    const char* last = text.data() + text.size() - n; // the last place a match can start
    while (p <= last) {
        p = static_cast<const char*>(std::memchr(p, pattern[0], static_cast<size_t>(last - p) + 1));
        if (!p)
            return std::string_view::npos;
        if (p[1] == pattern[1] && std::memcmp(p + 2, pattern.data() + 2, n - 2) == 0)
            return static_cast<size_t>(p - text.data());
        ++p;
    }
    return std::string_view::npos;
}

// Searches one line for a fixed text and remembers its last answer, so that
// the repeated searches of a walk, from columns that only grow, cost no more
// than one pass over the line even when the text is missing (a line of
// megabytes full of cut-off markers stays linear). Indexes are 0-based.
class LineFinder {
public:
    explicit LineFinder(std::string_view pattern)
        : m_pattern(pattern)
    {
    }

    void Reset() { m_from = npos; }

    size_t Find(std::string_view line, size_t from)
    {
        if (m_from != npos && from >= m_from && (m_found == npos || from <= m_found))
            return m_found;
        m_from = from;
        m_found = FindText(line, m_pattern, from);
        return m_found;
    }

    static constexpr size_t npos = std::string_view::npos;

private:
    std::string_view m_pattern;
    size_t m_from = npos;
    size_t m_found = npos;
};

// The same for one single-byte character, stepping over multi-byte characters.
// Every `from` must be a character boundary.
class CharFinder {
public:
    CharFinder(char c, PageEncoding encoding)
        : m_char(c)
        , m_encoding(encoding)
    {
    }

    void Reset() { m_from = npos; }

    size_t Find(std::string_view line, size_t from)
    {
        if (m_from != npos && from >= m_from && (m_found == npos || from <= m_found))
            return m_found;
        m_from = from;
        m_found = from >= line.size() ? npos : FindPageChar(m_encoding, line, m_char, from);
        return m_found;
    }

    static constexpr size_t npos = std::string_view::npos;

private:
    char m_char;
    PageEncoding m_encoding;
    size_t m_from = npos;
    size_t m_found = npos;
};

} // namespace pw
