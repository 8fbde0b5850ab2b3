#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Shift_JIS (CP932) byte structure. Data are kept as bytes; these helpers let
// searches treat a lead byte and its trail byte as one character.
namespace pw::sjis {

constexpr bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

constexpr bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length of the character that starts at `i`: 2 for a lead byte followed by a
// trail byte, otherwise 1 (a lone lead byte counts as one byte).
inline size_t CharLength(std::string_view s, size_t i)
{
    if (i + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[i]))
        && IsTrailByte(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

// Position of the first single-byte character `c` at or after `from`, stepping
// over double-byte characters (so a trail byte equal to `c` is never found).
// `from` must be at a character boundary. Returns npos when there is none.
size_t FindChar(std::string_view s, char c, size_t from = 0);

// Start of the character that holds byte `i`, scanning from `lineStart`.
size_t CharStart(std::string_view s, size_t lineStart, size_t i);

// Upper-cases the ASCII letters a to z; every other byte stays as it is, and
// the trail byte of a double-byte character is never taken for a letter.
std::string ToUpperAscii(std::string_view s);

} // namespace pw::sjis
