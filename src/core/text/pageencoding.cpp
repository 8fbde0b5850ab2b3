#include "text/pageencoding.h"

#include "text/codectable.h"
#include "text/sjis.h"

#include <algorithm>
#include <climits>
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

// ---- Detection by the bytes
//
// Every candidate encoding reads the bytes as characters, and each character a
// reading yields adds to its score by how often such a character stands in a
// Japanese page: hiragana most, then kanji, katakana and Japanese punctuation,
// then the other symbols and full-width forms. Half-width katakana count
// against a reading: real text seldom holds a run of them, and EUC-JP kanji
// read as Shift_JIS come out as exactly such runs. Bytes that spell no
// character in a reading cost it far more than any character gains, so one
// stray byte does not decide a long page but decides a short one. The reading
// with the highest score wins; ASCII counts for none.

// Bytes that spell no character in the reading.
constexpr int kUnreadable = -24;
// The second spelling of a character, or one the encoding does not hold as
// such (the NEC row 13 in EUC-JP): written by some tools, but unusual.
constexpr int kSecondSpelling = -2;
// A character of three or four bytes in a UTF-8 reading: bytes in another
// encoding seldom fall into that structure by chance.
constexpr int kUtf8Structure = 1;
// Once one reading leads every other by this much, the rest of a long page is
// not read: the evidence so far outweighs anything a page in one encoding holds.
constexpr int64_t kDecided = 4096;
// The lead is looked at after the first kFirstChunk bytes, then after twice as
// many, up to every kChunk bytes: a page in one clear encoding is decided
// within its first few kilobytes, not after the first large chunk.
constexpr size_t kFirstChunk = 1024;
constexpr size_t kChunk = 16 * 1024;

int CharacterScore(char32_t cp)
{
    if (cp >= 0x3041 && cp <= 0x309F) // hiragana
        return 3;
    if ((cp >= 0x4E00 && cp <= 0x9FFF) // kanji
        || (cp >= 0x30A0 && cp <= 0x30FF) // katakana, with the long vowel mark and the middle dot
        || (cp >= 0x3000 && cp <= 0x303F)) // 、。「」 and the ideographic space
        return 2;
    if (cp >= 0xFF61 && cp <= 0xFF9F) // half-width katakana
        return -1;
    if ((cp >= 0xFF01 && cp <= 0xFFEF) // full-width letters, digits and signs
        || (cp >= 0xA0 && cp <= 0xFF) // © × ° and the other Latin-1 signs and letters
        || (cp >= 0x2000 && cp <= 0x2BFF) // — … → ∀ ① ─ ■ ★
        || (cp >= 0x3200 && cp <= 0x33FF) // ㈱ ㌔
        || cp >= 0x10000) // emoji (a code point of the byte escapes never gets here)
        return 1;
    if ((cp >= 0x80 && cp <= 0x9F) // C1 control codes
        || (cp >= 0xE000 && cp <= 0xF8FF)) // private use: user-defined characters
        return -3;
    return 0; // other scripts, Latin extensions, compatibility ideographs
}

struct Reading {
    PageEncoding encoding;
    size_t next = 0; // first byte not read yet: always a character boundary
    int64_t score = 0;
};

// Reads the characters that start before `end`.
void Read(Reading& r, std::string_view bytes, size_t end)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (;;) {
        r.next = SkipAscii(p, r.next, end);
        if (r.next >= end)
            return;
        const char32_t cp = codec::NextToken(r.encoding, bytes, r.next);
        // A byte that starts no character in any reading has no second
        // spelling: the common case of a wrong reading, answered without the
        // codec's tables.
        if (cp >= codec::kEscapeBase && cp <= codec::detail::kEscapeEnd)
            r.score += kUnreadable;
        else if (cp >= codec::kEscapeBase && codec::IsEscape(r.encoding, cp))
            r.score += codec::EscapeAlias(r.encoding, cp) != 0 ? kSecondSpelling : kUnreadable;
        else
            r.score += CharacterScore(cp) + (r.encoding == PageEncoding::Utf8 && cp >= 0x800 ? kUtf8Structure : 0);
    }
}

PageEncoding DetectByBytes(std::string_view bytes)
{
    // Plain ASCII reads the same in every encoding.
    if (SkipAscii(reinterpret_cast<const unsigned char*>(bytes.data()), 0, bytes.size()) == bytes.size())
        return PageEncoding::ShiftJis;
    // On equal scores the first wins.
    Reading readings[] = { { PageEncoding::ShiftJis }, { PageEncoding::Utf8 }, { PageEncoding::EucJp } };
    const Reading* best = nullptr;
    size_t chunk = kFirstChunk;
    for (size_t end = 0; end < bytes.size(); chunk = std::min(chunk * 2, kChunk)) {
        end = bytes.size() - end > chunk ? end + chunk : bytes.size();
        int64_t second = INT64_MIN;
        best = nullptr;
        for (Reading& r : readings) {
            Read(r, bytes, end);
            if (!best || r.score > best->score) {
                if (best)
                    second = best->score;
                best = &r;
            } else {
                second = std::max(second, r.score);
            }
        }
        if (best->score - second >= kDecided)
            break;
    }
    return best->encoding;
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
    return DetectByBytes(bytes);
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

std::optional<PageEncoding> ForcedEncoding(PageCharset charset)
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
    return std::nullopt;
}

PageEncoding ResolvePageEncoding(PageCharset charset, std::string_view bytes)
{
    if (const auto forced = ForcedEncoding(charset))
        return *forced;
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
