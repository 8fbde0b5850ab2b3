// The lossless codecs of UTF-8 and EUC-JP pages.
#include "text/codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pw::codec {
namespace {

constexpr PageEncoding kUtf8 = PageEncoding::Utf8;
constexpr PageEncoding kEuc = PageEncoding::EucJp;

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string Utf8(char32_t cp)
{
    std::string s;
    AppendUtf8(s, cp);
    return s;
}

const char* Name(PageEncoding encoding)
{
    return encoding == kUtf8 ? "utf-8" : "euc-jp";
}

void ExpectRoundTrip(PageEncoding encoding, const std::string& bytes)
{
    const EncodeResult back = Encode(encoding, Decode(encoding, bytes));
    ASSERT_EQ(back.bytes, bytes) << Name(encoding);
    ASSERT_EQ(back.unencodable, 0u) << Name(encoding);
}

TEST(PageCodec, EveryShortSequenceRoundTrips)
{
    for (PageEncoding encoding : { kUtf8, kEuc }) {
        for (int a = 0; a < 256; ++a) {
            ExpectRoundTrip(encoding, Bytes({ a }));
            for (int b = 0; b < 256; ++b) {
                ExpectRoundTrip(encoding, Bytes({ a, b }));
                ExpectRoundTrip(encoding, Bytes({ 'x', a, b, '\r', '\n' }));
            }
        }
    }
    // Three-byte forms: every EUC-JP JIS X 0212 token, every UTF-8 sequence
    // led by E0..EF, ED (surrogates) and F0/F4 edges included.
    for (int b = 0; b < 256; ++b) {
        for (int c = 0; c < 256; ++c) {
            ExpectRoundTrip(kEuc, Bytes({ 0x8F, b, c }));
            ExpectRoundTrip(kUtf8, Bytes({ 0xE0 + (b & 0x0F), 0x80 | (b >> 4 << 2), c }));
            ExpectRoundTrip(kUtf8, Bytes({ 0xF0 + (b & 0x07), b, c, 0x80 }));
        }
    }
}

TEST(PageCodec, RandomBuffersRoundTrip)
{
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 64);
    for (PageEncoding encoding : { kUtf8, kEuc }) {
        for (int round = 0; round < 30000; ++round) {
            std::string s;
            const int n = length(rng);
            for (int i = 0; i < n; ++i)
                s += static_cast<char>(byte(rng));
            ExpectRoundTrip(encoding, s);
        }
        std::string large;
        for (int i = 0; i < (1 << 20); ++i)
            large += static_cast<char>(byte(rng));
        ExpectRoundTrip(encoding, large);
    }
}

struct DecodeCase {
    const char* what;
    PageEncoding encoding;
    std::string bytes;
    std::string text;
};

