#pragma once

#include "text/sjis.h"

#include <cstddef>
#include <string>
#include <string_view>

// The byte encoding of a page, and the one place where text crosses from the
// program's own encoding (Shift_JIS: catalogue names and HTML, the Japanese
// constants written into pages) into a page and back.
//
// The ad block algorithms work on the page's bytes as they are. They only need
// to know where a character starts, so that a search for an ASCII byte such as
// "]" or "\" never stops at the second byte of a double-byte character.
namespace pw {

enum class PageEncoding {
    ShiftJis,
};

// Program text (Shift_JIS) as it is written into a page of this encoding.
std::string ToPageText(PageEncoding encoding, std::string_view programText);

// Page text (a block name, for instance) as program text, for messages and for
// comparisons with catalogue values.
std::string FromPageText(PageEncoding encoding, std::string_view pageText);

// Number of bytes of the character that starts at `i` (1 or 2 for Shift_JIS;
// a lone lead byte counts as one).
inline size_t PageCharLength(PageEncoding encoding, std::string_view text, size_t i)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return sjis::CharLength(text, i);
}

// Whether a byte can start a multi-byte character, and whether it can follow
// such a start.
inline bool IsPageLeadByte(PageEncoding encoding, unsigned char c)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return sjis::IsLeadByte(c);
}

inline bool IsPageTrailByte(PageEncoding encoding, unsigned char c)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return sjis::IsTrailByte(c);
}

// Position of the first single-byte character `c` at or after `from` (a
// character boundary), stepping over multi-byte characters; npos if none.
size_t FindPageChar(PageEncoding encoding, std::string_view text, char c, size_t from);

} // namespace pw
