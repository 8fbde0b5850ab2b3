// Whole-site walks, inventories and update runs on a local folder.

#include "base/files.h"
#include "pageads/adblock.h"
#include "sites/sitewalk.h"
#include "support/tempdir.h"
#include "text/lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pw {
namespace {

namespace fs = std::filesystem;

std::string Block(const std::string& name, const std::string& html, TAdBlockKind kind,
    PageEncoding encoding = PageEncoding::ShiftJis)
{
    return BuildAdBlock(ToPageText(encoding, name), ToPageText(encoding, html), kind, encoding);
}

// The catalogue's HTML of banner A: two lines, so that a replace writes lines
// of its own between the page's.
const std::string kNewA = "<a>new\r\nsecond line</a>";

// "名前" in Shift_JIS, a banner name outside ASCII.
const std::string kSjisName = "\x96\xBC\x91\x4F";

BannerList Catalogue()
{
    BannerList list;
    for (const auto& [name, html] : std::vector<std::pair<std::string, std::string>> {
             { "A", kNewA }, { "B", "<b>B</b>" }, { "R", "<i>new</i>" }, { kSjisName, "<p>new</p>" } }) {
        auto banner = std::make_unique<TAdBanner>();
        banner->SpaceName = name;
        banner->BannerHTML = html;
        list.Rows.push_back(std::move(banner));
    }
    return list;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

struct EditCase {
    const char* name;
    std::string before;
    std::string after;
    int replaced;
    int removed;
    std::vector<std::string> replace;
    std::vector<std::string> remove;
    PageCharset charset = PageCharset::Auto;
};

std::vector<EditCase> EditCases()
{
    const BannerList catalogue = Catalogue();
    const std::string oldA = Block("A", "<a>\r\nold</a>", abNormal);
    const std::string newA = Block("A", kNewA, abNormal);
    const std::string matchedB = Block("B", "<b>B</b>", abNormal);
    const std::string changedB = Block("B", "<b>old</b>", abNormal);
    const std::string unlisted = Block("C", "<c/>", abNormal);
    // Every kind of break, a lone CR, bytes that are no Shift_JIS and no
    // break at the end: none of it may move.
    const std::string head = "<html>\n\x81\x20\xFF\xFE bad bytes\r\nlone cr\r";
    const std::string tail = "\n\x85\x40 more\r\n\r\nno final break";
    const std::string rotation = Block("R", "<i>old</i>", abRotation);
    const std::string utf8Old = Block(kSjisName, "<p>old</p>", abNormal, PageEncoding::Utf8);
    const std::string utf8New = Block(kSjisName, "<p>new</p>", abNormal, PageEncoding::Utf8);
    const std::string utf8Text = "<meta charset=\"utf-8\">\n\xE6\x97\xA5\xE6\x9C\xAC\n";
    return {
        { "ChangedBlockReplacedRestUntouched", head + oldA + tail, head + newA + tail, 1, 0, {}, {} },
        { "Utf8PageWithMark", std::string(kUtf8ByteOrderMark) + utf8Text + utf8Old + "\n",
            std::string(kUtf8ByteOrderMark) + utf8Text + utf8New + "\n", 1, 0, {}, {} },
        { "MemberKeepsItsForm", head + rotation + tail,
            head + Replaced(rotation, Block("R", "<i>old</i>", abMember), Block("R", "<i>new</i>", abMember))
                + tail,
            1, 0, {}, {} },
        { "DeleteAndReplaceTogether", head + oldA + "\n" + changedB + "\n" + unlisted + tail,
            head + newA + "\n" + "\n" + unlisted + tail, 1, 1, { "A" }, { "B" } },
        { "DeleteTakesMatchedBlocksToo", head + matchedB + "\r\n" + matchedB + tail, head + "\r\n" + tail, 0, 2,
            { "A" }, { "B" } },
        { "MatchedAndUnlistedStay", head + matchedB + "\n" + unlisted + tail,
            head + matchedB + "\n" + unlisted + tail, 0, 0, {}, {} },
        { "OnlyTheChosenBanners", head + oldA + "\n" + changedB + tail,
            head + oldA + "\n" + Block("B", "<b>B</b>", abNormal) + tail, 1, 0, { "B" }, {} },
    };
}

void PrintTo(const EditCase& c, std::ostream* out)
{
    *out << c.name;
}

class EditPageBlocksCase : public ::testing::TestWithParam<EditCase> { };

TEST_P(EditPageBlocksCase, ChangesOnlyTheBlocks)
{
    const EditCase& c = GetParam();
    const BannerList catalogue = Catalogue();
    const PageEdit edit = EditPageBlocks(c.before, c.charset, catalogue, c.replace, c.remove);
    EXPECT_EQ(edit.Problem, "");
    EXPECT_EQ(edit.Bytes, c.after);
    EXPECT_EQ(edit.Replaced, c.replaced);
    EXPECT_EQ(edit.Removed, c.removed);
    // A second pass finds nothing more to do.
    const PageEdit again = EditPageBlocks(edit.Bytes, c.charset, catalogue, c.replace, c.remove);
    EXPECT_EQ(again.Replaced + again.Removed, 0);
    EXPECT_EQ(again.Bytes, edit.Bytes);
}

INSTANTIATE_TEST_SUITE_P(Pages, EditPageBlocksCase, ::testing::ValuesIn(EditCases()),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

TEST(EditPageBlocks, APageWhoseMarkersNeedRepairIsLeftAlone)
{
    // The second block has no end marker: the scan would append one.
    const std::string page = Block("A", "<a>old</a>", abNormal) + "\r\n<!--PWH[B]-->\r\n<b>B</b>\r\n";
    const PageEdit edit = EditPageBlocks(page, PageCharset::Auto, Catalogue(), {}, {});
    EXPECT_NE(edit.Problem, "");
    EXPECT_EQ(edit.Bytes, page);
    EXPECT_EQ(edit.Replaced, 0);
}

class LocalSite : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_setup.Kind = skLocal;
        m_setup.IniPath = Site();
        fs::create_directories(Site() + "/sub/deep");
        Write("index.html", "top\r\n" + Block("A", "<a>old</a>", abNormal) + "\r\n");
        Write("UPPER.HTML", Block("B", "<b>B</b>", abNormal) + "\r\n");
        Write("notes.txt", Block("A", "<a>old</a>", abNormal));
        Write("sub/one.htm", Block("A", "<a>old</a>", abNormal) + "\r\n" + Block("C", "<c/>", abNormal));
        Write("sub/deep/two.php", "x\n" + Block("A", "<a>old</a>", abNormal) + "\n");
        Write("sub/deep/plain.html", "nothing here\n");
    }
    std::string Site() const { return m_dir.path() + "/site"; }
    std::string Backups() const { return m_dir.path() + "/backups/local"; }
    void Write(const std::string& relative, const std::string& bytes)
    {
        ASSERT_TRUE(WriteFileAtomically(Site() + "/" + relative, bytes).ok);
    }
    std::string Read(const std::string& relative) const
    {
        std::string bytes;
        ReadWholeFile(Site() + "/" + relative, bytes);
        return bytes;
    }
    SiteAccessFactory Access() const { return SiteAccessFor(m_setup, {}); }

    test::TempDir m_dir;
    TSetup m_setup;
    BannerList m_catalogue = Catalogue();
};

std::vector<std::string> PathsOf(const SiteScanResult& scan)
{
    std::vector<std::string> paths;
    for (const SitePage& page : scan.Pages)
        paths.push_back(page.Relative);
    return paths;
}

TEST_F(LocalSite, ScanFindsEveryPageAndRatesItsBlocks)
{
    // Links are not followed, to folders or pages, and a pipe is not read.
    fs::create_directory_symlink(Site() + "/sub", Site() + "/loop");
    fs::create_symlink(Site() + "/index.html", Site() + "/alias.html");
    ASSERT_EQ(::mkfifo((Site() + "/pipe.html").c_str(), 0600), 0);
    // A name with a control character is reported, the walk goes on.
    Write("bad\x01name.html", "x");

    SiteWalkOptions options;
    options.Jobs = 3;
    const SiteScanResult scan = ScanSite(Access(), m_catalogue, options);
    EXPECT_EQ(scan.Folder, Site());
    EXPECT_EQ(PathsOf(scan),
        (std::vector<std::string> {
            "UPPER.HTML", "index.html", "sub/deep/plain.html", "sub/deep/two.php", "sub/one.htm" }));
    ASSERT_EQ(scan.Problems.size(), 1u);
    EXPECT_EQ(scan.Problems[0].Path, Site() + "/bad\x01name.html");
    EXPECT_FALSE(scan.Cancelled);

    const SitePage& one = scan.Pages[4];
    EXPECT_EQ(one.Path, Site() + "/sub/one.htm");
    ASSERT_EQ(one.Nodes.size(), 2u);
    EXPECT_EQ(one.Nodes[0].Line, 1u);
    EXPECT_EQ(one.Nodes[0].Status, nsChanged);
    EXPECT_EQ(one.Nodes[0].Banner, "A");
    EXPECT_EQ(one.Nodes[1].Line, 4u);
    EXPECT_EQ(one.Nodes[1].Status, nsUnlisted);
    EXPECT_EQ(scan.Pages[1].Nodes.at(0).Line, 2u);
    EXPECT_EQ(scan.Pages[0].Nodes.at(0).Status, nsMatched);

    // A folder below the deepest level walked is reported, not entered.
    options.MaxDepth = 1;
    const SiteScanResult shallow = ScanSite(Access(), m_catalogue, options);
    EXPECT_EQ(PathsOf(shallow), (std::vector<std::string> { "UPPER.HTML", "index.html", "sub/one.htm" }));
    ASSERT_EQ(shallow.Problems.size(), 2u);
    EXPECT_EQ(shallow.Problems[1].Path, Site() + "/sub/deep");
    options.MaxDepth = 100;

    // Other endings, without the dot and in any case.
    std::vector<std::string> endings;
    ASSERT_TRUE(ParseEndings("TXT,.Php", endings));
    options.Endings = endings;
    EXPECT_EQ(PathsOf(ScanSite(Access(), m_catalogue, options)),
        (std::vector<std::string> { "notes.txt", "sub/deep/two.php" }));
    EXPECT_FALSE(ParseEndings(",", endings));
}

TEST_F(LocalSite, WalksBreadthFirstReportsProgressAndCancels)
{
    SiteWalkOptions options;
    options.Jobs = 1;
    std::vector<SiteProgress> seen;
    const SiteScanResult scan
        = ScanSite(Access(), m_catalogue, options, [&](const SiteProgress& p) { seen.push_back(p); });
    ASSERT_EQ(seen.size(), 5u);
    // Pages of the top folder first, then one level down, then two.
    auto depth = [](const std::string& path) { return std::count(path.begin(), path.end(), '/'); };
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_LE(depth(seen[i - 1].Current), depth(seen[i].Current)) << seen[i].Current;
    EXPECT_EQ(seen.back().PagesDone, 5u);
    EXPECT_EQ(seen.back().PagesFound, 5u);

    std::atomic<bool> cancel = false;
    const SiteScanResult cancelled = ScanSite(
        Access(), m_catalogue, options, [&](const SiteProgress&) { cancel = true; }, &cancel);
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.Pages.size(), 1u);
    EXPECT_EQ(scan.Connections, 1);
}