TEST(PageCodec, DecodesCharactersAndEscapesTheRest)
{
    const DecodeCase cases[] = {
        { "UTF-8 kanji", kUtf8, "\xE8\xA1\xA8", "\u8868" },
        { "UTF-8 emoji", kUtf8, "\xF0\x9F\x98\x80", "\U0001F600" },
        { "UTF-8 NUL", kUtf8, Bytes({ 0 }), Utf8(0xF0000) },
        { "UTF-8 stray continuation byte", kUtf8, Bytes({ 'a', 0x80 }), "a" + Utf8(0xF0080) },
        { "UTF-8 cut-off sequence", kUtf8, Bytes({ 0xE8, 0xA1, 'x' }), Utf8(0xF00E8) + Utf8(0xF00A1) + "x" },
        { "UTF-8 overlong slash", kUtf8, Bytes({ 0xC0, 0xAF }), Utf8(0xF00C0) + Utf8(0xF00AF) },
        { "UTF-8 surrogate", kUtf8, Bytes({ 0xED, 0xA0, 0x80 }), Utf8(0xF00ED) + Utf8(0xF00A0) + Utf8(0xF0080) },
        { "UTF-8 spelling of an escape code point", kUtf8, Bytes({ 0xF3, 0xB0, 0x80, 0x80 }),
            Utf8(0xF00F3) + Utf8(0xF00B0) + Utf8(0xF0080) + Utf8(0xF0080) },
        { "EUC-JP hiragana", kEuc, Bytes({ 0xA4, 0xA2 }), "\u3042" },
        { "EUC-JP 表 and ソ", kEuc, Bytes({ 0xC9, 0xBD, 0xA5, 0xBD }), "\u8868\u30BD" },
        { "EUC-JP half-width katakana", kEuc, Bytes({ 0x8E, 0xB1 }), "\uFF71" },
        // Both ends of the half-width range, and the bytes just past each end.
        { "EUC-JP first half-width katakana", kEuc, Bytes({ 0x8E, 0xA1 }), "\uFF61" },
        { "EUC-JP last half-width katakana", kEuc, Bytes({ 0x8E, 0xDF }), "\uFF9F" },
        { "EUC-JP 8E after the half-width katakana", kEuc, Bytes({ 0x8E, 0xE0 }), Utf8(0xF8EE0) },
        { "EUC-JP 8E before the half-width katakana", kEuc, Bytes({ 0x8E, 0xA0 }), Utf8(0xF008E) + Utf8(0xF00A0) },
        { "EUC-JP wave dash reads as in a CP932 page", kEuc, Bytes({ 0xA1, 0xC1 }), "\uFF5E" },
        { "EUC-JP JIS X 0212", kEuc, Bytes({ 0x8F, 0xB0, 0xA1 }), "\u4E02" },
        { "EUC-JP NUL", kEuc, Bytes({ 0 }), Utf8(0xF0000) },
        { "EUC-JP NEC row 13 is no EUC-JP character", kEuc, Bytes({ 0xAD, 0xA1 }), Utf8(0xFADA1) },
        { "EUC-JP lead byte without trail", kEuc, Bytes({ 0xA4, 'A' }), Utf8(0xF00A4) + "A" },
        { "EUC-JP byte that leads nothing", kEuc, Bytes({ 0x80, 0xFF }), Utf8(0xF0080) + Utf8(0xF00FF) },
        { "EUC-JP unassigned row", kEuc, Bytes({ 0xA9, 0xA1 }), Utf8(0xFA9A1) },
        { "EUC-JP JIS X 0212 second spelling of a JIS X 0208 character", kEuc, Bytes({ 0x8F, 0xA2, 0xB7 }),
            Utf8(0x10A2B7) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decode(c.encoding, c.bytes), c.text);
        ExpectRoundTrip(c.encoding, c.bytes);
    }
    EXPECT_EQ(EscapeLabel(kEuc, 0xFADA1), "\u2460"); // ①, shown as itself
    EXPECT_EQ(EscapeLabel(kEuc, 0x10A2B7), "\uFF5E");
    EXPECT_EQ(EscapeLabel(kEuc, 0xF00A4), "xA4");
    EXPECT_EQ(EscapeLabel(kUtf8, 0xF0080), "x80");
    EXPECT_TRUE(IsEscape(kUtf8, 0xF00FF));
    EXPECT_FALSE(IsEscape(kUtf8, 0xF0100));
    EXPECT_FALSE(IsEscape(kUtf8, 0xFED40)); // an escape of Shift_JIS pages only
}

