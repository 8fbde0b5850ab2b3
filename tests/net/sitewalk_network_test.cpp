// Whole-site walks and update runs over a real FTP server.

#include "base/files.h"
#include "net/curlftpclient.h"
#include "net/servers.h"
#include "pageads/adblock.h"
#include "sites/sitewalk.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pw::net {
namespace {

namespace fs = std::filesystem;

std::string Block(const std::string& name, const std::string& html)
{
    return BuildAdBlock(name, html, abNormal, PageEncoding::ShiftJis);
}

class SiteWalkOverFtp : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Home() + "/www/sub/deep");
        fs::create_directories(Home() + "/up");
        // Decoys outside the walked folder, where hostile names point.
        Write("escape.html", Old());
        Write("up/x.html", Old());
        Write("www/index.html", "<p>top</p>\r\n" + Old() + "\r\n");
        Write("www/sub/a.htm", Old() + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
        Write("www/sub/deep/b.shtml", Old());
        Write("www/sub/deep/c.html", "no blocks\r\n");
        auto banner = std::make_unique<TAdBanner>();
        banner->SpaceName = "A";
        banner->BannerHTML = "<a>new</a>";
        m_catalogue.Rows.push_back(std::move(banner));
        banner = std::make_unique<TAdBanner>();
        banner->SpaceName = "B";
        banner->BannerHTML = "<b>B</b>";
        m_catalogue.Rows.push_back(std::move(banner));
    }
    static std::string Old() { return Block("A", "<a>old</a>"); }
    static std::string New() { return Block("A", "<a>new</a>"); }
    std::string Home() const { return m_dir.path() + "/home"; }
    void Write(const std::string& relative, const std::string& bytes)
    {
        ASSERT_TRUE(WriteFileAtomically(Home() + "/" + relative, bytes).ok);
    }
    std::string Read(const std::string& relative) const
    {
        std::string bytes;
        ReadWholeFile(Home() + "/" + relative, bytes);
        return bytes;
    }
    bool Start(std::vector<std::string> faults = {})
    {
        m_ftp.faults = std::move(faults);
        if (!m_ftp.Start(Home()))
            return false;
        m_setup.Kind = skFtp;
        m_setup.Host = "127.0.0.1";
        m_setup.Port = m_ftp.port;
        m_setup.User = m_ftp.user;
        m_setup.Password = m_ftp.password;
        m_setup.IniPath = "/www";
        return true;
    }
    SiteAccessFactory Access() const { return SiteAccessFor(m_setup, CurlFtpClientFactory()); }
    std::string Run() const { return m_dir.path() + "/backups/ftp/20260101-000000"; }

    test::TempDir m_dir;
    test::FtpServer m_ftp;
    TSetup m_setup;
    BannerList m_catalogue;
};

TEST_F(SiteWalkOverFtp, HostileNamesNeverLeadOutOfTheFolder)
{
    ASSERT_TRUE(Start({ "--hostile-listing" }));
    const SiteScanResult scan = ScanSite(Access(), m_catalogue, {});
    std::vector<std::string> pages;
    for (const SitePage& page : scan.Pages)
        pages.push_back(page.Path);
    EXPECT_EQ(pages,
        (std::vector<std::string> {
            "/www/index.html", "/www/sub/a.htm", "/www/sub/deep/b.shtml", "/www/sub/deep/c.html" }));
    // Every hostile entry is reported; the missing page and folder too, and
    // the walk went on past them.
    std::vector<std::string> problems;
    for (const SiteProblem& problem : scan.Problems)
        problems.push_back(problem.Path);
    EXPECT_EQ(problems,
        (std::vector<std::string> { "/www/../escape.html", "/www/../up", "/www//", "/www//etc/abs.html",
            "/www/ctl\x01.html", "/www/ghost.html", "/www/ghostdir", "/www/sub/dir.html" }));

    SiteUpdateOptions update;
    update.RunFolder = Run();
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_EQ(result.Changed.size(), 3u);
    EXPECT_EQ(Read("escape.html"), Old());
    EXPECT_EQ(Read("up/x.html"), Old());
    EXPECT_EQ(Read("www/sub/deep/b.shtml"), New());
    // Nothing was written beside the run's folder but the setup's run lock.
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.path() + "/backups")) {
        const std::string path = entry.path().string();
        EXPECT_TRUE(
            path.starts_with(Run()) || Run().starts_with(path) || path == m_dir.path() + "/backups/ftp/.lock")
            << path;
    }
}

