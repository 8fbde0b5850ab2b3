// Whole-site walks, inventories and update runs on a local folder.

#include "base/files.h"
#include "pageads/adblock.h"
#include "settings/settingsfolder.h"
#include "sites/sitewalk.h"
#include "support/tempdir.h"
#include "text/lines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

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

// A site access that hands every call to another and lets a test look at each
// store as it is about to happen, or stop it as a kill would.
class WatchedAccess : public SiteAccess {
public:
    using BeforeStore = std::function<bool(const std::string& path)>;
    WatchedAccess(std::unique_ptr<SiteAccess> inner, BeforeStore before)
        : m_inner(std::move(inner))
        , m_before(std::move(before))
    {
    }
    FtpResult Open(const std::string& start, std::string& folder) override { return m_inner->Open(start, folder); }
    FtpResult List(const std::string& folder, std::vector<SiteEntry>& entries) override
    {
        return m_inner->List(folder, entries);
    }
    FtpResult Read(const std::string& path, std::string& bytes) override { return m_inner->Read(path, bytes); }
    FtpResult Write(const std::string& path, const std::string& bytes, int mode) override
    {
        if (!m_before(path))
            return FtpResult::Fail(FtpFailure::Other, "stopped before the store");
        return m_inner->Write(path, bytes, mode);
    }
    void DropLeftovers(const std::string& path) override { m_inner->DropLeftovers(path); }
    FtpResult Stat(const std::string& path, SiteEntry& entry) override { return m_inner->Stat(path, entry); }

private:
    std::unique_ptr<SiteAccess> m_inner;
    BeforeStore m_before;
};

class SiteRuns : public LocalSite {
protected:
    std::string RunFolder() const { return Backups() + "/20260101-000000"; }
    SiteAccessFactory Watched(WatchedAccess::BeforeStore before) const
    {
        return [inner = Access(), before] { return std::make_unique<WatchedAccess>(inner(), before); };
    }
    SiteUpdateResult RunUpdate(const SiteAccessFactory& access)
    {
        SiteUpdateOptions update;
        update.RunFolder = RunFolder();
        return UpdateSite(access, m_catalogue, {}, update);
    }
    std::string Journal() const
    {
        std::string text;
        ReadWholeFile(RunFolder() + "/.journal", text);
        return text;
    }
    // Every file of the test's folder with its bytes, the run folder's left out.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir.path())) {
            const std::string path = entry.path().string();
            if (entry.is_regular_file() && !path.starts_with(Backups() + "/"))
                ReadWholeFile(path, files[path]);
        }
        return files;
    }
};

TEST_F(SiteRuns, TheBackupAndTheBeginRecordAreOnDiskBeforeEachStore)
{
    std::vector<std::string> stored;
    const SiteUpdateResult result = RunUpdate(Watched([&](const std::string& path) {
        const std::string relative = path.substr(Site().size() + 1);
        EXPECT_NE(Journal().find("\nbegin\t" + relative + "\t"), std::string::npos) << relative;
        std::string backup;
        EXPECT_TRUE(ReadWholeFile(RunFolder() + "/" + relative, backup).ok) << relative;
        EXPECT_EQ(backup, Read(relative)) << relative;
        stored.push_back(relative);
        return true;
    }));
    EXPECT_TRUE(result.Problems.empty());
    EXPECT_EQ(stored.size(), 3u);
}

TEST_F(SiteRuns, AResumeLeavesAPageEditedByHandAfterAKill)
{
    const std::string oldIndex = Read("index.html");
    // The kill lands between the begin record and the store of index.html.
    const SiteUpdateResult killed
        = RunUpdate(Watched([](const std::string& path) { return !path.ends_with("/index.html"); }));
    ASSERT_EQ(killed.Changed.size(), 2u);
    ASSERT_NE(Journal().find("begin\tindex.html\t"), std::string::npos);
    Write("index.html", "edited by hand after the kill\r\n");

    SiteUpdateOptions resume;
    resume.RunFolder = RunFolder();
    resume.Resume = true;
    const SiteUpdateResult resumed = UpdateSite(Access(), m_catalogue, {}, resume);
    ASSERT_EQ(resumed.Problems.size(), 1u);
    EXPECT_EQ(resumed.Problems[0].Path, Site() + "/index.html");
    EXPECT_EQ(resumed.Problems[0].Kind, SiteProblemKind::ChangedOnServer);
    EXPECT_EQ(Read("index.html"), "edited by hand after the kill\r\n");
    // The backup still holds the page as the run first read it.
    std::string backup;
    ASSERT_TRUE(ReadWholeFile(RunFolder() + "/index.html", backup).ok);
    EXPECT_EQ(backup, oldIndex);
}

