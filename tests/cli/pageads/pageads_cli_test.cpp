#include "base/files.h"
#include "cli/cli.h"
#include "settings/inilist.h"
#include "support/clirun.h"
#include "support/command.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::cli {
namespace {

using Outcome = test::CliOutcome;

// A copy of the fixture folder: page.html, old.html and the settings folder.
struct Fixture {
    test::TempDir dir;
    std::string settings = dir.file("settings");
    std::string page = dir.file("page.html");
    std::string old = dir.file("old.html");

    Fixture()
    {
        std::filesystem::copy(PAGEWICK_TEST_DATA "/pageads", dir.path(), std::filesystem::copy_options::recursive);
    }

    Outcome Run(std::vector<std::string> args, const std::string& input = "") const
    {
        args.insert(args.begin(), { "--dir", settings });
        return test::RunCli(args, input);
    }

    static std::string Read(const std::string& path)
    {
        std::string bytes;
        ReadWholeFile(path, bytes);
        return bytes;
    }
    // A file's content as UTF-8 (the fixtures are Shift_JIS).
    static std::string Utf8(const std::string& path) { return codec::DecodeSjis(Read(path)); }
};

const char* const kPageTree = "matched\tABC\n"
                              "rotation\t表示等\n"
                              "  matched\t表示\n"
                              "  matched\tABC[2]\n"
                              "matched\tゾーン広告\n"
                              "unlisted\t未命名広告\n"
                              "unlisted\t古い広告\n";

TEST(BlockCli, PrintsTheBlockTextExactly)
{
    Fixture f;
    EXPECT_EQ(
        f.Run({ "block", "normal", "表示" }, "<b>x</b>").out, "<!--PWH[表示]-->\r\n<b>x</b>\r\n<!--PWHEND-->");
    EXPECT_EQ(f.Run({ "block", "member", "表示" }, "お申し込み</a>\n").out,
        "<!--PWH[表示]-->\r\n\"お申し込み<\\/a>\\n\",\r\n<!--PWHEND-->");
    const Outcome raw = f.Run({ "--raw", "block", "rotation", "\x95\x5C\x8E\xA6" }, "\x90\x5C");
    EXPECT_EQ(raw.code, kExitOk);
    EXPECT_EQ(raw.out.substr(0, 24), "<!--PWR[\x95\x5C\x8E\xA6\x93\x99]-->\r\n<scr");
    EXPECT_NE(raw.out.find("\r\n\"\x90\x5C\",\r\n"), std::string::npos); // 申 not doubled
    EXPECT_EQ(f.Run({ "block", "other", "A" }).code, kExitUsage);
    EXPECT_EQ(f.Run({ "block", "normal" }).code, kExitUsage);
}

TEST(AdsCli, ScanPrintsTheTreeAndRepairsOnlyWhenAsked)
{
    Fixture f;
    const std::string before = Fixture::Read(f.page);
    Outcome o = f.Run({ "ads", "scan", f.page });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_EQ(o.out, kPageTree);
    EXPECT_EQ(Fixture::Read(f.page), before);

    o = f.Run({ "--raw", "ads", "scan", f.page });
    EXPECT_EQ(o.out, codec::EncodeSjis(kPageTree).bytes);

    o = f.Run({ "ads", "scan", f.page, "--repair" });
    EXPECT_EQ(o.out, kPageTree);
    EXPECT_NE(Fixture::Utf8(f.page).find("\r\n<!--PWH[未命名広告]-->unnamed<!--PWHEND-->\r\n"), std::string::npos);

    // An LF page keeps LF; the unterminated rotation gets its end marker.
    o = f.Run({ "ads", "scan", f.old, "--repair" });
    EXPECT_EQ(o.out, "rotation\t表示等\n  changed\t表示\n");
    EXPECT_TRUE(Fixture::Read(f.old).ends_with("\",\n<!--PWHEND-->\n<!--PWREND-->\n"));
}

TEST(AdsCli, LocateAndFind)
{
    Fixture f;
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        { { "--at", "3:5", "--name", "ABC" }, "normal\nABC\nblock\t2:1\t4:13\n" },
        { { "--at", "13:5", "--name", "ABC" }, "member\nABC[2]\nblock\t12:1\t14:13\nrotation\t6:1\n" },
        { { "--at", "16:1", "--name", "表示" }, "rotation\n表示\nrotation\t6:1\t18:13\n" },
        { { "--at", "5:1", "--name", "ABC" }, "none\nABC\n" },
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = { "ads", "locate", f.page };
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = f.Run(args);
        EXPECT_EQ(o.code, kExitOk);
        EXPECT_EQ(o.out, c.out) << c.args[1];
    }

