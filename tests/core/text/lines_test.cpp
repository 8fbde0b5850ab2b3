#include "text/lines.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(Lines, SplitsAtEveryKindOfBreak)
{
    using V = std::vector<std::string>;
    struct Case {
        std::string text;
        bool stopAtNul;
        V lines;
    };
    const Case cases[] = {
        { "", false, {} },
        { "a", false, { "a" } },
        { "a\r\n", false, { "a" } },
        { "a\r\nb\nc\rd", false, { "a", "b", "c", "d" } },
        { "a\n\n", false, { "a", "" } },
        { "\r\n\r\n", false, { "", "" } },
        { "a\n\rb", false, { "a", "", "b" } },
        { std::string("a\0b\nc", 5), true, { "a" } },
        { std::string("a\0b\nc", 5), false, { std::string("a\0b", 3), "c" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.text, c.stopAtNul), c.lines) << c.text;
}

TEST(Lines, FirstBreakDecidesTheStyle)
{
    EXPECT_EQ(FirstLineBreak("a\r\nb\n"), LineBreak::CrLf);
    EXPECT_EQ(FirstLineBreak("a\nb\r\n"), LineBreak::Lf);
    EXPECT_EQ(FirstLineBreak("a\rb\r\n"), LineBreak::Lf);
    EXPECT_EQ(FirstLineBreak("abc\r"), LineBreak::Lf);
    EXPECT_EQ(FirstLineBreak("abc"), LineBreak::Lf);
    EXPECT_EQ(JoinLines({ "a", "b" }, LineBreak::CrLf), "a\r\nb\r\n");
    EXPECT_EQ(JoinLines({ "a", "" }, LineBreak::Lf), "a\n\n");
}

} // namespace
} // namespace pw
