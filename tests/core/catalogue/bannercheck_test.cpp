#include "catalogue/bannercheck.h"

#include "catalogue/adkind.h"
#include "core/catalogue/catalogue_fixture.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

BannerFields Fields(std::string name, std::string pv = "0", std::string ct = "0", std::string revenue = "0")
{
    BannerFields fields;
    fields.SpaceName = std::move(name);
    fields.PV = std::move(pv);
    fields.CT = std::move(ct);
    fields.TotalRevenue = std::move(revenue);
    return fields;
}

TEST(CheckBannerFields, ChecksInOrderWithTheirMessages)
{
    BannerList list;
    TAdBanner& abc = test::AddRow(list, "ABC");
    TAdBanner& other = test::AddRow(list, "XYZ");
    struct Case {
        BannerFields fields;
        const TAdBanner* edited;
        const char* message; // nullptr: passes
        BannerField focus;
    } cases[] = {
        { Fields(""), nullptr, "広告名を入力してください。", BannerField::None },
        { Fields("", "x"), nullptr, "広告名を入力してください。", BannerField::None },
        { Fields("A[1"), nullptr, "広告名に\"]\"と\"[\"を使わないでください。", BannerField::None },
        { Fields("A]"), nullptr, "広告名に\"]\"と\"[\"を使わないでください。", BannerField::None },
        { Fields("ABC"), &other, "広告名[ABC]はすでに使われています。", BannerField::SpaceName },
        { Fields("ABC"), nullptr, "広告名[ABC]はすでに使われています。", BannerField::SpaceName },
        { Fields("ABC"), &abc, nullptr, BannerField::None },
        { Fields("N", "12a"), nullptr, "ページビュー数は整数で入力してください。", BannerField::PV },
        { Fields("N", ""), nullptr, "ページビュー数は整数で入力してください。", BannerField::PV },
        { Fields("N", "-5", "x"), nullptr, "クリック数は整数で入力してください。", BannerField::CT },
        { Fields("N", "-5", "+3", "1.5"), nullptr, "今までの収入は整数で入力してください。",
            BannerField::TotalRevenue },
        { Fields("N", "2147483648"), nullptr, "ページビュー数は整数で入力してください。", BannerField::PV },
        { Fields("N", "-5", "+3", "-2147483648"), nullptr, nullptr, BannerField::None },
        // ゾーン広告 and ゼロ: the second bytes 0x5D and 0x5B are not brackets.
        { Fields("\x83\x5D\x81\x5B\x83\x93\x8DL\x8D\x90"), nullptr, nullptr, BannerField::None },
        { Fields("\x83\x5B\x83\x8D"), nullptr, nullptr, BannerField::None },
    };
    for (const auto& c : cases) {
        const BannerCheck check = CheckBannerFields(list, c.edited, c.fields);
        SCOPED_TRACE(c.fields.SpaceName + " " + c.fields.PV);
        EXPECT_EQ(check.Ok, c.message == nullptr);
        if (c.message) {
            EXPECT_EQ(codec::DecodeSjis(check.Message), c.message);
        }
        EXPECT_EQ(check.Focus, c.focus);
    }
}

TEST(ApplyBannerFields, StoresNumbersRateAndTrimmedHtml)
{
    TAdBanner banner;
    BannerFields fields = Fields("N", "-5", "+3", "12");
    fields.Type = "T";
    fields.BannerHTML = " \r\n<a>x</a>\r\n\t ";
    ApplyBannerFields(banner, fields);
    EXPECT_EQ(banner.PV, -5);
    EXPECT_EQ(banner.CT, 3);
    EXPECT_EQ(banner.TotalRevenue, 12);
    EXPECT_EQ(banner.ClickRate, -60.0f);
    EXPECT_EQ(banner.BannerHTML, "<a>x</a>");
    fields.BannerHTML = " ";
    ApplyBannerFields(banner, fields);
    EXPECT_EQ(banner.BannerHTML, "");
}

TEST(NewBannerName, LargestUnnamedNumber)
{
    const std::string prefix(kUnnamedBannerPrefix);
    BannerList list;
    EXPECT_EQ(LargestUnnamedBannerNumber(list), 0);
    test::AddRow(list, prefix + "1");
    test::AddRow(list, prefix + "7");
    test::AddRow(list, prefix + "X");
    test::AddRow(list, prefix);
    test::AddRow(list, "other9");
    EXPECT_EQ(LargestUnnamedBannerNumber(list), 7);
    test::AddRow(list, prefix + "2147483647");
    // The next name does not overflow.
    EXPECT_EQ(LargestUnnamedBannerNumber(list) + 1, 2147483648LL);
}

TEST(NewBannerFromHTML, ProposesTheNextUnnamedName)
{
    const std::string prefix(kUnnamedBannerPrefix);
    BannerList list;
    test::AddRow(list, prefix + "1");
    test::AddRow(list, prefix + "7");
    test::AddRow(list, prefix + "X");
    const NetworkList networks;
    const auto banner = NewBannerFromHTML(list, " ", networks);
    EXPECT_EQ(codec::DecodeSjis(banner->SpaceName), "未命名広告8");
    EXPECT_EQ(banner->Number, 4);
    EXPECT_EQ(banner->Network, nullptr);
    EXPECT_EQ(codec::DecodeSjis(banner->Type), "未知タイプ");
    EXPECT_EQ(banner->BannerHTML, " ");
    EXPECT_EQ(banner->PV + banner->CT + banner->TotalRevenue, 0);
    // OK without typing any HTML stores an empty HTML.
    BannerFields fields;
    fields.SpaceName = banner->SpaceName;
    fields.PV = fields.CT = fields.TotalRevenue = "0";
    fields.BannerHTML = banner->BannerHTML;
    ApplyBannerFields(*banner, fields);
    EXPECT_EQ(banner->BannerHTML, "");
}

TEST(TakesDetectedType, OnlyEmptyUnknownOrUntouchedPlainKinds)
{
    const std::string sized = std::string(kKindImage) + "468x60";
    struct Case {
        std::string type;
        bool changed;
        bool takes;
    } cases[] = {
        { "", true, true },
        { std::string(kKindUnknown), true, true },
        { std::string(kKindText), false, true },
        { std::string(kKindImage), false, true },
        { std::string(kKindText), true, false },
        { std::string(kKindFlash), false, false },
        { sized, false, false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(TakesDetectedType(c.type, c.changed), c.takes) << codec::DecodeSjis(c.type) << c.changed;
}

} // namespace
} // namespace pw
