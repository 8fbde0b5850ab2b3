#include "pageads/pageencoding.h"

#include "text/sjis.h"

#include <cstdint>
#include <cstring>

namespace pw {

namespace {

constexpr size_t kDeclarationWindow = 4096;

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The value after "name" at `at` in a lower-cased tag: blanks, "=", blanks, an
// optional quotation mark, then up to the next quotation mark, blank, ";" or
// ">". Empty when no "=" follows.
std::string_view AttributeValue(std::string_view tag, size_t at)
{
    size_t i = at;
    while (i < tag.size() && IsSpace(tag[i]))
        ++i;
    if (i >= tag.size() || tag[i] != '=')
        return {};
    ++i;
    while (i < tag.size() && IsSpace(tag[i]))
        ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\''))
        ++i;
    const size_t start = i;
    while (i < tag.size() && tag[i] != '"' && tag[i] != '\'' && tag[i] != ';' && tag[i] != '>' && !IsSpace(tag[i]))
        ++i;
    return tag.substr(start, i - start);
}

// The encoding the first recognised charset declaration names.
std::optional<PageEncoding> DeclaredEncoding(std::string_view bytes)
{
    const std::string head = Lower(bytes.substr(0, kDeclarationWindow));
    size_t i = 0;
    while (i < head.size() && IsSpace(head[i]))
        ++i;
    if (head.compare(i, 5, "<?xml") == 0) {
        const size_t end = head.find("?>", i);
        const std::string_view declaration
            = std::string_view(head).substr(i, end == std::string::npos ? std::string::npos : end - i);
        const size_t word = declaration.find("encoding");
        if (word != std::string_view::npos)
            if (auto encoding = EncodingFromLabel(AttributeValue(declaration, word + 8)))
                return encoding;
    }
    for (i = head.find('<'); i != std::string::npos; i = head.find('<', i + 1)) {
        if (head.compare(i, 4, "<!--") == 0) {
            const size_t close = head.find("-->", i + 4);
            if (close == std::string::npos)
                break;
            i = close + 2;
            continue;
        }
        if (head.compare(i, 5, "<meta") != 0 || i + 5 >= head.size()
            || !(IsSpace(head[i + 5]) || head[i + 5] == '/'))
            continue;
        const size_t close = head.find('>', i);
        const std::string_view tag
            = std::string_view(head).substr(i, close == std::string::npos ? std::string::npos : close - i + 1);
        for (size_t word = tag.find("charset"); word != std::string_view::npos;
             word = tag.find("charset", word + 7)) {
            const std::string_view value = AttributeValue(tag, word + 7);
            if (!value.empty()) {
                if (auto encoding = EncodingFromLabel(value))
                    return encoding;
                break;
            }
        }
        if (close == std::string::npos)
            break;
        i = close;
    }
    return std::nullopt;
}

// Index of the first byte at or after `i` that is not ASCII, eight at a time.
inline size_t SkipAscii(const unsigned char* p, size_t i, size_t n)
{
    while (n - i >= 32) {
        uint64_t words[4];
        std::memcpy(words, p + i, 32);
        if ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull)
            break;
        i += 32;
    }
    while (n - i >= 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

inline bool Continuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Whether the bytes are well-formed UTF-8; `nonAscii` tells whether any
// character is not ASCII.
bool IsWellFormedUtf8(std::string_view bytes, bool& nonAscii)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    nonAscii = false;
    size_t i = 0;
    for (;;) {
        i = SkipAscii(p, i, n);
        if (i == n)
            return true;
        nonAscii = true;
        do {
            const unsigned char b = p[i];
            if (b < 0x80) {
                ++i;
                continue;
            }
            const size_t left = n - i;
            if ((b & 0xF0) == 0xE0) { // kana and kanji: the common case first
                if (left < 3 || !Continuation(p[i + 1]) || !Continuation(p[i + 2]))
                    return false;
                if ((b == 0xE0 && p[i + 1] < 0xA0) || (b == 0xED && p[i + 1] > 0x9F))
                    return false; // overlong, or a surrogate
                i += 3;
            } else if (b >= 0xC2 && b <= 0xDF) {
                if (left < 2 || !Continuation(p[i + 1]))
                    return false;
                i += 2;
            } else if (b >= 0xF0 && b <= 0xF4) {
                if (left < 4 || !Continuation(p[i + 1]) || !Continuation(p[i + 2]) || !Continuation(p[i + 3]))
                    return false;
                if ((b == 0xF0 && p[i + 1] < 0x90) || (b == 0xF4 && p[i + 1] > 0x8F))
                    return false;
                i += 4;
            } else {
                return false;
            }
        } while (i < n && p[i] >= 0x80);
    }
}