TEST_F(SiteRuns, ASecondRestoreRestoresAndReportsNothing)
{
    const std::string oldIndex = Read("index.html");
    ASSERT_EQ(RunUpdate(Access()).Changed.size(), 3u);
    const SiteRestoreResult first = RestoreRun(Access(), RunFolder(), false);
    EXPECT_EQ(first.Restored.size(), 3u);
    EXPECT_TRUE(first.Problems.empty());
    Write("index.html", oldIndex); // the same bytes, written again by someone
    const SiteRestoreResult second = RestoreRun(Access(), RunFolder(), false);
    EXPECT_TRUE(second.Restored.empty());
    EXPECT_TRUE(second.Problems.empty()) << second.Problems[0].Path << ": " << second.Problems[0].Error;
}

// Journals a kill cannot make: each is refused whole, and nothing is read
// from outside the run's folder or written outside the site.
TEST_F(SiteRuns, ATamperedJournalIsRefusedWhole)
{
    const std::string outside = m_dir.path() + "/secret.html";
    const std::string secret = "not for the server\n";
    ASSERT_TRUE(WriteFileAtomically(outside, secret).ok);
    ASSERT_EQ(RunUpdate(Access()).Changed.size(), 3u);
    const std::string journal = Journal();
    const std::string hash = [&] {
        // The hash of the run's own record of index.html, valid in form.
        const size_t begin = journal.find("done\tindex.html\t");
        return journal.substr(journal.find('\t', begin + 16) + 1, 16);
    }();
    const std::string folderLine = "folder\t" + Site() + "\n";
    const struct {
        const char* what;
        std::string journal;
    } cases[] = {
        { "a path that climbs out", journal + "done\t../../secret.html\t19\t" + hash + "\n" },
        { "an absolute path", journal + "done\t" + outside + "\t19\t" + hash + "\n" },
        { "a dot part", journal + "done\tsub/./one.htm\t19\t" + hash + "\n" },
        { "an empty part", journal + "done\tsub//one.htm\t19\t" + hash + "\n" },
        { "an empty path", journal + "done\t\t19\t" + hash + "\n" },
        { "a CR inside a record", journal + "restored\tx\rdone\t../../secret.html\t19\t" + hash + "\n" },
        { "a second folder", journal + "folder\t" + m_dir.path() + "\n" },
        { "a malformed hash", journal + "done\tindex.html\t19\tzz\n" },
        { "a folder outside the setup's", "folder\t" + m_dir.path() + journal.substr(folderLine.size() - 1) },
    };
    const auto before = Files();
    for (const auto& tampered : cases) {
        SCOPED_TRACE(tampered.what);
        ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", tampered.journal).ok);
        const SiteRestoreResult restored = RestoreRun(Access(), RunFolder(), false);
        EXPECT_TRUE(restored.Restored.empty());
        ASSERT_EQ(restored.Problems.size(), 1u);
        // Named so the window can word it: the journal, or where it points.
        EXPECT_TRUE(restored.Problems[0].Kind == SiteProblemKind::JournalUnreadable
            || restored.Problems[0].Kind == SiteProblemKind::OutsideSetup);
        SiteUpdateOptions resume;
        resume.RunFolder = RunFolder();
        resume.Resume = true;
        EXPECT_FALSE(UpdateSite(Access(), m_catalogue, {}, resume).Problems.empty());
        EXPECT_EQ(Files(), before);
    }
    // The run's own journal, with a last record cut off by a kill, still restores.
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", journal + "done\tindex.h").ok);
    EXPECT_EQ(RestoreRun(Access(), RunFolder(), false).Restored.size(), 3u);
}

TEST_F(SiteRuns, NoJournalRecordCanHoldALineBreak)
{
    RunJournal journal;
    ASSERT_TRUE(MakePrivateFolders(RunFolder()).ok);
    ASSERT_TRUE(journal.Open(RunFolder(), RunJournal::New).ok);
    for (const char* field : { "a\nb", "a\rb", "a\tb", "a\x1b[2Jb" })
        EXPECT_FALSE(journal.Append({ "replace", std::string(field) }).ok) << field;
    EXPECT_FALSE(journal.AppendRecords({ { "folder", "/ok" }, { "replace", "x\ry" } }).ok);
    EXPECT_EQ(Journal(), "");
    // A second journal is not begun over the first.
    RunJournal again;
    EXPECT_FALSE(again.Open(RunFolder(), RunJournal::New).ok);
}

