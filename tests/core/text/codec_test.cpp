#include "text/codec.h"
#include "text/sjis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

namespace pw::codec {
namespace {

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

std::string Hex(std::string_view bytes)
{
    std::string out;
    char hex[4];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X ", b);
        out += hex;
    }
    return out;
}

// Whether the bytes come back unchanged through decoding and encoding. On a
// failure it names the first differing position with a few bytes around it,
// not the whole (possibly large) buffer; callers assert on it, so that a
// broken codec stops the test at the first case.
::testing::AssertionResult RoundTrips(const std::string& bytes)
{
    const EncodeResult back = EncodeSjis(DecodeSjis(bytes));
    if (back.bytes == bytes && back.unencodable == 0)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < bytes.size() && at < back.bytes.size() && bytes[at] == back.bytes[at])
        ++at;
    const size_t from = at < 4 ? 0 : at - 4;
    return ::testing::AssertionFailure()
        << "of " << bytes.size() << " bytes, " << back.unencodable << " unencodable; first difference at " << at
        << ": in " << Hex(std::string_view(bytes).substr(from, 12)) << "| out "
        << Hex(std::string_view(back.bytes).substr(std::min(from, back.bytes.size()), 12));
}

TEST(Codec, EveryOneAndTwoByteSequenceRoundTrips)
{
    for (int a = 0; a < 256; ++a) {
        ASSERT_TRUE(RoundTrips(Bytes({ a })));
        for (int b = 0; b < 256; ++b) {
            ASSERT_TRUE(RoundTrips(Bytes({ a, b })));
            // The pair in context: after ASCII, before a line break.
            ASSERT_TRUE(RoundTrips(Bytes({ 'x', a, b, '\r', '\n' })));
        }
    }
}

TEST(Codec, AllPairsConcatenatedRoundTrip)
{
    std::string all;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            all += Bytes({ a, b });
    ASSERT_TRUE(RoundTrips(all));
}

TEST(Codec, RandomBuffersRoundTrip)
{
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 64);
    for (int round = 0; round < 50000; ++round) {
        std::string s;
        const int n = length(rng);
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(byte(rng));
        ASSERT_TRUE(RoundTrips(s));
    }
    std::string large;
    for (int i = 0; i < (1 << 20); ++i)
        large += static_cast<char>(byte(rng));
    ASSERT_TRUE(RoundTrips(large));
}

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::string text;
};

TEST(Codec, DecodesCanonicalCharactersAndEscapesTheRest)
{
    const DecodeCase cases[] = {
        { "ASCII backslash and tilde stay", "a\\~", "a\\~" },
        { "kanji with trail byte 0x5C", Bytes({ 0x95, 0x5C }), "\u8868" }, // 表
        { "wave dash of CP932", Bytes({ 0x81, 0x60 }), "\uFF5E" },
        { "half-width katakana", Bytes({ 0xB1 }), "\uFF71" },
        { "NEC row 13 numeral", Bytes({ 0x87, 0x54 }), "\u2160" },
        { "NUL is escaped", Bytes({ 0x00 }), Utf8(0xF0000) },
        { "invalid single byte", Bytes({ 0x80 }), Utf8(0xF0080) },
        { "FD FE FF", Bytes({ 0xFD, 0xFE, 0xFF }), Utf8(0xF00FD) + Utf8(0xF00FE) + Utf8(0xF00FF) },
        { "lone lead byte at the end", Bytes({ 'A', 0x81 }), "A" + Utf8(0xF0081) },
        { "lead byte before a line break", Bytes({ 0x82, '\r', '\n' }), Utf8(0xF0082) + "\r\n" },
        { "lead byte with a bad trail", Bytes({ 0x81, 0x20 }), Utf8(0xF0081) + " " },
        { "unassigned code", Bytes({ 0x85, 0x40 }), Utf8(0xF8540) },
        { "NEC-selected IBM extension", Bytes({ 0xED, 0x40 }), Utf8(0xFED40) },
        { "IBM extension duplicate of NEC", Bytes({ 0xFA, 0x4A }), Utf8(0xFFA4A) },
        { "IBM extension kept canonical", Bytes({ 0xFA, 0x5C }), "\u7E8A" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeSjis(c.bytes), c.text);
        ASSERT_TRUE(RoundTrips(c.bytes));
    }
}