    EXPECT_EQ(f.Run({ "ads", "find", f.page, "--node", "ABC[2]" }).out, "12:1\t14:14\n");
    EXPECT_EQ(f.Run({ "ads", "find", f.page, "--node", "表示等", "--rotation" }).out, "6:1\t18:14\n");
    Outcome missing = f.Run({ "ads", "find", f.page, "--node", "ABC[3]" });
    EXPECT_EQ(missing.code, kExitFailure);
    EXPECT_EQ(missing.out, "");
    missing = f.Run({ "ads", "find", f.page, "--node", "ABC[x]" });
    EXPECT_EQ(missing.code, kExitFailure);
    EXPECT_EQ(missing.err, "pagewick-cli: 内部エラー\n");
}

TEST(AdsCli, AddReplaceDeleteWriteThePage)
{
    Fixture f;
    Outcome o = f.Run({ "ads", "add", f.page, "--banner", "ゾーン広告", "--normal", "--at", "5:4" });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_EQ(o.out,
        "matched\tABC\n"
        "matched\tゾーン広告\t*\n"
        "rotation\t表示等\n"
        "  matched\t表示\n"
        "  matched\tABC[2]\n"
        "matched\tゾーン広告[2]\n"
        "unlisted\t未命名広告\n"
        "unlisted\t古い広告\n");
    EXPECT_NE(
        Fixture::Utf8(f.page).find("<p>\r\n<!--PWH[ゾーン広告]-->\r\n<b>zone</b>\r\n<!--PWHEND-->\r\n本文</p>"),
        std::string::npos);

    // The old block at the end becomes the banner 表示.
    o = f.Run({ "ads", "replace", f.page, "--banner", "表示", "--at", "25:1" });
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_NE(Fixture::Utf8(f.page).find("\r\n<!--PWH[表示]-->\r\n<a href=\"/m\">お申し込み</a>\r\n<br>\r\n"
                                         "<!--PWHEND-->\r\n</body></html>\r\n"),
        std::string::npos);
    // The selected node is the block just written, not the first of that name (the member).
    EXPECT_NE(o.out.find("  matched\t表示\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\nmatched\t表示[2]\t*\n"), std::string::npos) << o.out;

    o = f.Run({ "ads", "delete", f.page, "--node", "表示等" });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_EQ(o.err, "pagewick-cli: ファイルから該当広告文を削除しました。\n");
    EXPECT_EQ(Fixture::Utf8(f.page).find("PWR["), std::string::npos);
    EXPECT_NE(o.out.find("matched\tゾーン広告[2]\t*\n"), std::string::npos);
}