TEST_F(SiteRuns, OneRunOfASetupAtATimeInItsOwnFolder)
{
    // Two runs asked for at once get two folders.
    std::string first, second;
    std::thread other([&] { ASSERT_TRUE(NewRunFolder(Backups(), first).ok); });
    ASSERT_TRUE(NewRunFolder(Backups(), second).ok);
    other.join();
    EXPECT_NE(first, second);
    EXPECT_TRUE(fs::is_directory(Backups() + "/" + first));
    EXPECT_TRUE(fs::is_directory(Backups() + "/" + second));

    // While a run holds the setup, another update and a restore are refused.
    const std::string oldIndex = Read("index.html");
    {
        SetupRunLock lock;
        ASSERT_TRUE(lock.Acquire(Backups()).ok);
        const SiteUpdateResult refused = RunUpdate(Access());
        EXPECT_TRUE(refused.Changed.empty());
        ASSERT_EQ(refused.Problems.size(), 1u);
        EXPECT_NE(refused.Problems[0].Error.find("another run"), std::string::npos);
        EXPECT_EQ(refused.Problems[0].Kind, SiteProblemKind::RunBusy);
        EXPECT_FALSE(fs::exists(RunFolder()));
        EXPECT_EQ(Read("index.html"), oldIndex);
    }
    ASSERT_EQ(RunUpdate(Access()).Changed.size(), 3u);
    {
        SetupRunLock lock;
        ASSERT_TRUE(lock.Acquire(Backups()).ok);
        EXPECT_EQ(RestoreRun(Access(), RunFolder(), false).Problems.size(), 1u);
        EXPECT_NE(Read("index.html"), oldIndex);
    }
}

TEST_F(SiteRuns, ABackupIsNeverReplaced)
{
    // A stale file where the run keeps the backup of index.html: the page is
    // left alone and the file stays; the other pages are done.
    ASSERT_TRUE(MakePrivateFolders(RunFolder()).ok);
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/index.html", "someone's file").ok);
    const std::string oldIndex = Read("index.html");
    const SiteUpdateResult result = RunUpdate(Access());
    ASSERT_EQ(result.Problems.size(), 1u);
    EXPECT_EQ(result.Problems[0].Path, Site() + "/index.html");
    EXPECT_EQ(result.Changed.size(), 2u);
    EXPECT_EQ(Read("index.html"), oldIndex);
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(RunFolder() + "/index.html", kept).ok);
    EXPECT_EQ(kept, "someone's file");
}

TEST_F(SiteRuns, BackupsAreTheOwnersOnly)
{
    ASSERT_EQ(RunUpdate(Access()).Changed.size(), 3u);
    const auto mode = [](const std::string& path) {
        struct stat info { };
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 0777;
    };
    for (const std::string& folder : { Backups(), RunFolder(), RunFolder() + "/sub", RunFolder() + "/sub/deep" })
        EXPECT_EQ(mode(folder), 0700u) << folder;
    for (const std::string& file : { RunFolder() + "/.journal", RunFolder() + "/index.html",
             RunFolder() + "/sub/deep/two.php", Backups() + "/.lock" })
        EXPECT_EQ(mode(file), 0600u) << file;
}