TEST(Codec, UnencodableCharactersBecomeReferences)
{
    const EncodeResult r = EncodeSjis("A\u00A5B\U0001F600\u301C");
    EXPECT_EQ(r.bytes, "A&#xA5;B&#x1F600;&#x301C;");
    EXPECT_EQ(r.unencodable, 3u);

    // A private-use character that is no escape is not turned into bytes.
    const EncodeResult pua = EncodeSjis(Utf8(0xF0100) + Utf8(0xF8100));
    EXPECT_EQ(pua.bytes, "&#xF0100;&#xF8100;");
    EXPECT_EQ(pua.unencodable, 2u);

    // Invalid UTF-8 from a terminal is reported, not dropped.
    EXPECT_EQ(EncodeSjis(Bytes({ 'a', 0xC3, 'b' })).bytes, "a&#xFFFD;b");
}

TEST(Codec, EscapeLabels)
{
    EXPECT_EQ(EscapeLabel(0xF0080), "x80");
    EXPECT_EQ(EscapeLabel(0xF8540), "x85x40");
    EXPECT_EQ(EscapeLabel(0xFED40), "\u7E8A"); // 纊, the character ED 40 spells a second time
    EXPECT_TRUE(IsEscape(0xF0000));
    EXPECT_FALSE(IsEscape(0xF8100));
    EXPECT_FALSE(IsEscape('A'));
}

TEST(Codec, PositionMappingOnAMixedLine)
{
    // a 表 <ED 40> <80> b
    const std::string line = Bytes({ 'a', 0x95, 0x5C, 0xED, 0x40, 0x80, 'b' });
    struct Row {
        size_t byte, utf8, index, snappedByte;
    };
    const Row rows[] = {
        { 0, 0, 0, 0 },
        { 1, 1, 1, 1 },
        { 2, 1, 1, 1 }, // byte 2 is the trail of 表: snaps back
        { 3, 4, 2, 3 },
        { 4, 4, 2, 3 },
        { 5, 8, 3, 5 },
        { 6, 12, 4, 6 },
        { 7, 13, 5, 7 },
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.byte);
        EXPECT_EQ(ByteOffsetToUtf8Offset(line, r.byte), r.utf8);
        EXPECT_EQ(ByteOffsetToCharIndex(line, r.byte), r.index);
        EXPECT_EQ(Utf8OffsetToByteOffset(line, r.utf8), r.snappedByte);
        EXPECT_EQ(CharIndexToByteOffset(line, r.index), r.snappedByte);
    }
    // The UTF-8 prefix up to a mapped offset encodes to the byte prefix.
    const std::string text = DecodeSjis(line);
    for (size_t b = 0; b <= line.size(); ++b) {
        const size_t u = ByteOffsetToUtf8Offset(line, b);
        EXPECT_EQ(EncodeSjis(text.substr(0, u)).bytes, line.substr(0, sjis::CharStart(line, 0, b)));
    }
}

TEST(Codec, PositionMappingRoundTripsOnRandomLines)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string line;
        for (int i = 0; i < 40; ++i) {
            const int b = byte(rng);
            if (b != '\r' && b != '\n')
                line += static_cast<char>(b);
        }
        const std::string text = DecodeSjis(line);
        for (size_t b = 0; b <= line.size(); ++b) {
            const size_t start = sjis::CharStart(line, 0, b);
            ASSERT_EQ(Utf8OffsetToByteOffset(line, ByteOffsetToUtf8Offset(line, b)), start);
            ASSERT_EQ(CharIndexToByteOffset(line, ByteOffsetToCharIndex(line, b)), start);
        }
        ASSERT_EQ(ByteOffsetToUtf8Offset(line, line.size()), text.size());
    }
}

TEST(Sjis, FindCharStepsOverTrailBytes)
{
    // ゾ is 83 5D: its trail byte is ']'. 表 is 95 5C: its trail byte is '\'.
    const std::string name = Bytes({ '[', 0x83, 0x5D, 0x81, 0x5B, ']', 0x95, 0x5C, '\\' });
    EXPECT_EQ(sjis::FindChar(name, ']'), 5u);
    EXPECT_EQ(sjis::FindChar(name, '\\'), 8u);
    EXPECT_EQ(sjis::FindChar(name, '['), 0u);
    EXPECT_EQ(sjis::FindChar(name, '[', 1), std::string::npos); // 81 5B is ー, not '['
    EXPECT_EQ(sjis::ToUpperAscii(Bytes({ 'a', 0x82, 0x61, 'z' })), Bytes({ 'A', 0x82, 0x61, 'Z' }));
}

} // namespace
} // namespace pw::codec
