// site scan, update, restore and runs: the whole-site commands end to end.

#include "base/files.h"
#include "cli/cli.h"
#include "net/servers.h"
#include "pageads/adblock.h"
#include "settings/settingsfile.h"
#include "sites/documents.h"
#include "sites/setup.h"
#include "support/clirun.h"
#include "support/command.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pw::cli {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using Outcome = test::CliOutcome;

std::string Block(const std::string& name, const std::string& html, TAdBlockKind kind = abNormal)
{
    return BuildAdBlock(name, html, kind, PageEncoding::ShiftJis);
}

const std::string kOld = Block("A", "<a>old</a>");
const std::string kNew = Block("A", "<a>new</a>");

// A settings folder with one setup and a catalogue of banners A (changed in
// the pages), B (matched) and the rotation member R.
class SiteWalkCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Site() + "/sub/deep");
        Write("index.html", "top\r\n" + kOld + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
        Write("sub/one.htm", Block("C", "<c/>") + "\r\n" + Block("R", "<i>m</i>", abRotation) + "\r\n");
        Write("sub/deep/two.PHP", kOld);
        Write("sub/deep/none.html", "plain\r\n");
        Write("sub/notes.txt", kOld);
        for (const auto& [name, html] : std::vector<std::pair<std::string, std::string>> {
                 { "A", "<a>new</a>" }, { "B", "<b>B</b>" }, { "R", "<i>m</i>" } }) {
            const Outcome added = RunCli({ "--dir", m_dir.path(), "catalogue", "add", "--name", name }, html);
            ASSERT_EQ(added.code, kExitOk) << added.err;
        }
    }
    std::string Home() const { return m_dir.path() + "/home"; }
    std::string Site() const { return Home() + "/www"; }
    void Write(const std::string& relative, const std::string& bytes)
    {
        ASSERT_TRUE(WriteFileAtomically(Site() + "/" + relative, bytes).ok);
    }
    std::string Read(const std::string& relative) const { return test::ReadBytes(Site() + "/" + relative); }
    // Stores the setup as the only one. Call under ASSERT_NO_FATAL_FAILURE.
    void UseSetup(const TSetup& setup)
    {
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(CopySetup(setup));
        TIniList store;
        SaveSetups(store, setups, 0);
        ASSERT_TRUE(SaveSettingsFile(store, m_dir.path(), kMainSettingsFile).ok);
    }
    void UseLocal()
    {
        TSetup setup;
        setup.Name = "disk";
        setup.IniPath = Site();
        UseSetup(setup);
    }
    Outcome Site(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--dir", m_dir.path(), "site" });
        return RunCli(args);
    }
    // The run name from "run RUN" on standard error.
    static std::string RunOf(const Outcome& o)
    {
        const size_t at = o.err.find("run ");
        return at == std::string::npos ? std::string() : o.err.substr(at + 4, 15);
    }

    test::TempDir m_dir;
};