TEST_F(SiteRuns, TemporaryCopiesOfAKilledStoreGoOnResumeAndRestore)
{
    // What a kill during the store of sub/one.htm leaves: its begin record
    // and a temporary copy beside the page; a live save's copy stays.
    const SiteUpdateResult killed
        = RunUpdate(Watched([](const std::string& path) { return !path.ends_with("/one.htm"); }));
    ASSERT_EQ(killed.Changed.size(), 2u);
    const auto leftover = [&](const std::string& name) {
        const std::string path = Site() + "/sub/" + name;
        EXPECT_TRUE(WriteFileAtomically(path, "half a page").ok);
        const struct utimbuf old {
            std::time(nullptr) - 30, std::time(nullptr) - 30
        };
        ::utime(path.c_str(), &old);
        return path;
    };
    const std::string killedCopy = leftover(".pwtmp-aB3dE9");
    const std::string liveCopy = leftover(".pwtmp-Zy8xW7");
    const int live = ::open(liveCopy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    SiteUpdateOptions resume;
    resume.RunFolder = RunFolder();
    resume.Resume = true;
    EXPECT_TRUE(UpdateSite(Access(), m_catalogue, {}, resume).Problems.empty());
    EXPECT_FALSE(fs::exists(killedCopy));
    EXPECT_TRUE(fs::exists(liveCopy));

    // The same when a restore undoes a killed run.
    ASSERT_EQ(RestoreRun(Access(), RunFolder(), false).Restored.size(), 3u);
    fs::remove_all(Backups());
    ASSERT_EQ(
        RunUpdate(Watched([](const std::string& path) { return !path.ends_with("/one.htm"); })).Changed.size(),
        2u);
    const std::string second = leftover(".pwtmp-Qq1Rr2");
    const SiteRestoreResult restored = RestoreRun(Access(), RunFolder(), false);
    EXPECT_EQ(restored.Restored.size(), 2u);
    EXPECT_TRUE(restored.Problems.empty());
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(fs::exists(liveCopy));
    ::close(live);
}

TEST_F(SiteRuns, AWalkBoundsItsPagesAndTheirSize)
{
    SiteWalkOptions options;
    options.MaxPages = 2;
    const SiteScanResult scan = ScanSite(Access(), m_catalogue, options);
    EXPECT_EQ(scan.Pages.size(), 2u);
    ASSERT_EQ(scan.Problems.size(), 1u);
    EXPECT_NE(scan.Problems[0].Error.find("more than 2 pages"), std::string::npos);
    EXPECT_EQ(scan.Problems[0].Kind, SiteProblemKind::WalkBound);

    // A page above the walk's page limit is named, not read.
    const std::string big = Site() + "/big.html";
    const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxSitePageBytes) + 1), 0);
    ::close(fd);
    const SiteScanResult bounded = ScanSite(Access(), m_catalogue, {});
    ASSERT_EQ(bounded.Problems.size(), 1u);
    EXPECT_EQ(bounded.Problems[0].Path, big);
    EXPECT_EQ(bounded.Problems[0].Kind, SiteProblemKind::PageTooLarge);
    EXPECT_EQ(bounded.Pages.size(), 5u);
}

TEST_F(SiteRuns, RunsTellTheirStateOperationAndBanners)
{
    const auto only = [&] {
        const std::vector<SiteRun> runs = ListRuns(Backups());
        EXPECT_EQ(runs.size(), 1u);
        return runs.empty() ? SiteRun {} : runs[0];
    };
    // Stopped by Cancel after the first page, with the plan's page count.
    SiteWalkOptions options;
    options.Jobs = 1;
    SiteUpdateOptions update;
    update.RunFolder = RunFolder();
    update.Planned = 3;
    std::atomic<bool> cancel = false;
    const SiteUpdateResult first = UpdateSite(
        Access(), m_catalogue, options, update, [&](const SiteProgress& p) { cancel = p.PagesDone >= 2; },
        &cancel);
    ASSERT_TRUE(first.Cancelled);
    SiteRun run = only();
    EXPECT_EQ(run.State, SiteRunState::Stopped);
    EXPECT_EQ(run.Pages, first.Changed.size());
    EXPECT_EQ(run.Planned, 3u);
    EXPECT_FALSE(run.Deletes);
    EXPECT_TRUE(run.Banners.empty());

    // Resumed to its end, then killed in a second resume's place: a run whose
    // journal has no end record stopped part way.
    SiteUpdateOptions resume;
    resume.RunFolder = RunFolder();
    resume.Resume = true;
    EXPECT_TRUE(UpdateSite(Access(), m_catalogue, {}, resume).Problems.empty());
    EXPECT_EQ(only().State, SiteRunState::Complete);
    EXPECT_EQ(only().Pages, 3u);
    const std::string journal = Journal();
    const size_t end = journal.rfind("end\t");
    ASSERT_NE(end, std::string::npos);
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", journal.substr(0, end)).ok);
    EXPECT_EQ(only().State, SiteRunState::Stopped);
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", journal).ok);

    // Restored.
    EXPECT_EQ(RestoreRun(Access(), RunFolder(), false).Restored.size(), 3u);
    EXPECT_EQ(only().State, SiteRunState::Restored);

    // A delete names its banners.
    fs::remove_all(Backups());
    SiteUpdateOptions remove;
    remove.RunFolder = RunFolder();
    remove.Delete = { "C" };
    remove.Replace = { "nothing to replace" };
    EXPECT_EQ(UpdateSite(Access(), m_catalogue, {}, remove).Changed.size(), 1u);
    run = only();
    EXPECT_TRUE(run.Deletes);
    EXPECT_EQ(run.Banners, (std::vector<std::string> { "C" }));
    EXPECT_EQ(run.State, SiteRunState::Complete);

    // Journals of the first format had no end record: they ended unless a
    // page was left begun.
    const std::string old = "folder\t" + Site() + "\ndone\ta.html\t1\t0123456789abcdef\n";
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", old).ok);
    EXPECT_EQ(only().State, SiteRunState::Complete);
    ASSERT_TRUE(WriteFileAtomically(RunFolder() + "/.journal", old + "begin\tb.html\t1\t0123456789abcdef\n").ok);
    EXPECT_EQ(only().State, SiteRunState::Stopped);
}