// Whether every byte sequence is an EUC-JP character: ASCII, half-width
// katakana (8E A1..DF), JIS X 0212 (8F and two bytes A1..FE), or a JIS X 0208
// character in an assigned row (rows 1-8, the NEC row 13, rows 16-84).
bool IsValidEucJp(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    auto trail = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    auto row = [](unsigned char b) { return (b >= 0xA1 && b <= 0xA8) || b == 0xAD || (b >= 0xB0 && b <= 0xF4); };
    size_t i = 0;
    for (;;) {
        i = SkipAscii(p, i, n);
        if (i == n)
            return true;
        do {
            const unsigned char b = p[i];
            const size_t left = n - i;
            if (b < 0x80) {
                ++i;
            } else if (row(b)) {
                if (left < 2 || !trail(p[i + 1]))
                    return false;
                i += 2;
            } else if (b == 0x8E) {
                if (left < 2 || p[i + 1] < 0xA1 || p[i + 1] > 0xDF)
                    return false;
                i += 2;
            } else if (b == 0x8F) {
                if (left < 3 || !trail(p[i + 1]) || !trail(p[i + 2]))
                    return false;
                i += 3;
            } else {
                return false;
            }
        } while (i < n && p[i] >= 0x80);
    }
}

// Whether every character is one CP932 holds in its own spelling, outside the
// user-defined area (F0 40 to F9 FC).
bool IsValidShiftJis(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    for (;;) {
        i = SkipAscii(p, i, n);
        if (i == n)
            return true;
        if (p[i] >= 0xF0 && p[i] <= 0xF9)
            return false;
        if (codec::IsEscape(codec::NextToken(PageEncoding::ShiftJis, bytes, i)))
            return false;
    }
}

// Program text with its escapes resolved: the character a duplicate spells,
// or U+FFFD for bytes that spell none.
std::string ResolveEscapes(PageEncoding encoding, std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        const size_t start = i;
        const char32_t cp = codec::NextUtf8(utf8, i);
        // Every escape lies in the supplementary private use planes.
        if (cp < codec::kEscapeBase || !codec::IsEscape(encoding, cp)) {
            out.append(utf8.substr(start, i - start));
            continue;
        }
        const char32_t alias = codec::EscapeAlias(encoding, cp);
        codec::AppendUtf8(out, alias ? alias : 0xFFFD);
    }
    return out;
}

bool IsAscii(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    return SkipAscii(p, 0, text.size()) == text.size() && text.find('\0') == std::string_view::npos;
}

// "&#xHHHH;" references that EncodeEucJp writes for characters EUC-JP cannot
// hold, turned back into the characters.
std::string ReadReferencesBack(PageEncoding encoding, std::string_view utf8)
{
    std::string out;
    size_t copied = 0;
    for (size_t at = utf8.find("&#x"); at != std::string_view::npos; at = utf8.find("&#x", at + 1)) {
        const size_t semicolon = utf8.find(';', at + 3);
        if (semicolon == std::string_view::npos || semicolon == at + 3 || semicolon - at - 3 > 6)
            continue;
        char32_t cp = 0;
        bool hex = true;
        for (size_t k = at + 3; k < semicolon && hex; ++k) {
            const char c = utf8[k];
            if (c >= '0' && c <= '9')
                cp = cp * 16 + static_cast<char32_t>(c - '0');
            else if (c >= 'A' && c <= 'F')
                cp = cp * 16 + static_cast<char32_t>(c - 'A' + 10);
            else
                hex = false;
        }
        if (!hex || cp > 0x10FFFF)
            continue;
        std::string character;
        codec::AppendUtf8(character, cp);
        const std::string reference(utf8.substr(at, semicolon - at + 1));
        if (codec::Encode(encoding, character).bytes != reference)
            continue;
        out.append(utf8.substr(copied, at - copied)).append(character);
        copied = semicolon + 1;
    }
    if (copied == 0)
        return std::string(utf8);
    out.append(utf8.substr(copied));
    return out;
}

} // namespace

std::string_view PageEncodingName(PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return "utf-8";
    case PageEncoding::EucJp:
        return "euc-jp";
    case PageEncoding::ShiftJis:
        break;
    }
    return "shift_jis";
}

std::optional<PageEncoding> EncodingFromLabel(std::string_view label)
{
    const std::string lower = Lower(label);
    static constexpr std::string_view kShiftJis[] = { "shift_jis", "shift-jis", "x-sjis", "sjis", "windows-31j",
        "cp932", "ms932", "ms_kanji", "csshiftjis" };
    static constexpr std::string_view kUtf8[] = { "utf-8", "utf8", "unicode-1-1-utf-8" };
    static constexpr std::string_view kEucJp[] = { "euc-jp", "x-euc-jp", "eucjp", "cseucpkdfmtjapanese" };
    for (auto name : kShiftJis)
        if (lower == name)
            return PageEncoding::ShiftJis;
    for (auto name : kUtf8)
        if (lower == name)
            return PageEncoding::Utf8;
    for (auto name : kEucJp)
        if (lower == name)
            return PageEncoding::EucJp;
    return std::nullopt;
}