// A page reached through a link is written in its real place (the link stays);
// a page without write permission is not written.
TEST(AdsCli, PagesThroughLinksAndReadOnlyPages)
{
    Fixture f;
    const std::string link = f.dir.file("link.html");
    ASSERT_EQ(::symlink("page.html", link.c_str()), 0);
    Outcome o = f.Run({ "ads", "add", link, "--banner", "ゾーン広告", "--normal", "--at", "5:4" });
    ASSERT_EQ(o.code, kExitOk) << o.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(Fixture::Utf8(f.page).find("<!--PWH[ゾーン広告]-->"), std::string::npos);

    ASSERT_EQ(::chmod(f.page.c_str(), 0444), 0);
    const std::string before = Fixture::Read(f.page);
    for (const std::string& path : { f.page, link }) {
        o = f.Run({ "ads", "add", path, "--banner", "ゾーン広告", "--normal", "--at", "5:4" });
        EXPECT_EQ(o.code, kExitFile);
        EXPECT_NE(o.err.find("read-only"), std::string::npos) << o.err;
        EXPECT_EQ(Fixture::Read(f.page), before);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
}

TEST(AdsCli, ReplaceWarningAndDeleteOfAMissingBlockLeaveThePage)
{
    Fixture f;
    const std::string before = Fixture::Read(f.page);
    Outcome o = f.Run({ "ads", "replace", f.page, "--banner", "ABC", "--at", "1:1" });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(o.err,
        "pagewick-cli: "
        "カーソルの場所にバナーの定義がありません。編集中のファイルにカーソルをバナーに置いてください。\n");
    // With the rotation node selected, its first member is replaced, and that
    // member is the selected node afterwards.
    o = f.Run({ "ads", "replace", f.page, "--banner", "ABC", "--at", "1:1", "--node", "表示等" });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_NE(o.out.find("rotation\t表示等\n  matched\tABC[2]\t*\n  matched\tABC[3]\n"), std::string::npos)
        << o.out;

    ASSERT_TRUE(WriteFileAtomically(f.page, before).ok);
    o = f.Run({ "ads", "delete", f.page, "--node", "nothing" });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(Fixture::Read(f.page), before);
}

TEST(AdsCli, JumpWalksThroughTheBlocks)
{
    Fixture f;
    EXPECT_EQ(f.Run({ "ads", "jump", f.page, "--banner", "ABC", "--times", "3" }).out, "ABC\nABC[2]\nABC\n");
    const Fixture other;
    const Outcome o = f.Run({ "ads", "jump", f.old, "--banner", "ABC", "--times", "2" });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_EQ(o.out, "ファイルに広告<ABC>は見つかりませんでした。\nファイルに広告<ABC>は見つかりませんでした。\n");
}

TEST(CatalogueCli, ListSortAndDetect)
{
    Fixture f;
    EXPECT_EQ(f.Run({ "catalogue", "list" }).out,
        "ABC\tA8\tイメージ広告468x60\t200\t3\t 1.50%\t500\n"
        "表示\tその他\tテキスト広告\t7\t1\t14.29%\t0\n"
        "ゾーン広告\tバリューコマース\t未知タイプ\t0\t0\t 0.00%\t12\n");
    const Outcome sorted = f.Run({ "catalogue", "list", "--sort", "6", "--desc" });
    EXPECT_EQ(sorted.out.substr(0, sorted.out.find('\t')), "ABC");
    EXPECT_EQ(f.Run({ "catalogue", "list", "--sort", "5" }).out.substr(0, 9), "ゾーン");
    EXPECT_EQ(f.Run({ "catalogue", "list", "--sort", "7" }).code, kExitUsage);

    EXPECT_EQ(f.Run({ "detect" }, "<IMG SRC=\"http://WWW.A8.NET/x\" width=1 height=1>").out, "A8\tテキスト広告\n");
    EXPECT_EQ(f.Run({ "detect" }, "plain").out, "その他\t未知タイプ\n");
    EXPECT_EQ(f.Run({ "--raw", "detect" }, "<img src=http://valuecommerce/x>").out,
        "\x83o\x83\x8A\x83\x85\x81[\x83R\x83}\x81[\x83X\t\x83"
        "C\x83\x81\x81[\x83W\x8DL\x8D\x90\n");
}

// "AdCount" at the largest integer: the catalogue is cut to what the file can
// hold (its lines plus a margin) instead of allocating until death.
TEST(CatalogueCli, ListWithAHugeAdCount)
{
    Fixture f;
    const std::string ads = f.settings + "/ads.ini";
    ASSERT_EQ(f.Run({ "settings", "set", ads, "Setups", "AdCount", "2147483647" }).code, kExitOk);
    TIniList store;
    store.LoadFromText(test::ReadSettingsText(ads));
    const Outcome r = f.Run({ "catalogue", "list" });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(r.out.starts_with("ABC\tA8\t")) << r.out.substr(0, 100);
    const auto lines = static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
    EXPECT_GE(lines, 1000u);
    EXPECT_LE(lines, store.LineCount() + 1000);
}

TEST(CatalogueCli, AddChecksLikeTheBannerEditor)
{
    Fixture f;
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        { { "--name", " " }, kExitFailure, "pagewick-cli: 広告名を入力してください。\n" },
        { { "--name", "ゼ[1]" }, kExitFailure, "pagewick-cli: 広告名に\"]\"と\"[\"を使わないでください。\n" },
        { { "--name", "ABC" }, kExitFailure, "pagewick-cli: 広告名[ABC]はすでに使われています。\n" },
        { { "--name", "N", "--pv", "12a" }, kExitFailure,
            "pagewick-cli: ページビュー数は整数で入力してください。\n" },
        { { "--name", "N", "--network", "Nope" }, kExitFailure, "pagewick-cli: no network named [Nope]\n" },
        { { "--name", "N", "--pv" }, kExitUsage, "pagewick-cli: --pv needs a value\n" },
    };
    const std::string before = Fixture::Read(f.settings + "/ads.ini");
    for (const auto& c : cases) {
        std::vector<std::string> args = { "catalogue", "add" };
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = f.Run(args, "<b>x</b>");
        EXPECT_EQ(o.code, c.code) << c.args[1];
        EXPECT_EQ(o.err, c.err) << c.args[1];
    }
    EXPECT_EQ(Fixture::Read(f.settings + "/ads.ini"), before);

    Outcome o = f.Run({ "catalogue", "add", "--name", " ゼロ ", "--pv", "-5", "--ct", "+1" },
        "\n<img src=\"http://a8.net/y\" width=\"120\" height=\"240\">\nline2\n\n");
    EXPECT_EQ(o.code, kExitOk) << o.err;
    o = f.Run({ "catalogue", "add", "--name", "T", "--network", "その他", "--type", "商品リンク" },
        "<img src=\"http://a8.net/y\">");
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(f.Run({ "catalogue", "list" }).out.substr(f.Run({ "catalogue", "list" }).out.find("ゼロ")),
        "ゼロ\tA8\tイメージ広告120x240\t-5\t1\t-20.00%\t0\nT\tその他\t商品リンク\t0\t0\t 0.00%\t0\n");
    const Outcome html = f.Run({ "settings", "get", f.settings + "/ads.ini", "Banner4", "BannerHTML" });
    EXPECT_EQ(html.out, "<img src=\"http://a8.net/y\" width=\"120\" height=\"240\">$D$Aline2\n");
}