TEST_F(LocalSite, UpdateBacksUpStoresAndRestores)
{
    ::chmod((Site() + "/index.html").c_str(), 0640);
    const std::string oldIndex = Read("index.html");
    const std::string oldTwo = Read("sub/deep/two.php");
    const std::string oldUpper = Read("UPPER.HTML");
    struct stat before { };
    ASSERT_EQ(::stat((Site() + "/UPPER.HTML").c_str(), &before), 0);

    SiteUpdateOptions dry;
    dry.DryRun = true;
    const SiteUpdateResult planned = UpdateSite(Access(), m_catalogue, {}, dry);
    EXPECT_EQ(planned.Changed.size(), 3u);
    EXPECT_EQ(Read("index.html"), oldIndex);
    EXPECT_FALSE(fs::exists(m_dir.path() + "/backups"));

    SiteUpdateOptions update;
    update.RunFolder = Backups() + "/20260101-000000";
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_TRUE(result.Problems.empty()) << result.Problems[0].Error;
    ASSERT_EQ(result.Changed.size(), 3u);
    EXPECT_EQ(result.Changed[0].Path, Site() + "/index.html");
    EXPECT_EQ(result.Changed[0].Replaced, 1);
    EXPECT_EQ(Read("index.html"), "top\r\n" + Block("A", kNewA, abNormal) + "\r\n");
    struct stat mode { };
    ASSERT_EQ(::stat((Site() + "/index.html").c_str(), &mode), 0);
    EXPECT_EQ(mode.st_mode & 0777, 0640u);
    // The old bytes, below the run folder as below the site.
    std::string backup;
    ASSERT_TRUE(ReadWholeFile(update.RunFolder + "/index.html", backup).ok);
    EXPECT_EQ(backup, oldIndex);
    ASSERT_TRUE(ReadWholeFile(update.RunFolder + "/sub/deep/two.php", backup).ok);
    EXPECT_EQ(backup, oldTwo);
    // A page with nothing to change is not written.
    struct stat after { };
    ASSERT_EQ(::stat((Site() + "/UPPER.HTML").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(Read("UPPER.HTML"), oldUpper);
    EXPECT_FALSE(fs::exists(update.RunFolder + "/UPPER.HTML"));

    const std::vector<SiteRun> runs = ListRuns(Backups());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Name, "20260101-000000");
    EXPECT_EQ(runs[0].Pages, 3u);

    // Someone edits one page after the run: restore leaves it and reports it.
    Write("sub/one.htm", "edited by hand");
    const SiteRestoreResult restored = RestoreRun(Access(), update.RunFolder, false);
    EXPECT_EQ(
        restored.Restored, (std::vector<std::string> { Site() + "/index.html", Site() + "/sub/deep/two.php" }));
    ASSERT_EQ(restored.Problems.size(), 1u);
    EXPECT_EQ(restored.Problems[0].Path, Site() + "/sub/one.htm");
    EXPECT_EQ(Read("index.html"), oldIndex);
    EXPECT_EQ(Read("sub/deep/two.php"), oldTwo);
    EXPECT_EQ(Read("sub/one.htm"), "edited by hand");
}

TEST_F(LocalSite, APageChangedAfterItWasReadIsLeftAlone)
{
    SiteUpdateOptions update;
    update.RunFolder = Backups() + "/20260101-000000";
    update.PageRead = [&](const std::string& path) {
        if (path.ends_with("index.html"))
            Write("index.html", "someone else's edit, longer than the page was");
    };
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    ASSERT_EQ(result.Problems.size(), 1u);
    EXPECT_EQ(result.Problems[0].Path, Site() + "/index.html");
    EXPECT_NE(result.Problems[0].Error.find("changed"), std::string::npos);
    EXPECT_EQ(result.Problems[0].Kind, SiteProblemKind::ChangedOnServer);
    EXPECT_EQ(Read("index.html"), "someone else's edit, longer than the page was");
    EXPECT_FALSE(fs::exists(update.RunFolder + "/index.html"));
    EXPECT_EQ(result.Changed.size(), 2u);
}

TEST_F(LocalSite, ARunKilledBeforeItsDoneLinesIsRestoredWithoutAResume)
{
    const std::string oldIndex = Read("index.html");
    const std::string oldOne = Read("sub/one.htm");
    const std::string oldTwo = Read("sub/deep/two.php");
    SiteUpdateOptions update;
    update.RunFolder = Backups() + "/20260101-000000";
    ASSERT_EQ(UpdateSite(Access(), m_catalogue, {}, update).Changed.size(), 3u);
    // Killed after every store and before any "done" reached the disk; one
    // page's store never happened (its backup was written, then the kill).
    std::string journal;
    ASSERT_TRUE(ReadWholeFile(update.RunFolder + "/.journal", journal).ok);
    std::string begun;
    for (const std::string& line : SplitLines(journal))
        if (!line.starts_with("done\t"))
            begun += line + "\n";
    ASSERT_TRUE(WriteFileAtomically(update.RunFolder + "/.journal", begun).ok);
    Write("sub/one.htm", oldOne);

    const SiteRestoreResult restored = RestoreRun(Access(), update.RunFolder, false);
    EXPECT_EQ(
        restored.Restored, (std::vector<std::string> { Site() + "/index.html", Site() + "/sub/deep/two.php" }));
    EXPECT_TRUE(restored.Problems.empty()) << restored.Problems[0].Path;
    EXPECT_EQ(Read("index.html"), oldIndex);
    EXPECT_EQ(Read("sub/one.htm"), oldOne);
    EXPECT_EQ(Read("sub/deep/two.php"), oldTwo);
}

TEST_F(LocalSite, PagesToSkipAreLeftAloneAndNamedWhenTheyWouldChange)
{
    const std::string oldIndex = Read("index.html");
    SiteUpdateOptions update;
    // index.html would change; UPPER.HTML would not, so it is not named.
    update.Skip = { Site() + "/index.html", Site() + "/UPPER.HTML", Site() + "/gone.html" };
    update.DryRun = true;
    const SiteUpdateResult planned = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_EQ(planned.Skipped, (std::vector<std::string> { Site() + "/index.html" }));
    EXPECT_EQ(planned.Changed.size(), 2u);

    update.DryRun = false;
    update.RunFolder = Backups() + "/20260101-000000";
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_TRUE(result.Problems.empty());
    EXPECT_EQ(result.Skipped, (std::vector<std::string> { Site() + "/index.html" }));
    ASSERT_EQ(result.Changed.size(), 2u);
    EXPECT_EQ(result.Changed[0].Path, Site() + "/sub/deep/two.php");
    EXPECT_EQ(Read("index.html"), oldIndex);
    EXPECT_FALSE(fs::exists(update.RunFolder + "/index.html"));
    // The run's page count leaves the skipped page out.
    ASSERT_EQ(ListRuns(Backups()).size(), 1u);
    EXPECT_EQ(ListRuns(Backups())[0].Pages, 2u);
}

TEST_F(LocalSite, ACancelledRunResumesWhereItStopped)
{
    SiteWalkOptions options;
    options.Jobs = 1;
    SiteUpdateOptions update;
    update.RunFolder = Backups() + "/20260101-000000";
    std::atomic<bool> cancel = false;
    const SiteUpdateResult first = UpdateSite(
        Access(), m_catalogue, options, update, [&](const SiteProgress& p) { cancel = p.PagesDone >= 2; },
        &cancel);
    EXPECT_TRUE(first.Cancelled);
    ASSERT_EQ(first.Changed.size(), 1u); // UPPER.HTML had nothing to change

    // A run killed between a store and its journal line: the page holds the
    // new bytes, the journal only says the store began.
    std::string journal;
    ASSERT_TRUE(ReadWholeFile(update.RunFolder + "/.journal", journal).ok);
    const size_t done = journal.rfind("done\t");
    ASSERT_NE(done, std::string::npos);
    ASSERT_TRUE(WriteFileAtomically(update.RunFolder + "/.journal", journal.substr(0, done)).ok);

    SiteUpdateOptions resume;
    resume.RunFolder = update.RunFolder;
    resume.Resume = true;
    const SiteUpdateResult second = UpdateSite(Access(), m_catalogue, {}, resume);
    EXPECT_TRUE(second.Problems.empty());
    EXPECT_EQ(second.AlreadyDone, 1u);
    EXPECT_EQ(second.Changed.size(), 2u);
    EXPECT_EQ(Read("index.html"), "top\r\n" + Block("A", kNewA, abNormal) + "\r\n");
    EXPECT_EQ(Read("sub/deep/two.php"), "x\n" + Block("A", kNewA, abNormal) + "\n");
    const std::vector<SiteRun> runs = ListRuns(Backups());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Pages, 3u);
    // The backups still hold the first bytes, not the run's own.
    std::string backup;
    ASSERT_TRUE(
        ReadWholeFile(update.RunFolder + "/" + first.Changed[0].Path.substr(Site().size() + 1), backup).ok);
    EXPECT_NE(backup.find("old"), std::string::npos);

    SiteUpdateOptions missing;
    missing.RunFolder = Backups() + "/19990101-000000";
    missing.Resume = true;
    EXPECT_EQ(UpdateSite(Access(), m_catalogue, {}, missing).Problems.size(), 1u);
}

TEST(SiteNames, UnsafeNamesAndBackupFolders)
{
    for (const char* name : { "", ".", "..", "a/b", "/etc", "../x", "tab\there", "del\x7F" })
        EXPECT_NE(UnsafeNameReason(name), "") << name;
    for (const char* name : { "a.html", "..a", "a..b", "\x95\x5C.html", "with space" })
        EXPECT_EQ(UnsafeNameReason(name), "") << name;
    EXPECT_EQ(SetupBackupFolder("/cfg", "../x"), "/cfg/backups/.._x");
    EXPECT_EQ(SetupBackupFolder("/cfg", ".."), "/cfg/backups/_..");
    EXPECT_EQ(SetupBackupFolder("/cfg", "a/b\n"), "/cfg/backups/a_b_");
    EXPECT_EQ(NewRunName().size(), 15u);
}

} // namespace
} // namespace pw