TEST_F(SiteRuns, OldRunsArePrunedButNeverAStoppedOne)
{
    SiteWalkOptions options;
    options.Jobs = 1;
    for (const char* name : { "20260101-000001", "20260101-000002", "20260101-000003", "20260101-000004" }) {
        SiteUpdateOptions update;
        update.RunFolder = Backups() + "/" + name;
        std::atomic<bool> cancel = std::string(name).ends_with('1');
        UpdateSite(Access(), m_catalogue, options, update, {}, &cancel);
    }
    EXPECT_EQ(ListRuns(Backups()).back().State, SiteRunState::Stopped);
    EXPECT_TRUE(PruneRuns(Backups(), 0).empty());
    EXPECT_EQ(PruneRuns(Backups(), 2), (std::vector<std::string> { "20260101-000002" }));
    std::vector<std::string> left;
    for (const SiteRun& run : ListRuns(Backups()))
        left.push_back(run.Name);
    EXPECT_EQ(left, (std::vector<std::string> { "20260101-000004", "20260101-000003", "20260101-000001" }));
    // Not while a run of the setup goes on.
    SetupRunLock lock;
    ASSERT_TRUE(lock.Acquire(Backups()).ok);
    EXPECT_TRUE(PruneRuns(Backups(), 1).empty());
}

TEST_F(SiteRuns, ARestoreReportsItsProgressAndAPageOpenedMeanwhileIsLeftAlone)
{
    const std::string oldIndex = Read("index.html");
    SiteUpdateOptions update;
    update.RunFolder = RunFolder();
    update.SkipNow = [&](const std::string& path) { return path == Site() + "/index.html"; };
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_EQ(result.Skipped, (std::vector<std::string> { Site() + "/index.html" }));
    EXPECT_EQ(result.Changed.size(), 2u);
    EXPECT_EQ(Read("index.html"), oldIndex);

    std::vector<SiteProgress> seen;
    const SiteRestoreResult restored
        = RestoreRun(Access(), RunFolder(), false, [&](const SiteProgress& p) { seen.push_back(p); });
    EXPECT_EQ(restored.Restored.size(), 2u);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].PagesDone, 0u);
    EXPECT_EQ(seen[0].PagesFound, 2u);
    EXPECT_EQ(seen[0].Current, Site() + "/sub/deep/two.php");
    EXPECT_EQ(seen[2].PagesDone, 2u);
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

TEST(SiteNames, BackupFoldersAreNamedInUtf8AndOldOnesAreFound)
{
    test::TempDir dir;
    // "名前" in Shift_JIS: the folder shows the name as a file manager reads it.
    EXPECT_EQ(SetupBackupFolder(dir.path(), kSjisName), dir.path() + "/backups/\u540D\u524D");
    // Bytes that are no Shift_JIS character keep the folder's name as bytes.
    EXPECT_EQ(SetupBackupFolder(dir.path(), "a\x80"), dir.path() + "/backups/a\x80");
    // A folder an older version named with the Shift_JIS bytes keeps its runs.
    const std::string legacy = dir.path() + "/backups/\x83\x54\x83\x43\x83\x67"; // "サイト"
    fs::create_directories(legacy + "/20250101-000000");
    ASSERT_TRUE(WriteFileAtomically(legacy + "/20250101-000000/.journal", "folder\t/x\n").ok);
    const std::string folder = SetupBackupFolder(dir.path(), "\x83\x54\x83\x43\x83\x67");
    EXPECT_EQ(folder, dir.path() + "/backups/\u30B5\u30A4\u30C8");
    EXPECT_FALSE(fs::exists(legacy));
    ASSERT_EQ(ListRuns(folder).size(), 1u);
}

} // namespace
} // namespace pw