TEST(CatalogueCli, DeleteAndArchiveRenumber)
{
    Fixture f;
    EXPECT_EQ(f.Run({ "catalogue", "delete", "表示" }).code, kExitOk);
    const Outcome archived = f.Run({ "catalogue", "archive", "ABC" });
    EXPECT_EQ(archived.code, kExitOk);
    EXPECT_EQ(archived.err, "pagewick-cli: 該当広告は" + f.settings + "/pwh_ads.csvに保存しました\n");
    EXPECT_EQ(Fixture::Utf8(f.settings + "/pwh_ads.csv"),
        "A8,ABC,イメージ広告468x60,200,3,1.5,500,<a href=\"http://px.a8.net/x\"><img "
        "src=\"http://a8.net/b.gif\" width=\"468\" height=\"60\"></a>\r\n");
    EXPECT_EQ(f.Run({ "catalogue", "list" }).out, "ゾーン広告\tバリューコマース\t未知タイプ\t0\t0\t 0.00%\t12\n");
    EXPECT_EQ(f.Run({ "settings", "get", f.settings + "/ads.ini", "Banner1", "SpaceName" }).out, "ゾーン広告\n");
    EXPECT_EQ(f.Run({ "settings", "get", f.settings + "/ads.ini", "Banner2", "SpaceName", "gone" }).out, "gone\n");
    EXPECT_EQ(f.Run({ "catalogue", "delete", "ABC" }).code, kExitFailure);
}

