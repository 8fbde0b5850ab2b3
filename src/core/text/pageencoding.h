#pragma once

#include "text/codec.h"
#include "text/encoding.h"
#include "text/sjis.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The byte encoding of a page, and the one place where text crosses from the
// program's own encoding (Shift_JIS: catalogue names and HTML, the Japanese
// constants written into pages) into a page and back.
//
// The ad block algorithms work on the page's bytes as they are. They only need
// to know where a character starts, so that a search for an ASCII byte such as
// "]" or "\" never stops at the second byte of a double-byte character. In
// UTF-8 and EUC-JP every byte of a multi-byte character is 0x80 or above, so
// there an ASCII byte is always a character of its own.
namespace pw {

// "shift_jis", "utf-8" or "euc-jp".
std::string_view PageEncodingName(PageEncoding encoding);

// The encoding a charset label names ("Shift_JIS", "x-sjis", "windows-31j",
// "UTF-8", "utf8", "EUC-JP", "x-euc-jp" and the other usual aliases, in any
// case); nullopt for other labels.
std::optional<PageEncoding> EncodingFromLabel(std::string_view label);

// The encoding of a page's bytes:
//   1. a UTF-8 byte order mark;
//   2. otherwise the charset a <meta> tag (charset or http-equiv
//      Content-Type) or an XML declaration names in the first 4 KiB;
//   3. otherwise the bytes: the page is read in each of the three encodings,
//      every reading scored by how Japanese the characters it yields are
//      (hiragana, kanji, katakana, punctuation) against the half-width
//      katakana and the bytes it cannot read; the best reading wins;
//   4. plain ASCII, which reads the same in all three, is Shift_JIS.
PageEncoding DetectPageEncoding(std::string_view bytes);

// The user's choice for the pages of a site: detection per page or one
// encoding. Stored as "auto", "shift_jis", "utf-8" or "euc-jp".
enum class PageCharset { Auto, ShiftJis, Utf8, EucJp };

std::string_view PageCharsetKey(PageCharset charset);
// nullopt for a key that is none of the four.
std::optional<PageCharset> PageCharsetFromKey(std::string_view key);
// The encoding a charset choice forces; nullopt for Auto.
std::optional<PageEncoding> ForcedEncoding(PageCharset charset);
// The encoding to read a page in: the chosen one, or the detected one for Auto.
PageEncoding ResolvePageEncoding(PageCharset charset, std::string_view bytes);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A whole page as the editor holds it: Unicode text (UTF-8) and whether the
// file started with a UTF-8 byte order mark, which is not part of the text.
struct DecodedPage {
    std::string Text;
    bool ByteOrderMark = false;
};

// Lossless both ways (see text/codec.h): EncodePage(DecodePage(bytes)) gives
// back `bytes`, byte order mark included.
DecodedPage DecodePage(PageEncoding encoding, std::string_view bytes);
codec::EncodeResult EncodePage(PageEncoding encoding, std::string_view text, bool byteOrderMark);

// Program text (Shift_JIS) as it is written into a page of this encoding.
// Characters the page's encoding cannot hold are written as "&#xHHHH;".
std::string ToPageText(PageEncoding encoding, std::string_view programText);

// Page text (a block name, for instance) as program text, for messages and for
// comparisons with catalogue values. A "&#xHHHH;" that ToPageText wrote for a
// character the page cannot hold is read back as that character.
std::string FromPageText(PageEncoding encoding, std::string_view pageText);

// Page text as the terminal shows it (UTF-8), and back. Both are lossless:
// bytes that spell no character travel as the codec's escapes, and in an
// EUC-JP page a "&#xHHHH;" of a character it cannot hold reads as the
// character, as FromPageText reads it.
std::string PageTextToUtf8(PageEncoding encoding, std::string_view pageText);
std::string Utf8ToPageText(PageEncoding encoding, std::string_view utf8);

namespace pageenc {

constexpr bool IsEucTrail(unsigned char c)
{
    return c >= 0xA1 && c <= 0xFE;
}

// Length of the well-formed UTF-8 sequence structure at `i` (lead and
// continuation bytes only), else 1.
inline size_t Utf8CharLength(std::string_view s, size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 1;
    if (length == 1 || s.size() - i < length)
        return 1;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return length;
}

inline size_t EucCharLength(std::string_view s, size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t left = s.size() - i;
    if (b == 0x8F && left >= 3 && IsEucTrail(static_cast<unsigned char>(s[i + 1]))
        && IsEucTrail(static_cast<unsigned char>(s[i + 2])))
        return 3;
    if ((b == 0x8E || IsEucTrail(b)) && left >= 2 && IsEucTrail(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

} // namespace pageenc

// Number of bytes of the character that starts at `i` (1 or 2 for Shift_JIS,
// up to 4 for UTF-8, up to 3 for EUC-JP; a byte that starts no complete
// character counts as one).
inline size_t PageCharLength(PageEncoding encoding, std::string_view text, size_t i)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return pageenc::Utf8CharLength(text, i);
    case PageEncoding::EucJp:
        return pageenc::EucCharLength(text, i);
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
    case PageEncoding::Utf8:
        return c >= 0xC2 && c <= 0xF4;
    case PageEncoding::EucJp:
        return c == 0x8E || c == 0x8F || pageenc::IsEucTrail(c);
    case PageEncoding::ShiftJis:
        break;
    }
    return sjis::IsLeadByte(c);
}

inline bool IsPageTrailByte(PageEncoding encoding, unsigned char c)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return c >= 0x80 && c <= 0xBF;
    case PageEncoding::EucJp:
        return pageenc::IsEucTrail(c);
    case PageEncoding::ShiftJis:
        break;
    }
    return sjis::IsTrailByte(c);
}

// Position of the first single-byte character `c` at or after `from` (a
// character boundary), stepping over multi-byte characters; npos if none.
// `c` is an ASCII character.
size_t FindPageChar(PageEncoding encoding, std::string_view text, char c, size_t from);

} // namespace pw
