#include "catalogue/adkind.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;

TEST(ScriptQuote, EscapesByteByByteOutsideDoubleByteCharacters)
{
    struct Case {
        std::string html;
        std::string literal;
    } cases[] = {
        { "", "\"\"," },
        { "a\r\nb", "\"a\\r\\nb\"," },
        { "a\nb", "\"a\\nb\"," },
        { "<a href=\"/x/y\">go</a>", "\"<a href=\\\"/x/y\\\">go<\\/a>\"," },
        { "c:\\dir", "\"c:\\\\dir\"," },
        { "a\tb", "\"a\tb\"," },
        { "< /", "\"< /\"," },
        // 表 and 申 end in 0x5C, ゾ in 0x5D: copied whole, never doubled.
        { "\x95\x5C\x8E\x5C\x83\x5D", "\"\x95\x5C\x8E\x5C\x83\x5D\"," },
        // A real backslash right after a double-byte character is still escaped.
        { "\x95\x5C\\", "\"\x95\x5C\\\\\"," },
        // A lone lead byte at the end is an ordinary byte.
        { "a\x95", "\"a\x95\"," },
        // A lead byte before a byte that cannot follow it is a character of its own.
        { "\x95\"", "\"\x95\\\"\"," },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptQuote(c.html, kSjis), c.literal) << c.html;
}

TEST(BuildAdBlock, NormalMemberAndRotationTexts)
{
    EXPECT_EQ(BuildAdBlock("ABC", "", abNormal, kSjis), "<!--PWH[ABC]-->\r\n\r\n<!--PWHEND-->");
    EXPECT_EQ(BuildAdBlock("ABC", "x\r\ny", abNormal, kSjis), "<!--PWH[ABC]-->\r\nx\r\ny\r\n<!--PWHEND-->");
    EXPECT_EQ(BuildAdBlock("ABC", "", abMember, kSjis), "<!--PWH[ABC]-->\r\n\"\",\r\n<!--PWHEND-->");
    EXPECT_EQ(BuildAdBlock("ABC", "<b>1</b>", abRotation, kSjis),
        "<!--PWR[ABC\x93\x99]-->\r\n"
        "<script type=\"text/javascript\">\r\n"
        "var pw_banners=[\r\n"
        "<!--PWH[ABC]-->\r\n"
        "\"<b>1<\\/b>\",\r\n"
        "<!--PWHEND-->\r\n"
        "\"\"];\r\n"
        "document.write(pw_banners[((new Date()).getSeconds() % (pw_banners.length - 1))]);\r\n"
        "</script>\r\n"
        "<!--PWREND-->");
    EXPECT_EQ(BuildAdBlock("ABC", "x", abNone, kSjis), "");
    EXPECT_EQ(BuildAdBlock("ABC", "x", static_cast<TAdBlockKind>(7), kSjis), "");
}

// The rotation script picks member (second mod k); the empty last element is
// never reached because the array length minus one counts the members only.
TEST(BuildAdBlock, RotationScriptCyclesThroughMembers)
{
    const std::string block = BuildAdBlock("A", "a", abRotation, kSjis);
    EXPECT_NE(block.find("% (pw_banners.length - 1)"), std::string::npos);
    const int members = 3;
    const int length = members + 1; // with the trailing ""
    for (int second = 0; second < 60; ++second)
        EXPECT_EQ(second % (length - 1), second % members);
}

TEST(JapaneseConstants, DecodeToTheirText)
{
    struct Case {
        std::string_view bytes;
        const char* text;
    } cases[] = {
        { kRotationNameSuffix, "\u7B49" },
        { kDefaultRotationName, "\u30ED\u30FC\u30C6\u30FC\u30B7\u30E7\u30F3" },
        { kDefaultNormalName, "\u672A\u547D\u540D\u5E83\u544A" },
        { kInternalErrorMessage, "\u5185\u90E8\u30A8\u30E9\u30FC" },
        { kConfirmDeleteQuestion, "ほんとうに削除しますか？" },
        { kNoBannerAtCaretMessage,
            "カーソルの場所にバナーの定義がありません。編集中のファイルにカーソルをバナーに置いてください。" },
        { kBlockDeletedMessage, "ファイルから該当広告文を削除しました。" },
        { kBlockMissingDeletedMessage,
            "ファイルから該当広告文は見つかりませんでしたが、アイテムを削除しました。" },
        { kKindText, "テキスト広告" },
        { kKindImage, "イメージ広告" },
        { kKindFlash, "FLASH広告" },
        { kKindProductLink, "商品リンク" },
        { kKindDhtml, "ＤＨＴＭＬ広告" },
        { kKindUnknown, "未知タイプ" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(codec::DecodeSjis(c.bytes), c.text);
    EXPECT_EQ(codec::DecodeSjis(AdNotFoundMessage("ABC")), "ファイルに広告<ABC>は見つかりませんでした。");
}

} // namespace
} // namespace pw
