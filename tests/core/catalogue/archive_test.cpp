#include "catalogue/archive.h"

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "core/catalogue/catalogue_fixture.h"
#include "core/pageads/pagefixture.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "reports/csv.h"
#include "settings/settingsfile.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pw {
namespace {

TEST(ArchiveLine, FieldsAndRate)
{
    TAdBanner banner;
    banner.SpaceName = "ABC";
    banner.Type = "\x83"
                  "e\x83L\x83X\x83g\x8DL\x8D\x90"; // テキスト広告
    banner.PV = 200;
    banner.CT = 3;
    banner.ClickRate = ComputeClickRate(200, 3);
    banner.TotalRevenue = 500;
    banner.BannerHTML = "AB\r\nCD";
    EXPECT_EQ(codec::DecodeSjis(ArchiveLine(banner)), "その他,ABC,テキスト広告,200,3,1.5,500,AB$D$ACD\r\n");

    struct Case {
        float rate;
        const char* text;
    } cases[] = { { 0, "0" }, { 1.5f, "1.5" }, { ComputeClickRate(3, 1), "33.3333320617676" }, { -25, "-25" } };
    for (const auto& c : cases)
        EXPECT_EQ(FormatArchiveRate(c.rate), c.text);
}

// A comma in a name must not shift the columns: such a field is quoted as CSV
// quotes it, and the line reads back field for field. Every other field keeps
// its bytes, the HTML's quotes included.
TEST(ArchiveLine, FieldsThatWouldSplitAreQuotedAndReadBack)
{
    TNetwork network;
    network.Name = "Net,work";
    struct Case {
        const char* name;
        TNetwork* network;
        const char* type;
        const char* html;
        const char* line; // UTF-8
    } cases[] = {
        { "A,B", nullptr, "バナー", "<a href=\"x\">y</a>",
            "その他,\"A,B\",バナー,0,0,0,0,<a href=\"x\">y</a>\r\n" },
        { "広告", &network, "テキスト", "<b>a</b>", "\"Net,work\",広告,テキスト,0,0,0,0,<b>a</b>\r\n" },
        { "say \"hi\", twice", nullptr, "a,b", "x", "その他,\"say \"\"hi\"\", twice\",\"a,b\",0,0,0,0,x\r\n" },
        { "\"quoted\"", nullptr, "", "<i>\r\n</i>", "その他,\"\"\"quoted\"\"\",,0,0,0,0,<i>$D$A</i>\r\n" },
        { "plain", nullptr, "mid\"quote", "<img alt=\"1,2\">",
            "その他,plain,mid\"quote,0,0,0,0,\"<img alt=\"\"1,2\"\">\"\r\n" },
    };
    for (const auto& c : cases) {
        TAdBanner banner;
        banner.SpaceName = codec::EncodeSjis(c.name).bytes;
        banner.Network = c.network;
        banner.Type = codec::EncodeSjis(c.type).bytes;
        banner.BannerHTML = c.html;
        const std::string line = ArchiveLine(banner);
        EXPECT_EQ(codec::DecodeSjis(line), c.line);
        std::vector<CsvRecord> records;
        ASSERT_TRUE(ParseCsv(line, records).ok) << c.line;
        ASSERT_EQ(records.size(), 1u) << c.line;
        EXPECT_EQ(records[0].Fields,
            (std::vector<std::string> { BannerNetworkName(banner), banner.SpaceName, banner.Type, "0", "0", "0",
                "0", EscapeIniText(banner.BannerHTML) }))
            << c.line;
    }
}

TEST(AppendBannerToArchive, AppendsToAnExistingFileOnly)
{
    test::TempDir dir;
    const std::string path = dir.file("pwh_ads.csv");
    TAdBanner banner;
    banner.SpaceName = "A,B";
    EXPECT_EQ(AppendBannerToArchive(banner, path).Outcome, ArchiveWrite::OpenFailed);
    EXPECT_FALSE(FileExists(path));
    ASSERT_TRUE(WriteFileAtomically(path, "old\r\n").ok);
    EXPECT_EQ(AppendBannerToArchive(banner, path).Outcome, ArchiveWrite::Ok);
    EXPECT_EQ(AppendBannerToArchive(banner, path).Outcome, ArchiveWrite::Ok);
    std::string content;
    ReadWholeFile(path, content);
    EXPECT_EQ(content,
        "old\r\n\x82\xBB\x82\xCC\x91\xBC,\"A,B\",,0,0,0,0,\r\n\x82\xBB\x82\xCC\x91\xBC,\"A,B\",,0,0,0,0,\r\n");

    // A device that takes no bytes: opening works, writing fails.
    if (FileExists("/dev/full")) {
        const ArchiveWriteResult full = AppendBannerToArchive(banner, "/dev/full");
        EXPECT_EQ(full.Outcome, ArchiveWrite::WriteFailed);
        EXPECT_FALSE(full.Error.empty());
    }
}

struct Catalogue {
    test::TempDir dir;
    BannerList list;
    TIniList store;

