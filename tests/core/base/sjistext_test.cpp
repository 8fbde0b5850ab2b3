#include "base/sjistext.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

// A literal is converted once: every use sees the same bytes in the same place,
// so a view taken of it stays valid.
TEST(SjisText, ALiteralIsConvertedOnce)
{
    const std::string& first = "未設定"_sjis;
    EXPECT_EQ(first, "\x96\xA2\x90\xDD\x92\xE8");
    EXPECT_EQ(&"未設定"_sjis, &first);
    EXPECT_EQ("a\"]\\ b"_sjis, "a\"]\\ b"); // ASCII, quotes and backslashes pass as they are
}

// A character Shift_JIS cannot hold would reach the user as "&#x1F600;":
// the program stops instead, naming the text.
TEST(SjisTextDeathTest, AnUnencodableCharacterStopsTheProgram)
{
    EXPECT_DEATH(SjisTextBytes("smile \U0001F600"), "smile .* Shift_JIS cannot hold");
}

} // namespace
} // namespace pw