TEST(PageadsCli, UsageAndFileErrors)
{
    Fixture f;
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        { { "ads" }, kExitUsage },
        { { "ads", "frob", f.page }, kExitUsage },
        { { "ads", "scan" }, kExitUsage },
        { { "ads", "scan", f.page, "--bogus" }, kExitUsage },
        { { "ads", "locate", f.page, "--at", "3:5" }, kExitUsage },
        { { "ads", "locate", f.page, "--at", "3", "--name", "A" }, kExitUsage },
        { { "ads", "locate", f.page, "--at", "0:1", "--name", "A" }, kExitUsage },
        { { "ads", "add", f.page, "--banner", "ABC", "--at", "1:1" }, kExitUsage },
        { { "ads", "add", f.page, "--banner", "ABC", "--at", "1:1", "--normal", "--rotation" }, kExitUsage },
        { { "ads", "add", f.page, "--banner", "None", "--at", "1:1", "--normal" }, kExitFailure },
        { { "ads", "jump", f.page, "--banner", "ABC", "--times", "x" }, kExitUsage },
        { { "ads", "scan", f.dir.file("missing.html") }, kExitFile },
        { { "catalogue" }, kExitUsage },
        { { "catalogue", "list", "--desc" }, kExitUsage },
        { { "catalogue", "delete" }, kExitUsage },
        { { "detect", "x" }, kExitUsage },
        { { "ads", "scan", "--help" }, kExitOk },
    };
    for (const auto& c : cases) {
        const Outcome o = f.Run(c.args);
        EXPECT_EQ(o.code, c.code) << ::testing::PrintToString(c.args);
        if (c.code != kExitOk) {
            EXPECT_FALSE(o.err.empty()) << ::testing::PrintToString(c.args);
        }
    }
}

// Pages in UTF-8 and EUC-JP, with a banner whose name and HTML hold ①, which
// EUC-JP cannot hold.
struct EncodingFixture : Fixture {
    std::string utf8Page = dir.file("utf8.html");
    std::string eucPage = dir.file("euc.html");
    static constexpr const char* kUtf8Text = "\xEF\xBB\xBF<p>表ソ</p>\r\n\r\n<p>end</p>\r\n";

    EncodingFixture()
    {
        EXPECT_EQ(Run({ "catalogue", "add", "--name", "丸①" }, "<b>①㈱ \"q\" 表</b>").code, kExitOk);
        WriteFileAtomically(utf8Page, kUtf8Text);
        // 日本 is no Shift_JIS text: the bytes tell EUC-JP.
        WriteFileAtomically(
            eucPage, codec::Encode(PageEncoding::EucJp, "<p>日本表ソ</p>\r\n\r\n<p>end</p>\r\n").bytes);
    }
};

TEST(EncodingCli, NamesTheEncodingAPageIsReadIn)
{
    EncodingFixture f;
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
    } cases[] = {
        { { "encoding", f.page }, kExitOk, "shift_jis\n" },
        { { "encoding", f.utf8Page }, kExitOk, "utf-8\n" },
        { { "encoding", f.eucPage }, kExitOk, "euc-jp\n" },
        { { "encoding", f.utf8Page, "--encoding", "shift_jis" }, kExitOk, "shift_jis\n" },
        { { "--encoding=euc-jp", "encoding", f.page }, kExitOk, "euc-jp\n" },
        { { "encoding", f.utf8Page, "--encoding", "auto" }, kExitOk, "utf-8\n" },
        { { "encoding", f.dir.file("missing.html") }, kExitFile, "" },
        { { "encoding" }, kExitUsage, "" },
        { { "encoding", f.page, "--encoding", "latin1" }, kExitUsage, "" },
        { { "encoding", f.page, "--encoding" }, kExitUsage, "" },
        { { "ads", "scan", f.page, "--encoding", "UTF-8" }, kExitUsage, "" },
    };
    for (const auto& c : cases) {
        const Outcome o = f.Run(c.args);
        EXPECT_EQ(o.code, c.code) << ::testing::PrintToString(c.args);
        EXPECT_EQ(o.out, c.out) << ::testing::PrintToString(c.args);
        if (c.code != kExitOk) {
            EXPECT_FALSE(o.err.empty()) << ::testing::PrintToString(c.args);
        }
    }
    const Outcome help = f.Run({ "--help" });
    EXPECT_NE(help.out.find("--encoding auto|shift_jis|utf-8|euc-jp"), std::string::npos);
    EXPECT_NE(help.out.find("\n  encoding "), std::string::npos);
    EXPECT_NE(f.Run({ "encoding", "--help" }).out.find("byte order mark"), std::string::npos);
}

