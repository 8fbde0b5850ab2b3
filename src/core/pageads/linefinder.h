#pragma once

#include "pageads/pageencoding.h"

#include <cstddef>
#include <string_view>

namespace pw {

// Searches one line for a fixed text and remembers its last answer, so that
// the repeated searches of a walk, from columns that only grow, cost no more
// than one pass over the line even when the text is missing (a line of
// megabytes full of cut-off markers stays linear). Indexes are 0-based.
class LineFinder {
public:
    explicit LineFinder(std::string_view pattern) : m_pattern(pattern) {}

    void Reset() { m_from = npos; }

    size_t Find(std::string_view line, size_t from)
    {
        if (m_from != npos && from >= m_from && (m_found == npos || from <= m_found))
            return m_found;
        m_from = from;
        m_found = from >= line.size() ? npos : line.find(m_pattern, from);
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
    CharFinder(char c, PageEncoding encoding) : m_char(c), m_encoding(encoding) {}

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