TEST_F(SiteWalkOverFtp, UpdateKeepsModesBacksUpAndRestores)
{
    ASSERT_TRUE(Start());
    ::chmod((Home() + "/www/sub/a.htm").c_str(), 0755);
    const std::string oldA = Read("www/sub/a.htm");
    SiteUpdateOptions update;
    update.RunFolder = Run();
    SiteWalkOptions options;
    options.Jobs = 2;
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, options, update);
    EXPECT_TRUE(result.Problems.empty()) << result.Problems[0].Path << ": " << result.Problems[0].Error;
    ASSERT_EQ(result.Changed.size(), 3u);
    EXPECT_EQ(result.Connections, 2);
    EXPECT_EQ(Read("www/sub/a.htm"), New() + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
    EXPECT_EQ(Read("www/index.html"), "<p>top</p>\r\n" + New() + "\r\n");
    struct stat info { };
    ASSERT_EQ(::stat((Home() + "/www/sub/a.htm").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    std::string backup;
    ASSERT_TRUE(ReadWholeFile(Run() + "/sub/a.htm", backup).ok);
    EXPECT_EQ(backup, oldA);
    // No temporary upload is left on the server.
    for (const auto& entry : fs::recursive_directory_iterator(Home()))
        EXPECT_EQ(entry.path().filename().string().find("pagewick"), std::string::npos) << entry.path();

    const SiteRestoreResult restored = RestoreRun(Access(), Run(), false);
    EXPECT_EQ(restored.Restored.size(), 3u);
    EXPECT_TRUE(restored.Problems.empty());
    EXPECT_EQ(Read("www/sub/a.htm"), oldA);
    EXPECT_EQ(Read("www/sub/deep/b.shtml"), Old());
}

TEST_F(SiteWalkOverFtp, APageChangedOnTheServerAfterItWasReadIsLeftAlone)
{
    ASSERT_TRUE(Start());
    SiteUpdateOptions update;
    update.RunFolder = Run();
    update.PageRead = [&](const std::string& path) {
        if (path == "/www/sub/a.htm")
            Write("www/sub/a.htm", "edited meanwhile");
    };
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    ASSERT_EQ(result.Problems.size(), 1u);
    EXPECT_EQ(result.Problems[0].Path, "/www/sub/a.htm");
    EXPECT_EQ(Read("www/sub/a.htm"), "edited meanwhile");
    EXPECT_FALSE(fs::exists(Run() + "/sub/a.htm"));
    EXPECT_EQ(result.Changed.size(), 2u);
}

TEST_F(SiteWalkOverFtp, ASameSizeChangeWithinTheMinuteIsSeenByItsTime)
{
    // A listing tells the time to the minute: a page rewritten with as many
    // bytes a few seconds after it was read would look unchanged.
    const auto setTime = [&](const std::string& relative, time_t seconds) {
        const struct timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        ASSERT_EQ(::utimensat(AT_FDCWD, (Home() + "/" + relative).c_str(), times, 0), 0);
    };
    const time_t minute = (::time(nullptr) / 60 - 5) * 60;
    setTime("www/sub/deep/b.shtml", minute + 10);
    ASSERT_TRUE(Start());
    std::string edited = Old();
    edited[edited.size() / 2] = edited[edited.size() / 2] == 'x' ? 'y' : 'x';
    SiteUpdateOptions update;
    update.RunFolder = Run();
    update.PageRead = [&](const std::string& path) {
        if (path == "/www/sub/deep/b.shtml") {
            Write("www/sub/deep/b.shtml", edited);
            setTime("www/sub/deep/b.shtml", minute + 12);
        }
    };
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    ASSERT_EQ(result.Problems.size(), 1u);
    EXPECT_EQ(result.Problems[0].Path, "/www/sub/deep/b.shtml");
    EXPECT_EQ(Read("www/sub/deep/b.shtml"), edited);
    EXPECT_EQ(result.Changed.size(), 2u);
}

TEST_F(SiteWalkOverFtp, AServerTakingFewerConnectionsIsUsedWithThose)
{
    for (int i = 0; i < 12; ++i)
        Write("www/sub/page" + std::to_string(i) + ".html", Old());
    ASSERT_TRUE(Start({ "--max-connections", "3" }));
    SiteWalkOptions options;
    options.Jobs = 8;
    const SiteScanResult scan = ScanSite(Access(), m_catalogue, options);
    EXPECT_TRUE(scan.Problems.empty()) << scan.Problems[0].Path << ": " << scan.Problems[0].Error;
    EXPECT_EQ(scan.Pages.size(), 16u);
    EXPECT_GE(scan.Connections, 1);
    EXPECT_LE(scan.Connections, 3);
}

// A server that names its folder with a CR and a forged journal record after
// it: before, the record became a line of the run's journal, and a restore
// then read a "backup" from outside the run and stored it on the server.
TEST_F(SiteWalkOverFtp, AFolderNamedWithAControlCharacterIsNeitherWalkedNorJournalled)
{
    ASSERT_TRUE(Start({ "--hostile-pwd" }));
    SiteUpdateOptions update;
    update.RunFolder = Run();
    const SiteUpdateResult result = UpdateSite(Access(), m_catalogue, {}, update);
    EXPECT_TRUE(result.Changed.empty());
    ASSERT_FALSE(result.Problems.empty());
    EXPECT_NE(result.Problems[0].Error.find("control character"), std::string::npos) << result.Problems[0].Error;
    std::string journal;
    ReadWholeFile(Run() + "/.journal", journal);
    EXPECT_EQ(journal.find("escape"), std::string::npos) << journal;
    const SiteRestoreResult restored = RestoreRun(Access(), Run(), false);
    EXPECT_TRUE(restored.Restored.empty());
    EXPECT_EQ(Read("escape.html"), Old());
    EXPECT_EQ(Read("www/index.html"), "<p>top</p>\r\n" + Old() + "\r\n");
}

// A page that never ends costs a walk at most its page limit: the scan runs
// in a child process whose peak memory is read when it ends.
TEST_F(SiteWalkOverFtp, AnEndlessPageIsCutAtThePageLimit)
{
    ASSERT_TRUE(Start({ "--endless-retr", "index.html" }));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SiteWalkOptions options;
        options.Jobs = 1;
        const SiteScanResult scan = ScanSite(Access(), m_catalogue, options);
        const bool cut = scan.Problems.size() == 1 && scan.Problems[0].Path == "/www/index.html"
            && scan.Problems[0].Error.find("larger than") != std::string::npos && scan.Pages.size() == 3;
        for (const SiteProblem& problem : scan.Problems)
            std::fprintf(stderr, "%s: %s\n", problem.Path.c_str(), problem.Error.c_str());
        ::_exit(cut ? 0 : 1);
    }
    int status = 0;
    struct rusage usage { };
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the endless page was not reported as cut";
    // Twice the page limit leaves room for the string's growth; the old
    // single-file limit alone was 512 MB.
    EXPECT_LT(usage.ru_maxrss * 1024L, 2 * static_cast<long>(kMaxSitePageBytes) + (32L << 20)) << usage.ru_maxrss;
}

} // namespace
} // namespace pw::net