    explicit Catalogue(int count)
    {
        for (int i = 1; i <= count; ++i)
            test::AddRow(list, "B" + std::to_string(i), i * 10);
        EXPECT_TRUE(SaveBanners(list, store, dir.path()).ok);
    }

    void Reread(TIniList& stored) { EXPECT_TRUE(LoadSettingsFile(stored, dir.path(), kBannerFile).ok); }
};

TEST(RemoveBanner, RenumbersErasesTheLastSectionAndSelects)
{
    Catalogue c(4);
    std::swap(c.list.Rows[0], c.list.Rows[3]); // display order B4 B2 B3 B1
    ASSERT_TRUE(RemoveBanner(c.list, c.store, c.dir.path(), 1, nullptr).ok); // B2
    ASSERT_EQ(c.list.Rows.size(), 3u);
    EXPECT_EQ(c.list.Rows[0]->Number, 3); // B4
    EXPECT_EQ(c.list.Rows[1]->Number, 2); // B3
    EXPECT_EQ(c.list.Rows[2]->Number, 1); // B1
    EXPECT_EQ(c.list.Selected, 1);
    TIniList stored;
    c.Reread(stored);
    EXPECT_EQ(stored.ReadInteger("Setups", "AdCount", -1), 3);
    EXPECT_FALSE(stored.SectionExists("Banner4"));
    EXPECT_EQ(stored.ReadString("Banner2", "SpaceName", ""), "B3");
    EXPECT_EQ(stored.ReadString("Banner3", "SpaceName", ""), "B4");

    ASSERT_TRUE(RemoveBanner(c.list, c.store, c.dir.path(), 2, nullptr).ok); // the last row
    EXPECT_EQ(c.list.Selected, 1);
}

TEST(RemoveBanner, TheOnlyBannerLeavesAnEmptyCatalogue)
{
    Catalogue c(1);
    c.list.Selected = 0;
    ASSERT_TRUE(RemoveBanner(c.list, c.store, c.dir.path(), 0, nullptr).ok);
    EXPECT_TRUE(c.list.Rows.empty());
    EXPECT_EQ(c.list.Selected, -1);
    TIniList stored;
    c.Reread(stored);
    EXPECT_EQ(stored.ReadInteger("Setups", "AdCount", -1), 0);
    EXPECT_FALSE(stored.SectionExists("Banner1"));
}

TEST(RemoveBanner, BlocksInTheActivePageTurnUnlisted)
{
    Catalogue c(2);
    test::TestPage page(test::Lines({ "<!--PWH[B1]--><!--PWHEND-->", "<!--PWH[B2]--><!--PWHEND-->" }));
    ScanAdBlocks(page.page, c.list);
    EXPECT_EQ(page.Tree(), "matched\tB1\nmatched\tB2\n");
    RemoveBanner(c.list, c.store, c.dir.path(), 0,
        [&](const std::string& name) { RefreshAdNodes(page.page, name, nullptr); });
    EXPECT_EQ(page.Tree(), "unlisted\tB1\nmatched\tB2\n");
}

TEST(ArchiveBanner, CreatesTheArchiveAppendsAndRemoves)
{
    Catalogue c(2);
    const std::string path = c.dir.file("pwh_ads.csv");
    ArchiveResult result = ArchiveBanner(c.list, c.store, c.dir.path(), 0, nullptr);
    EXPECT_TRUE(result.Archived);
    EXPECT_TRUE(result.Saved.ok);
    EXPECT_EQ(result.Message.Kind, MessageType::Warning);
    EXPECT_EQ(codec::DecodeSjis(result.Message.Text), "該当広告は" + path + "に保存しました");
    result = ArchiveBanner(c.list, c.store, c.dir.path(), 0, nullptr);
    EXPECT_TRUE(result.Archived);
    EXPECT_TRUE(c.list.Rows.empty());
    std::string content;
    ReadWholeFile(path, content);
    EXPECT_EQ(content, "\x82\xBB\x82\xCC\x91\xBC,B1,,10,0,0,0,\r\n\x82\xBB\x82\xCC\x91\xBC,B2,,20,0,0,0,\r\n");
}

TEST(ArchiveBanner, AFailedWriteKeepsTheBanner)
{
    // Failures that bind root too: the archive's name taken by a folder (it
    // cannot be opened for writing) and the archive on a full device.
    struct Case {
        const char* what;
        bool folder; // else a link to /dev/full
        std::string message; // empty: the system's error text
    } cases[] = {
        { "a folder in the archive's place", true, "" },
        { "the archive on a full device", false, std::string(kArchiveWriteFailedMessage) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.folder && !FileExists("/dev/full"))
            continue;
        Catalogue catalogue(1);
        const std::string path = catalogue.dir.file("pwh_ads.csv");
        std::error_code ec;
        if (c.folder)
            std::filesystem::create_directory(path, ec);
        else
            std::filesystem::create_symlink("/dev/full", path, ec);
        ASSERT_FALSE(ec) << ec.message();
        const ArchiveResult result
            = ArchiveBanner(catalogue.list, catalogue.store, catalogue.dir.path(), 0, nullptr);
        EXPECT_FALSE(result.Archived);
        EXPECT_EQ(result.Message.Kind, MessageType::Error);
        EXPECT_FALSE(result.Message.Text.empty());
        if (!c.message.empty()) {
            EXPECT_EQ(result.Message.Text, c.message);
        }
        ASSERT_EQ(catalogue.list.Rows.size(), 1u);
        EXPECT_EQ(catalogue.list.Rows[0]->SpaceName, "B1");
        TIniList stored;
        catalogue.Reread(stored);
        EXPECT_EQ(stored.ReadInteger("Setups", "AdCount", -1), 1);
    }
}

TEST(ArchiveBanner, AnArchiveWithoutWritePermissionKeepsTheBanner)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root (the cases above do)";
    Catalogue c(1);
    const std::string path = c.dir.file("pwh_ads.csv");
    ASSERT_TRUE(WriteFileAtomically(path, "").ok);
    ::chmod(path.c_str(), 0444);
    const ArchiveResult result = ArchiveBanner(c.list, c.store, c.dir.path(), 0, nullptr);
    EXPECT_FALSE(result.Archived);
    EXPECT_EQ(result.Message.Kind, MessageType::Error);
    EXPECT_EQ(c.list.Rows.size(), 1u);
}

TEST(ArchiveBanner, AnArchiveThatCannotBeCreatedKeepsTheBanner)
{
    Catalogue c(1);
    const ArchiveResult result = ArchiveBanner(c.list, c.store, c.dir.file("no/such/folder"), 0, nullptr);
    EXPECT_FALSE(result.Archived);
    EXPECT_EQ(codec::DecodeSjis(result.Message.Text), "ファイルを新規することができませんでした。");
    EXPECT_EQ(c.list.Rows.size(), 1u);
}

} // namespace
} // namespace pw
