#include "pageads/adtext.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;

TEST(PosFrom, FindsFromStartAndReportsZeroWhenMissing)
{
    struct Case {
        std::string_view sub, text;
        size_t start, expected;
    } cases[] = {
        { "ab", "xabab", 1, 2 },
        { "ab", "xabab", 0, 2 },
        { "ab", "xabab", 3, 4 },
        { "ab", "xabab", 5, 0 },
        { "ab", "xabab", 99, 0 },
        { "", "abc", 1, 0 },
        { "abc", "ab", 1, 0 },
        { "b", "ab", 2, 2 },
        { "x", std::string_view("a\0x", 3), 1, 3 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosFrom(c.sub, c.text, c.start), c.expected) << c.sub << " in " << c.text << " from " << c.start;
}

TEST(PosChar, StepsOverSecondBytesOfDoubleByteCharacters)
{
    struct Case {
        char ch;
        std::string_view text;
        size_t start, expected;
    } cases[] = {
        { ']', "ab]c", 1, 3 }, { ']', "ab]c", 4, 0 }, { ']', "ab]c", 9, 0 },
        { ']', "\x83\x5D]", 1, 3 }, // ゾ ends in 0x5D
        { '[', "\x83\x5B\x83\x5B", 1, 0 }, // ゼゼ
        { ']', "\x83 ]", 1, 3 }, // a lead byte before a blank is a character of its own
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosChar(c.ch, c.text, c.start, kSjis), c.expected) << c.text;
}

TEST(SameAdText, IgnoresBlanksAndComparesTheRest)
{
    struct Case {
        std::string_view page, html;
        bool literal, same;
    } cases[] = {
        { "<a>x</a>", "<a>x</a>", false, true },
        { "\r\n  <a>\tx</a>  ", "<a>x\r\n</a>", false, true },
        { "<a>y</a>", "<a>x</a>", false, false },
        { "<a>x</a>", "<a>x</a>z", false, false },
        { "<a>x</a>", "<a>x</a>  \r\n", false, true },
        { "<a>x</a>", "", false, false },
        { "  ", "", false, true },
        { "<A>", "<a>", false, false },
        { std::string_view("a\0b", 3), "ab", false, true },
        // Literal mode: the quoted text with its escapes undone.
        { "\"<a href=\\\"/x\\\">go<\\/a>\",", "<a href=\"/x\">go</a>", true, true },
        { "\"line1\\r\\nline2\",", "line1\r\nline2", true, true },
        { "\"c:\\\\d\",", "c:\\d", true, true },
        { "junk \"ab\", trailing", "ab", true, true },
        { "\"ab\",", "abc", true, false },
        { "no quote", "", true, true },
        { "no quote", "x", true, false },
        { "\"ab\\", "ab\\", true, true }, // a backslash at the very end stands for itself
        { "\"a\\tb\",", "ab", true, true }, // other escapes stand for a blank
        // A double-byte character whose second byte is 0x5C, as now written.
        { "\"\x95\x5C\x8E\xA6\",", "\x95\x5C\x8E\xA6", true, true },
        // The same as written by older versions (second byte doubled): changed.
        { "\"\x95\x5C\x5C\x8E\xA6\",", "\x95\x5C\x8E\xA6", true, false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameAdText(c.page, c.html, c.literal, kSjis), c.same) << c.page << " / " << c.html;
}

// The scan feeds a block's text line by line; any cut must give the answer of
// the whole text, also when it falls between a backslash or a lead byte and
// the byte after it.
TEST(AdTextComparer, AnswersAsTheWholeTextWhereverItIsCut)
{
    const std::string_view pages[] = {
        "\"<a href=\\\"/x\\\">go<\\/a>\",",
        "\"\x95\x5C\x8E\xA6\\r\\n\",",
        "\"\x95\x5C\x5C\x8E\xA6\",",
        "x\"ab\\",
        "\"a\x95\"",
        "<a>\tx</a>",
    };
    const std::string_view htmls[] = {
        "<a href=\"/x\">go</a>",
        "\x95\x5C\x8E\xA6",
        "\x95\x5C\x5C\x8E\xA6",
        "ab\\",
        "a\x95",
        "<a>x</a>",
    };
    for (const auto page : pages) {
        for (const auto html : htmls) {
            for (const bool literal : { false, true }) {
                const bool whole = SameAdText(page, html, literal, kSjis);
                for (size_t cut1 = 0; cut1 <= page.size(); ++cut1) {
                    for (size_t cut2 = cut1; cut2 <= page.size(); ++cut2) {
                        AdTextComparer comparer(html, literal, kSjis);
                        comparer.Feed(page.substr(0, cut1));
                        comparer.Feed(page.substr(cut1, cut2 - cut1));
                        comparer.Feed(page.substr(cut2));
                        ASSERT_EQ(comparer.Finish(), whole) << page << " / " << html << " cut at " << cut1 << ","
                                                            << cut2 << (literal ? " literal" : "");
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace pw
