#pragma once

#include "text/encoding.h"

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

// The same rule for the other page encodings, so that a page in any of them,
// decoded and encoded again, gives back its bytes unchanged.
//
// UTF-8: a well-formed sequence becomes its character. Every other byte (an
// ill-formed or cut-off sequence, NUL, and each byte of a sequence that spells
// a code point of U+F0000..U+F00FF) becomes U+F0000 + byte.
//
// EUC-JP: bytes are cut into tokens by EUC-JP structure: a lead byte (8E or
// A1..FE) with a trail byte (A1..FE), 8F with two trail bytes, or one byte.
// A two-byte JIS X 0208 token reads as the same JIS code does in a Shift_JIS
// page (CP932 table), so that a character keeps its code point when a page
// changes encoding; half-width katakana and JIS X 0212 (glibc's table) are
// read as such. Every other token, including row 13 (the NEC special
// characters such as U+2460, which strict EUC-JP does not hold), becomes an
// escape: U+F0000 + byte, U+F0000 + (lead << 8 | trail), or U+100000 +
// (second << 8 | third) for a token that starts with 8F.
//
// Shift_JIS goes through DecodeSjis and EncodeSjis.
std::string Decode(PageEncoding encoding, std::string_view bytes);
// Characters the encoding cannot hold are written as "&#xHHHH;" and counted.
EncodeResult Encode(PageEncoding encoding, std::string_view utf8);
bool IsEscape(PageEncoding encoding, char32_t cp);
std::string EscapeLabel(PageEncoding encoding, char32_t cp);
size_t EncodedWidth(PageEncoding encoding, char32_t cp);
// Decodes the token at `i` (one code point) and advances `i` past its bytes.
char32_t NextToken(PageEncoding encoding, std::string_view bytes, size_t& i);
// The position mappings for a line in that encoding.
size_t ByteOffsetToUtf8Offset(PageEncoding encoding, std::string_view line, size_t byteOffset);
size_t Utf8OffsetToByteOffset(PageEncoding encoding, std::string_view line, size_t utf8Offset);
size_t ByteOffsetToCharIndex(PageEncoding encoding, std::string_view line, size_t byteOffset);
size_t CharIndexToByteOffset(PageEncoding encoding, std::string_view line, size_t charIndex);

// The character an escape spells when the bytes are a second spelling of a
// character or one the encoding does not hold as such (Shift_JIS ED 40 for
// U+7E8A, EUC-JP AD A1 for U+2460); 0 for other escapes and other code points.
char32_t EscapeAlias(PageEncoding encoding, char32_t cp);

// UTF-8 helpers shared by the adapters.
void AppendUtf8(std::string& out, char32_t cp);
// Decodes the code point at `i` and advances `i`; invalid input gives U+FFFD
// and advances by one byte.
char32_t NextUtf8(std::string_view s, size_t& i);

} // namespace pw::codec