TEST(PageCodec, EncodesWhatTheEncodingHoldsAndReferencesTheRest)
{
    struct Case {
        const char* what;
        PageEncoding encoding;
        std::string text;
        std::string bytes;
        size_t unencodable;
    } cases[] = {
        { "UTF-8 holds every character", kUtf8, "\u2460\u3231\U0001F600", "\u2460\u3231\U0001F600", 0 },
        { "UTF-8 escapes give back their byte", kUtf8, Utf8(0xF0080) + Utf8(0xF0000), Bytes({ 0x80, 0 }), 0 },
        { "EUC-JP lacks NEC and IBM extensions", kEuc, "\u2460\u3231", "&#x2460;&#x3231;", 2 },
        { "EUC-JP lacks emoji", kEuc, "a\U0001F600", "a&#x1F600;", 1 },
        { "EUC-JP half-width katakana, both ends", kEuc, "\uFF61\uFF9F", Bytes({ 0x8E, 0xA1, 0x8E, 0xDF }), 0 },
        { "EUC-JP takes both wave dashes", kEuc, "\uFF5E\u301C", Bytes({ 0xA1, 0xC1, 0xA1, 0xC1 }), 0 },
        { "EUC-JP escapes give back their bytes", kEuc, Utf8(0xFADA1) + Utf8(0x10A2B7),
            Bytes({ 0xAD, 0xA1, 0x8F, 0xA2, 0xB7 }), 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const EncodeResult r = Encode(c.encoding, c.text);
        EXPECT_EQ(r.bytes, c.bytes);
        EXPECT_EQ(r.unencodable, c.unencodable);
    }
    // The width of every character is the length of its encoded form.
    for (PageEncoding encoding : { kUtf8, kEuc }) {
        for (char32_t cp : { U'A', U'\u8868', U'\uFF71', U'\u4E02', U'\u2460', U'\U0001F600', char32_t { 0xF0080 },
                 char32_t { 0xFADA1 }, char32_t { 0x10A2B7 }, char32_t { 0xF0000 } }) {
            EXPECT_EQ(EncodedWidth(encoding, cp), Encode(encoding, Utf8(cp)).bytes.size())
                << Name(encoding) << " " << static_cast<unsigned>(cp);
        }
    }
    EXPECT_EQ(EncodedWidth(kUtf8, 0x8868), 3u);
    EXPECT_EQ(EncodedWidth(kEuc, 0x8868), 2u);
    EXPECT_EQ(EncodedWidth(kEuc, 0x4E02), 3u);
}

TEST(PageCodec, PositionMappingSnapsToCharacterStarts)
{
    struct Case {
        PageEncoding encoding;
        std::string line;
    } cases[] = {
        { kUtf8,
            "a\xE8\xA1\xA8" + Bytes({ 0x80 })
                + "\xF0\x9F\x98\x80"
                  "\xEF\xBD\xB1"
                  "b" },
        { kEuc, "a" + Bytes({ 0xC9, 0xBD, 0x80, 0x8F, 0xB0, 0xA1, 0x8E, 0xB1 }) + "b" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.encoding));
        const std::string text = Decode(c.encoding, c.line);
        std::vector<size_t> starts; // of every character, then the line's end
        for (size_t i = 0; i < c.line.size();) {
            starts.push_back(i);
            NextToken(c.encoding, c.line, i);
        }
        starts.push_back(c.line.size());
        for (size_t b = 0; b <= c.line.size(); ++b) {
            size_t index = 0;
            while (starts[index + 1] <= b && index + 1 < starts.size() - 1)
                ++index;
            if (b == c.line.size())
                index = starts.size() - 1;
            const size_t start = starts[index];
            EXPECT_EQ(ByteOffsetToCharIndex(c.encoding, c.line, b), index) << b;
            EXPECT_EQ(CharIndexToByteOffset(c.encoding, c.line, index), start) << b;
            const size_t u = ByteOffsetToUtf8Offset(c.encoding, c.line, b);
            EXPECT_EQ(Encode(c.encoding, text.substr(0, u)).bytes, c.line.substr(0, start)) << b;
            EXPECT_EQ(Utf8OffsetToByteOffset(c.encoding, c.line, u), start) << b;
        }
        EXPECT_EQ(starts.size(), 7u); // a, 表, a stray byte, a long character, ｱ, b
        EXPECT_EQ(ByteOffsetToUtf8Offset(c.encoding, c.line, c.line.size()), text.size());
    }
}

} // namespace
} // namespace pw::codec
