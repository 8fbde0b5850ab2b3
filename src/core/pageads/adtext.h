#pragma once

#include "text/pageencoding.h"

#include <cstddef>
#include <string_view>

// Byte searches and the blank-blind comparison of a block's text with a
// banner's HTML. Positions are counted from 1; 0 means "not found".
namespace pw {

// The first position at or after `start` where `sub` occurs, or 0. An empty
// `sub` gives 0; a start of 1 or less searches from the beginning.
size_t PosFrom(std::string_view sub, std::string_view text, size_t start);

// The first position at or after `start` that holds the single-byte character
// `ch`, or 0 when there is none or `start` lies beyond the end. `start` must be
// a character boundary: the search steps over multi-byte characters, so the
// second byte of a double-byte character is never taken for `ch`.
size_t PosChar(char ch, std::string_view text, size_t start, PageEncoding encoding);

// Whether a block's text equals a banner's HTML when every byte up to 0x20 is
// ignored on both sides. In literal mode the page text is a script string
// literal: the walk starts after its opening quotation mark, ends at the next
// unescaped one, and resolves the backslash escapes (\\, \" and \/ stand for
// themselves, any other escape for a blank). Multi-byte characters inside the
// literal are taken whole.
bool SameAdText(std::string_view pageText, std::string_view bannerHTML, bool literal, PageEncoding encoding);

// SameAdText over a page text that arrives in pieces, as the scan reads a
// block line by line; the pieces are taken as joined without anything between
// them. Gives the same answer as SameAdText on the joined text, without
// copying it, and stops comparing at the first difference.
class AdTextComparer {
public:
    AdTextComparer(std::string_view bannerHTML, bool literal, PageEncoding encoding)
        : m_html(bannerHTML)
        , m_literal(literal)
        , m_encoding(encoding)
    {
    }

    void Feed(std::string_view piece);
    bool Finish();

private:
    bool Match(char c);

    std::string_view m_html;
    size_t m_next = 0;
    bool m_literal;
    PageEncoding m_encoding;
    bool m_differs = false;
    bool m_opened = false; // literal: the opening quotation mark has come
    bool m_closed = false; // literal: the closing quotation mark has come
    bool m_backslash = false; // literal: a backslash waits for the byte after it
    int m_lead = -1; // literal: a lead byte waits for its second byte
};

} // namespace pw