TEST_F(SiteWalkCli, ScanPrintsEveryNodeOfEveryPage)
{
    ASSERT_NO_FATAL_FAILURE(UseLocal());
    const Outcome scan = Site({ "scan", "disk" });
    ASSERT_EQ(scan.code, kExitOk) << scan.err;
    const std::string s = Site();
    EXPECT_EQ(scan.out,
        s + "/index.html\t2\t0\tchanged\tA\n" + s + "/index.html\t5\t0\tmatched\tB\n" + s
            + "/sub/deep/two.PHP\t1\t0\tchanged\tA\n" + s + "/sub/one.htm\t1\t0\tunlisted\tC\n" + s
            + "/sub/one.htm\t4\t0\trotation\tR\u7B49\n" + s + "/sub/one.htm\t7\t1\tmatched\tR\n");
    EXPECT_EQ(scan.err, "pages=4 blocks=6 matched=2 changed=2 unlisted=1 rotations=1\n");

    const Outcome banner = Site({ "scan", "disk", "--banner", "A", "--jobs", "1", "--ext", "php,TXT" });
    EXPECT_EQ(banner.out, s + "/sub/deep/two.PHP\t1\t0\tchanged\tA\n" + s + "/sub/notes.txt\t1\t0\tchanged\tA\n");
    EXPECT_EQ(banner.err, "pages=2 blocks=2 matched=0 changed=2 unlisted=0 rotations=0\n");

    const Outcome under = Site({ "scan", "disk", "--under", s + "/sub/deep" });
    EXPECT_EQ(under.out, s + "/sub/deep/two.PHP\t1\t0\tchanged\tA\n");

    // A name that cannot be walked is reported; the rest is still scanned.
    Write("sub/bad\x1B[2J.html", kOld);
    const Outcome bad = Site({ "scan", "disk" });
    EXPECT_EQ(bad.code, kExitFailure);
    EXPECT_NE(bad.err.find("pagewick-cli: " + s + "/sub/bad\\x1B[2J.html: "), std::string::npos) << bad.err;
    EXPECT_TRUE(bad.err.ends_with("pages=4 blocks=6 matched=2 changed=2 unlisted=1 rotations=1\n")) << bad.err;

    EXPECT_EQ(Site({ "scan", "disk", "--jobs", "9" }).code, kExitUsage);
    EXPECT_EQ(Site({ "scan", "disk", "--jobs", "0" }).code, kExitUsage);
    EXPECT_EQ(Site({ "scan", "disk", "--ext", "," }).code, kExitUsage);
    EXPECT_EQ(Site({ "scan", "disk", "--dry-run" }).code, kExitUsage);
    EXPECT_EQ(Site({ "scan" }).code, kExitUsage);
    EXPECT_EQ(Site({ "restore", "disk" }).code, kExitUsage);
    EXPECT_EQ(Site({ "restore", "disk", "../x" }).code, kExitUsage);
    EXPECT_EQ(Site({ "scan", "nobody" }).code, kExitFailure);
    EXPECT_EQ(Site({ "scan", "disk", "--under", s + "/missing" }).code, kExitFailure);
}

