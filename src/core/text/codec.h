#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Lossless conversion between Shift_JIS (CP932) bytes and Unicode (UTF-8).
//
// Bytes are cut into tokens by Shift_JIS structure (a lead byte with a trail
// byte, or one byte). A token that decodes to one character which encodes back
// to the same bytes becomes that character. Every other token (invalid bytes, a
// lone lead byte, unassigned codes, the second spelling of a character that
// CP932 holds twice, NUL) becomes one escape code point in Supplementary
// Private Use Area-A: U+F0000 + byte, or U+F0000 + (lead << 8 | trail).
// Encoding reverses this, so DecodeSjis followed by EncodeSjis gives back any
// byte sequence unchanged.
namespace pw::codec {

constexpr char32_t kEscapeBase = 0xF0000;

std::string DecodeSjis(std::string_view bytes);

struct EncodeResult {
    std::string bytes;
    // Characters that CP932 cannot hold; each was written as "&#xHHHH;".
    size_t unencodable = 0;
};

EncodeResult EncodeSjis(std::string_view utf8);

// True for the code points DecodeSjis uses as escapes.
bool IsEscape(char32_t cp);

// A short text that shows an escape on screen: the character itself for the
// second spelling of a duplicated character, else the bytes as "x80" or "x85x40".
std::string EscapeLabel(char32_t cp);

// Number of Shift_JIS bytes the character occupies once encoded (1 or 2; an
// unencodable character counts as the length of its "&#xHHHH;" form).
size_t EncodedWidth(char32_t cp);

// Position mapping within one line. `line` holds the line's Shift_JIS bytes.
// A byte offset inside a double-byte character snaps to the start of it.
size_t ByteOffsetToUtf8Offset(std::string_view line, size_t byteOffset);
size_t Utf8OffsetToByteOffset(std::string_view line, size_t utf8Offset);
// The same, counting Unicode code points on the editor side.
size_t ByteOffsetToCharIndex(std::string_view line, size_t byteOffset);
size_t CharIndexToByteOffset(std::string_view line, size_t charIndex);

// UTF-8 helpers shared by the adapters.
void AppendUtf8(std::string& out, char32_t cp);
// Decodes the code point at `i` and advances `i`; invalid input gives U+FFFD
// and advances by one byte.
char32_t NextUtf8(std::string_view s, size_t& i);

} // namespace pw::codec