TEST(EncodingCli, AddScanAndDeleteInAUtf8PageKeepItsByteOrderMark)
{
    EncodingFixture f;
    Outcome o = f.Run({ "ads", "add", f.utf8Page, "--banner", "丸①", "--normal", "--at", "2:1" });
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(o.out, "matched\t丸①\t*\n");
    EXPECT_EQ(Fixture::Read(f.utf8Page),
        "\xEF\xBB\xBF<p>表ソ</p>\r\n<!--PWH[丸①]-->\r\n<b>①㈱ \"q\" 表</b>\r\n"
        "<!--PWHEND-->\r\n<p>end</p>\r\n");
    // Columns do not count the byte order mark: the block starts at 2:1.
    o = f.Run({ "ads", "find", f.utf8Page, "--node", "丸①" });
    EXPECT_EQ(o.out, "2:1\t4:14\n");
    o = f.Run({ "ads", "delete", f.utf8Page, "--node", "丸①" });
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(Fixture::Read(f.utf8Page), EncodingFixture::kUtf8Text);
    // Read as Shift_JIS, the same page holds a block of no known name.
    f.Run({ "ads", "add", f.utf8Page, "--banner", "丸①", "--normal", "--at", "2:1" });
    o = f.Run({ "ads", "scan", f.utf8Page, "--encoding", "shift_jis" });
    EXPECT_EQ(o.out.substr(0, 9), "unlisted\t");
}

TEST(EncodingCli, EucJpPageGetsReferencesForWhatItCannotHold)
{
    EncodingFixture f;
    Outcome o = f.Run({ "ads", "add", f.eucPage, "--banner", "丸①", "--rotation", "--at", "2:1" });
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(o.out, "rotation\t丸①等\n  matched\t丸①\t*\n");
    const std::string bytes = Fixture::Read(f.eucPage);
    EXPECT_EQ(bytes.substr(0, 43),
        "<p>\xC6\xFC\xCB\xDC\xC9\xBD\xA5\xBD</p>\r\n<!--PWR[\xB4\xDD&#x2460;\xC5\xF9]-->\r\n");
    EXPECT_NE(bytes.find("\r\n\"<b>&#x2460;&#x3231; \\\"q\\\" \xC9\xBD<\\/b>\",\r\n"), std::string::npos);
    // Node texts from the command line are read in the page's encoding.
    o = f.Run({ "ads", "locate", f.eucPage, "--at", "6:1", "--name", "丸①" });
    EXPECT_EQ(o.out, "member\n丸①\nblock\t5:1\t7:13\nrotation\t2:1\n");
    o = f.Run({ "--raw", "ads", "find", f.eucPage, "--node", "\xB4\xDD&#x2460;\xC5\xF9", "--rotation" });
    EXPECT_EQ(o.code, kExitOk);
    EXPECT_EQ(o.out.substr(0, 4), "2:1\t");
    o = f.Run({ "ads", "jump", f.eucPage, "--banner", "丸①", "--times", "1" });
    EXPECT_EQ(o.out, "丸①\n");
}

TEST(EncodingCli, BlockForAPageOfAnotherEncoding)
{
    Fixture f;
    EXPECT_EQ(f.Run({ "block", "normal", "丸①", "--encoding", "euc-jp" }, "<b>表①</b>").out,
        "<!--PWH[丸①]-->\r\n<b>表①</b>\r\n<!--PWHEND-->");
    EXPECT_EQ(
        f.Run({ "--raw", "--encoding", "euc-jp", "block", "normal", "\x8A\xDB\x87\x40" }, "<b>\x95\x5C</b>").out,
        "<!--PWH[\xB4\xDD&#x2460;]-->\r\n<b>\xC9\xBD</b>\r\n<!--PWHEND-->");
    EXPECT_EQ(f.Run({ "--raw", "--encoding", "utf-8", "block", "member", "A" }, "\x95\x5C\"").out,
        "<!--PWH[A]-->\r\n\"表\\\"\",\r\n<!--PWHEND-->");
}

TEST(PageadsCli, BuiltProgramRunsEndToEnd)
{
    Fixture f;
    const std::string command
        = std::string(PAGEWICK_CLI) + " ads scan " + f.page + " --dir " + f.settings + " --raw";
    const test::CommandOutcome run = test::RunShell(command);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, codec::EncodeSjis(kPageTree).bytes);
}

} // namespace
} // namespace pw::cli