TEST_F(SiteWalkCli, UpdateRunsAndRestoreOnALocalFolder)
{
    ASSERT_NO_FATAL_FAILURE(UseLocal());
    const std::string s = Site();
    const std::string oldIndex = Read("index.html");

    const Outcome dry = Site({ "update", "disk", "--dry-run" });
    ASSERT_EQ(dry.code, kExitOk) << dry.err;
    EXPECT_EQ(dry.out, s + "/index.html\t1\t0\n" + s + "/sub/deep/two.PHP\t1\t0\n");
    EXPECT_EQ(Read("index.html"), oldIndex);
    EXPECT_FALSE(fs::exists(m_dir.path() + "/backups"));

    const Outcome update = Site({ "update", "disk" });
    ASSERT_EQ(update.code, kExitOk) << update.err;
    EXPECT_EQ(update.out, dry.out);
    const std::string run = RunOf(update);
    ASSERT_EQ(run.size(), 15u) << update.err;
    EXPECT_EQ(Read("index.html"), "top\r\n" + kNew + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
    EXPECT_EQ(test::ReadBytes(m_dir.path() + "/backups/disk/" + run + "/index.html"), oldIndex);

    // Removing a banner's blocks, members included; --banner limits the replace.
    const Outcome removed = Site({ "update", "disk", "--delete", "R", "--delete", "B", "--banner", "A" });
    ASSERT_EQ(removed.code, kExitOk) << removed.err;
    EXPECT_EQ(removed.out, s + "/index.html\t0\t1\n" + s + "/sub/one.htm\t0\t1\n");
    EXPECT_EQ(Read("index.html"), "top\r\n" + kNew + "\r\n\r\n");
    EXPECT_EQ(Read("sub/one.htm").find("PWH["), Read("sub/one.htm").find("PWH[C]"));

    const Outcome runs = Site({ "runs", "disk" });
    EXPECT_EQ(runs.out, RunOf(removed) + "\t2\n" + run + "\t2\n");

    // Restoring the first run: index.html changed since (the second run), so
    // it stays; two.PHP goes back.
    const Outcome restore = Site({ "restore", "disk", run });
    EXPECT_EQ(restore.code, kExitFailure);
    EXPECT_EQ(restore.out, s + "/sub/deep/two.PHP\n");
    EXPECT_NE(restore.err.find(s + "/index.html: "), std::string::npos) << restore.err;
    EXPECT_EQ(Read("sub/deep/two.PHP"), kOld);
    const Outcome second = Site({ "restore", "disk", RunOf(removed) });
    EXPECT_EQ(second.code, kExitOk) << second.err;
    EXPECT_EQ(Read("index.html"), "top\r\n" + kNew + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
    EXPECT_EQ(Site({ "restore", "disk", "20000101-000000" }).code, kExitFailure);
    EXPECT_EQ(Site({ "update", "disk", "--banner", "nobody" }).code, kExitFailure);
}

TEST_F(SiteWalkCli, PagesLeftAloneAndRefusedRunsExitOne)
{
    ASSERT_NO_FATAL_FAILURE(UseLocal());
    const std::string s = Site();
    // A page whose markers need repair is named and left alone, the others are done.
    const std::string broken = kOld + "\r\n<!--PWH[B]-->\r\n<b>B</b>\r\n";
    Write("broken.html", broken);
    const Outcome update = Site({ "update", "disk" });
    EXPECT_EQ(update.code, kExitFailure) << update.err;
    EXPECT_NE(update.err.find(s + "/broken.html: "), std::string::npos) << update.err;
    EXPECT_EQ(update.out, s + "/index.html\t1\t0\n" + s + "/sub/deep/two.PHP\t1\t0\n");
    EXPECT_EQ(Read("broken.html"), broken);

    // A journal that names a page outside its run is refused whole: nothing
    // is printed as restored.
    const std::string journal = m_dir.path() + "/backups/disk/" + RunOf(update) + "/.journal";
    std::string text = test::ReadBytes(journal);
    text += "done\t../../../../home/user/.ssh/id_ed25519\t10\t0123456789abcdef\n";
    ASSERT_TRUE(WriteFileAtomically(journal, text).ok);
    const Outcome restore = Site({ "restore", "disk", RunOf(update) });
    EXPECT_EQ(restore.code, kExitFailure);
    EXPECT_EQ(restore.out, "");
    EXPECT_NE(restore.err.find("damaged"), std::string::npos) << restore.err;
    EXPECT_EQ(Read("index.html"), "top\r\n" + kNew + "\r\n" + Block("B", "<b>B</b>") + "\r\n");
}

// The order of what an update does for a page, as the system sees it: the
// backup is in place, then the begin record is written and synced, then the
// page is replaced by a rename. Watched from outside with strace, since a
// kill can land anywhere between them.
TEST_F(SiteWalkCli, AStoreComesAfterItsBackupAndItsSyncedBeginRecord)
{
    ASSERT_NO_FATAL_FAILURE(UseLocal());
    const std::string trace = m_dir.path() + "/trace";
    const test::CommandOutcome traced
        = test::RunShell("strace -f -y -s 300 -e trace=write,fdatasync,fsync,rename,link -o " + trace + " "
            + PAGEWICK_CLI + " --dir " + m_dir.path() + " site update disk --jobs 1 2>&1");
    ASSERT_EQ(traced.status, 0) << traced.out;
    std::vector<std::string> calls;
    std::istringstream lines(test::ReadBytes(trace));
    for (std::string line; std::getline(lines, line);)
        calls.push_back(line);
    const auto find = [&](size_t from, auto wanted) {
        for (size_t i = from; i < calls.size(); ++i)
            if (wanted(calls[i]))
                return i;
        return calls.size();
    };
    const auto has = [](const std::string& line, std::initializer_list<const char*> parts) {
        for (const char* part : parts)
            if (line.find(part) == std::string::npos)
                return false;
        return true;
    };
    for (const char* page : { "index.html", "sub/deep/two.PHP" }) {
        SCOPED_TRACE(page);
        const std::string name = std::string("/") + page + "\")";
        const size_t backup = find(0, [&](const std::string& l) {
            return (has(l, { "link(" }) || has(l, { "rename(" })) && has(l, { "/backups/disk/", name.c_str() });
        });
        const std::string record = std::string("\"begin\\t") + page + "\\t";
        const size_t begin = find(0, [&](const std::string& l) {
            return has(l, { "write(", ".journal>", record.c_str() });
        });
        const size_t sync = find(begin, [&](const std::string& l) {
            return has(l, { "fdatasync(", ".journal>" });
        });
        const std::string target = "\"" + Site() + "/" + page + "\")";
        const size_t store = find(0, [&](const std::string& l) {
            return has(l, { "rename(", "/.pwtmp-", target.c_str() });
        });
        ASSERT_LT(store, calls.size()) << "the page was not replaced by a rename";
        EXPECT_LT(backup, begin);
        EXPECT_LT(begin, sync);
        EXPECT_LT(sync, store);
    }
}

class SiteWalkCliFtp : public SiteWalkCli {
protected:
    bool StartFtp()
    {
        if (!m_ftp.Start(Home()))
            return false;
        TSetup setup;
        setup.Name = "ftp";
        setup.Kind = skFtp;
        setup.Host = "127.0.0.1";
        setup.Port = m_ftp.port;
        setup.User = m_ftp.user;
        setup.Password = m_ftp.password;
        setup.IniPath = "www";
        UseSetup(setup);
        return true;
    }
    test::FtpServer m_ftp;
};

TEST_F(SiteWalkCliFtp, ScanUpdateAndRestoreOverFtp)
{
    ASSERT_TRUE(StartFtp());
    const Outcome scan = Site({ "scan", "ftp", "--banner", "A" });
    ASSERT_EQ(scan.code, kExitOk) << scan.err;
    EXPECT_EQ(scan.out, "/www/index.html\t2\t0\tchanged\tA\n/www/sub/deep/two.PHP\t1\t0\tchanged\tA\n");
    const Outcome update = Site({ "update", "ftp", "--jobs", "2" });
    ASSERT_EQ(update.code, kExitOk) << update.err;
    EXPECT_EQ(update.out, "/www/index.html\t1\t0\n/www/sub/deep/two.PHP\t1\t0\n");
    EXPECT_EQ(Read("sub/deep/two.PHP"), kNew);
    const Outcome restore = Site({ "restore", "ftp", RunOf(update), "--dry-run" });
    EXPECT_EQ(restore.out, "/www/index.html\n/www/sub/deep/two.PHP\n");
    EXPECT_EQ(Read("sub/deep/two.PHP"), kNew);
    ASSERT_EQ(Site({ "restore", "ftp", RunOf(update) }).code, kExitOk);
    EXPECT_EQ(Read("sub/deep/two.PHP"), kOld);
}

// A run killed with SIGKILL while it stores pages over a slow server: every
// page is whole, old or new; --resume finishes the run and clears the
// temporary uploads the kill left.
TEST_F(SiteWalkCliFtp, AKilledRunResumes)
{
    std::string padding(3000, 'x');
    for (int i = 0; i < 12; ++i)
        Write("sub/p" + std::to_string(i) + ".html", padding + "\r\n" + kOld + "\r\n");
    // Every store waits a while, so that the kill lands with some pages done.
    m_ftp.faults = { "--store-delay", "0.25" };
    ASSERT_TRUE(StartFtp());
    const std::string errFile = m_dir.path() + "/err.txt";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::freopen(errFile.c_str(), "w", stderr);
        ::freopen("/dev/null", "w", stdout);
        ::execl(PAGEWICK_CLI, PAGEWICK_CLI, "--dir", m_dir.path().c_str(), "site", "update", "ftp", "--jobs", "2",
            static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Kill it once it has stored a few pages and not all.
    std::string run;
    size_t stored = 0;
    for (int wait = 0; wait < 300 && stored < 3; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string err = test::ReadBytes(errFile);
        if (run.empty() && err.starts_with("run ") && err.size() >= 19)
            run = err.substr(4, 15);
        if (!run.empty()) {
            const std::string journal = test::ReadBytes(m_dir.path() + "/backups/ftp/" + run + "/.journal");
            stored = 0;
            for (size_t at = journal.find("\ndone\t"); at != std::string::npos;
                 at = journal.find("\ndone\t", at + 1))
                ++stored;
        }
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(run.size(), 15u);
    ASSERT_GE(stored, 3u);
    size_t updated = 0;
    for (int i = 0; i < 12; ++i) {
        const std::string page = Read("sub/p" + std::to_string(i) + ".html");
        EXPECT_TRUE(page == padding + "\r\n" + kOld + "\r\n" || page == padding + "\r\n" + kNew + "\r\n") << i;
        updated += page.find("new") != std::string::npos;
    }
    EXPECT_LT(updated, 12u);
    const Outcome resume = Site({ "update", "ftp", "--resume", run });
    ASSERT_EQ(resume.code, kExitOk) << resume.err;
    EXPECT_EQ(RunOf(resume), run);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Read("sub/p" + std::to_string(i) + ".html"), padding + "\r\n" + kNew + "\r\n") << i;
    EXPECT_EQ(Read("index.html").find("old"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(Home()))
        EXPECT_EQ(entry.path().filename().string().find(".pagewick-"), std::string::npos) << entry.path();
    const Outcome runs = Site({ "runs", "ftp" });
    EXPECT_EQ(runs.out, run + "\t14\n");
    // No page was written twice: the journal holds one "done" per page.
    const std::string journal = test::ReadBytes(m_dir.path() + "/backups/ftp/" + run + "/.journal");
    size_t done = 0;
    for (size_t at = journal.find("\ndone\t"); at != std::string::npos; at = journal.find("\ndone\t", at + 1))
        ++done;
    EXPECT_EQ(done, 14u) << journal;
}

TEST_F(SiteWalkCli, ScanAndUpdateOverSftp)
{
    fs::create_directory(m_dir.path() + "/sshd");
    test::SshServer sshd;
    if (!sshd.Start(m_dir.path() + "/sshd"))
        GTEST_SKIP() << "sshd could not start: " << sshd.error;
    TSetup setup;
    setup.Name = "secure";
    setup.Kind = skFtp;
    setup.Protocol = SiteProtocol::Sftp;
    setup.Host = "127.0.0.1";
    setup.Port = sshd.port;
    setup.User = sshd.user;
    setup.KeyFile = sshd.clientKey;
    setup.IniPath = Site();
    ASSERT_NO_FATAL_FAILURE(UseSetup(setup));
    const Outcome scan = Site({ "scan", "secure", "--trust", "--banner", "A" });
    ASSERT_EQ(scan.code, kExitOk) << scan.err;
    EXPECT_NE(scan.out.find(Site() + "/index.html\t2\t0\tchanged\tA\n"), std::string::npos) << scan.out;
    ::chmod((Site() + "/index.html").c_str(), 0604);
    const Outcome update = Site({ "update", "secure" });
    ASSERT_EQ(update.code, kExitOk) << update.err;
    EXPECT_EQ(update.out, Site() + "/index.html\t1\t0\n" + Site() + "/sub/deep/two.PHP\t1\t0\n");
    EXPECT_EQ(Read("sub/deep/two.PHP"), kNew);
    struct stat info { };
    ASSERT_EQ(::stat((Site() + "/index.html").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604u);
}

} // namespace
} // namespace pw::cli