PageEncoding DetectPageEncoding(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8ByteOrderMark))
        return PageEncoding::Utf8;
    if (const auto declared = DeclaredEncoding(bytes))
        return *declared;
    bool nonAscii = false;
    if (IsWellFormedUtf8(bytes, nonAscii)) {
        // Plain ASCII reads the same in every encoding.
        return nonAscii ? PageEncoding::Utf8 : PageEncoding::ShiftJis;
    }
    if (IsValidEucJp(bytes) && !IsValidShiftJis(bytes))
        return PageEncoding::EucJp;
    return PageEncoding::ShiftJis;
}

std::string_view PageCharsetKey(PageCharset charset)
{
    switch (charset) {
    case PageCharset::ShiftJis:
        return "shift_jis";
    case PageCharset::Utf8:
        return "utf-8";
    case PageCharset::EucJp:
        return "euc-jp";
    case PageCharset::Auto:
        break;
    }
    return "auto";
}

std::optional<PageCharset> PageCharsetFromKey(std::string_view key)
{
    for (PageCharset charset : { PageCharset::Auto, PageCharset::ShiftJis, PageCharset::Utf8, PageCharset::EucJp })
        if (key == PageCharsetKey(charset))
            return charset;
    return std::nullopt;
}

PageEncoding ResolvePageEncoding(PageCharset charset, std::string_view bytes)
{
    switch (charset) {
    case PageCharset::ShiftJis:
        return PageEncoding::ShiftJis;
    case PageCharset::Utf8:
        return PageEncoding::Utf8;
    case PageCharset::EucJp:
        return PageEncoding::EucJp;
    case PageCharset::Auto:
        break;
    }
    return DetectPageEncoding(bytes);
}

DecodedPage DecodePage(PageEncoding encoding, std::string_view bytes)
{
    DecodedPage page;
    if (encoding == PageEncoding::Utf8 && bytes.starts_with(kUtf8ByteOrderMark)) {
        page.ByteOrderMark = true;
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    page.Text = codec::Decode(encoding, bytes);
    return page;
}

codec::EncodeResult EncodePage(PageEncoding encoding, std::string_view text, bool byteOrderMark)
{
    codec::EncodeResult result = codec::Encode(encoding, text);
    if (byteOrderMark && encoding == PageEncoding::Utf8)
        result.bytes.insert(0, kUtf8ByteOrderMark);
    return result;
}

std::string ToPageText(PageEncoding encoding, std::string_view programText)
{
    if (encoding == PageEncoding::ShiftJis || IsAscii(programText))
        return std::string(programText);
    const std::string text = ResolveEscapes(PageEncoding::ShiftJis, codec::DecodeSjis(programText));
    return codec::Encode(encoding, text).bytes;
}

std::string FromPageText(PageEncoding encoding, std::string_view pageText)
{
    if (encoding == PageEncoding::ShiftJis || IsAscii(pageText))
        return std::string(pageText);
    const std::string text
        = ReadReferencesBack(encoding, ResolveEscapes(encoding, codec::Decode(encoding, pageText)));
    return codec::EncodeSjis(text).bytes;
}

std::string PageTextToUtf8(PageEncoding encoding, std::string_view pageText)
{
    std::string text = codec::Decode(encoding, pageText);
    return encoding == PageEncoding::EucJp ? ReadReferencesBack(encoding, text) : text;
}

std::string Utf8ToPageText(PageEncoding encoding, std::string_view utf8)
{
    return codec::Encode(encoding, utf8).bytes;
}

size_t FindPageChar(PageEncoding encoding, std::string_view text, char c, size_t from)
{
    if (from >= text.size())
        return std::string_view::npos;
    if (encoding != PageEncoding::ShiftJis) {
        // No byte of a multi-byte character is ASCII.
        const void* hit = std::memchr(text.data() + from, c, text.size() - from);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
    }
    // Fast path: find the byte, then make sure it is not the second byte of a
    // double-byte character by walking from `from` only up to the hit.
    size_t i = from;
    while (i < text.size()) {
        const void* hit = std::memchr(text.data() + i, c, text.size() - i);
        if (!hit)
            return std::string_view::npos;
        const size_t at = static_cast<const char*>(hit) - text.data();
        // Step over whole characters from i up to the hit.
        while (i < at)
            i += sjis::CharLength(text, i);
        if (i == at)
            return at;
        // The hit was a trail byte; go on after that character.
    }
    return std::string_view::npos;
}

} // namespace pw
