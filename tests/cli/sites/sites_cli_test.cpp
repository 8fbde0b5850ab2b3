#include "base/files.h"
#include "cli/cli.h"
#include "net/netfixture.h"
#include "net/servers.h"
#include "settings/settingsfile.h"
#include "sites/setup.h"
#include "support/clirun.h"
#include "support/command.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace pw::cli {
namespace {

using Outcome = test::CliOutcome;

using test::RunCli;

std::string FileText(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

const std::string kListing = "total 8\r\n"
                             "-rw-r--r--   1 web  web   1234 Jan 15 10:30 index.html\r\n"
                             "drwxr-xr-x   2 web  web   4096 Dec  3  2001 images\r\n"
                             "lrwxrwxrwx   1 web  web     11 Jan  1 10:00 docs -> /var/docs\r\n"
                             "-rw-r--r--   1 web  web     12 Jun  1  2020 \xE8\xA1\xA8\xE7\xA4\xBA page.txt\r\n";

TEST(ListingCli, PrintsEntriesInServerOrder)
{
    const Outcome o = RunCli({ "listing", "--now", "2024-01-10 08:00" }, kListing);
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(o.out,
        "page\tindex.html\t1234\t-rw-r--r--\t2023-01-15 10:30\n"
        "folder\timages\t\tdrwxr-xr-x\t2001-12-03 00:00\n"
        "other\tdocs\t11\tlrwxrwxrwx\t2024-01-01 10:00\n"
        "text\t\u8868\u793A page.txt\t12\t-rw-r--r--\t2020-06-01 00:00\n");
    // --raw: Shift_JIS in, Shift_JIS out.
    const Outcome raw = RunCli(
        { "--raw", "listing", "--now", "2024-01-10 08:00" }, "-rw-r--r-- 1 a a 1 Jan 1 2000 \x95\x5C.html\n");
    EXPECT_EQ(raw.out, "page\t\x95\x5C.html\t1\t-rw-r--r--\t2000-01-01 00:00\n");
    // A TAB in a name cannot split the line's fields.
    const Outcome tab
        = RunCli({ "listing", "--now", "2024-01-10 08:00" }, "-rw-r--r-- 1 a a 1 Jan 1 2000 a\tb.html\n");
    EXPECT_EQ(tab.out, "page\ta\\tb.html\t1\t-rw-r--r--\t2000-01-01 00:00\n");
    // Nor can a name from a hostile server send the terminal escape sequences
    // (ESC [ 2 J clears the screen, OSC 52 writes the clipboard) or other
    // control bytes; DEL is escaped too.
    const Outcome control = RunCli({ "listing", "--now", "2024-01-10 08:00" },
        "-rw-r--r-- 1 a a 1 Jan 1 2000 a\x1B[2J\x1B]52;c;eA==\x07"
        "b\x7F\x01.html\n");
    EXPECT_EQ(
        control.out, "page\ta\\x1B[2J\\x1B]52;c;eA==\\x07b\\x7F\\x01.html\t1\t-rw-r--r--\t2000-01-01 00:00\n");
    EXPECT_EQ(control.out.find('\x1B'), std::string::npos);
}

// "Count" of the setups at the largest integer: the list is cut to what the
// file can hold (its lines plus a margin) instead of allocating until death.
TEST(SiteListCli, AHugeSetupCountIsCut)
{
    test::TempDir dir;
    const Outcome encoded = RunCli({ "settings", "encode", dir.file("Pagewick.ini") },
        "[Setups]\r\nCount=2147483647\r\n\r\n[Setup1]\r\nName=mine\r\nHost=h\r\n");
    ASSERT_EQ(encoded.code, kExitOk) << encoded.err;
    const Outcome r = RunCli({ "site", "list", "--dir", dir.path() });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(r.out.starts_with("mine\tftp\th\t\n")) << r.out.substr(0, 100);
    const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
    EXPECT_GE(lines, 1000);
    EXPECT_LE(lines, 1010);
}

// A line that cannot be read is named on standard error (exit 1); the entries
// of the other lines, before and after it, are printed. Sizes of 2 GiB and
// more are read.
TEST(ListingCli, ErrorsAndUsage)
{
    const Outcome bad = RunCli({ "listing", "--now", "2024-01-10 08:00" },
        "-rw-r--r-- 1 a a 1 Jan 1 2000 ok.txt\n01-15-02  10:30AM  1234 index.htm\n"
        "-rw-r--r-- 1 a a 3000000000 Jan 2 2000 big.iso\n-rw-r--r-- 1 a a 1 Feb 30 2000 bad.txt\n");
    EXPECT_EQ(bad.code, kExitFailure);
    EXPECT_EQ(bad.out,
        "text\tok.txt\t1\t-rw-r--r--\t2000-01-01 00:00\n"
        "other\tbig.iso\t3000000000\t-rw-r--r--\t2000-01-02 00:00\n");
    EXPECT_EQ(bad.err,
        "pagewick-cli: line 2: Invalid argument to date encode\n"
        "pagewick-cli: line 4: Invalid argument to date encode\n");
    const Outcome shortLine = RunCli({ "listing" }, "total 8\nshort\n");
    EXPECT_EQ(shortLine.code, kExitFailure);
    EXPECT_EQ(shortLine.out, "");
    EXPECT_EQ(shortLine.err, "pagewick-cli: line 2: bad listing var\n");
    EXPECT_EQ(RunCli({ "listing", "--now", "2024-13-01 00:00" }).code, kExitUsage);
    EXPECT_EQ(RunCli({ "listing", "--now" }).code, kExitUsage);
    EXPECT_EQ(RunCli({ "listing", "extra" }).code, kExitUsage);
}

TEST(ListingCli, BinaryEndToEnd)
{
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.file("in.txt"), kListing).ok);
    const std::string command
        = std::string(PAGEWICK_CLI) + " listing --now '2024-01-10 08:00' < '" + dir.file("in.txt") + "'";
    const test::CommandOutcome run = test::RunShell(command);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "page\tindex.html\t1234\t-rw-r--r--\t2023-01-15 10:30");
}

// A settings folder whose Pagewick.ini holds the given setups.
// Call it under ASSERT_NO_FATAL_FAILURE.
void WriteSetups(const std::string& folder, std::vector<std::unique_ptr<TSetup>>& setups)
{
    TIniList store;
    SaveSetups(store, setups, 0);
    ASSERT_TRUE(SaveSettingsFile(store, folder, kMainSettingsFile).ok);
}

std::unique_ptr<TSetup> MakeSetup(
    const std::string& name, const std::string& host, int port, SiteProtocol protocol)
{
    auto setup = std::make_unique<TSetup>();
    setup->Name = name;
    setup->Host = host;
    setup->Port = port;
    setup->Protocol = protocol;
    setup->Kind = host.empty() ? skLocal : skFtp;
    return setup;
}

class SiteCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::FillHome(Home());
        ASSERT_TRUE(m_ftp.Start(Home())) << "pyftpdlib did not start";
        auto ftp = MakeSetup("\x8E\xE5\x83T\x83"
                             "C\x83g",
            "127.0.0.1", m_ftp.port, SiteProtocol::Ftp); // 主サイト
        ftp->User = m_ftp.user;
        ftp->Password = m_ftp.password;
        ftp->IniPath = "www";
        ftp->RootURL = "http://example.jp/";
        m_setups.push_back(std::move(ftp));
        auto local = MakeSetup("disk", "", 0, SiteProtocol::Ftp);
        local->IniPath = Home() + "/www";
        m_setups.push_back(std::move(local));
        ASSERT_NO_FATAL_FAILURE(WriteSetups(m_dir.path(), m_setups));
    }
    std::string Home() const { return m_dir.path() + "/home"; }
    Outcome Site(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), { "--dir", m_dir.path(), "site" });
        return RunCli(args, input);
    }

    test::TempDir m_dir;
    test::FtpServer m_ftp;
    std::vector<std::unique_ptr<TSetup>> m_setups;
};

TEST_F(SiteCli, ListShowsTheSetups)
{
    const Outcome o = Site({ "list" });
    EXPECT_EQ(o.code, kExitOk) << o.err;
    EXPECT_EQ(o.out, "\u4E3B\u30B5\u30A4\u30C8\tftp\t127.0.0.1\twww\ndisk\tlocal\t\t" + Home() + "/www\n");
}

TEST_F(SiteCli, LsGetPutAndPreviewOverFtp)
{
    const std::string site = "\u4E3B\u30B5\u30A4\u30C8";
    const Outcome ls = Site({ "ls", site });
    ASSERT_EQ(ls.code, kExitOk) << ls.err;
    EXPECT_NE(ls.out.find("page\tindex.html\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("page\tmy page.html\t6\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("folder\t\u8868\u793A\t\t"), std::string::npos) << ls.out;

    const Outcome deep = Site({ "ls", site, "/www/a/b/c" });
    EXPECT_EQ(deep.out.substr(0, deep.out.find('\t', 5)), "page\tdeep.html");

    const Outcome get = Site({ "get", site, "/www/index.html" });
    ASSERT_EQ(get.code, kExitOk) << get.err;
    EXPECT_EQ(get.out, test::kSjisPage); // raw bytes, not converted

    // The page keeps its mode (a CGI stays runnable).
    ::chmod((Home() + "/www/my page.html").c_str(), 0755);
    const std::string bytes = "short\n\x93\xFA";
    const Outcome put = Site({ "put", site, "/www/my page.html" }, bytes);
    ASSERT_EQ(put.code, kExitOk) << put.err;
    EXPECT_EQ(FileText(Home() + "/www/my page.html"), bytes);
    struct stat st { };
    ASSERT_EQ(::stat((Home() + "/www/my page.html").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    // A new file gets the server's default.
    ASSERT_EQ(Site({ "put", site, "/www/new.html" }, "n").code, kExitOk);
    EXPECT_EQ(FileText(Home() + "/www/new.html"), "n");

    const Outcome url = Site({ "preview-url", site, "/www/a/b/c/deep.html" });
    EXPECT_EQ(url.out, "http://example.jp/a/b/c/deep.html\n");

    const Outcome missing = Site({ "get", site, "/www/none.html" });
    EXPECT_EQ(missing.code, kExitFailure);
    EXPECT_NE(missing.err.find("\u30B5\u30FC\u30D0\u30FC\u304B\u3089\u30C0\u30A6\u30F3\u30ED\u30FC\u30C9"),
        std::string::npos)
        << missing.err;
    const Outcome gone = Site({ "ls", site, "/www/nowhere" });
    EXPECT_EQ(gone.code, kExitFailure);
    EXPECT_NE(gone.err.find("550"), std::string::npos) << gone.err;
}

// A file of 2 GiB or more on the server (a sparse one here: it takes no room)
// leaves its folder listable and walkable.
TEST_F(SiteCli, AFileOf2GiBLeavesTheFolderListable)
{
    std::ofstream(Home() + "/www/backup.iso") << "";
    std::filesystem::resize_file(Home() + "/www/backup.iso", 3'000'000'000);
    const std::string site = "\u4E3B\u30B5\u30A4\u30C8";
    const Outcome ls = Site({ "ls", site });
    ASSERT_EQ(ls.code, kExitOk) << ls.err;
    EXPECT_NE(ls.out.find("other\tbackup.iso\t3000000000\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("page\tindex.html\t"), std::string::npos) << ls.out;
    const Outcome scan = Site({ "scan", site });
    EXPECT_EQ(scan.code, kExitOk) << scan.err;
    EXPECT_EQ(scan.err.find("www:"), std::string::npos) << scan.err;
    EXPECT_EQ(scan.err.find("pages=0 "), std::string::npos) << scan.err;
}

// A listing line no style reads is named; the rest is listed, and the
// command says it warned by its exit code.
TEST_F(SiteCli, AnUnreadableListingLineIsNamedAndTheRestListed)
{
    m_ftp.Stop();
    m_ftp.faults = { "--bad-listing-line" };
    ASSERT_TRUE(m_ftp.Start(Home(), "", m_ftp.port));
    const Outcome ls = Site({ "ls", "\u4E3B\u30B5\u30A4\u30C8" });
    EXPECT_EQ(ls.code, kExitFailure);
    EXPECT_NE(ls.err.find("\u8AAD\u3081\u306A\u3044\u884C"), std::string::npos) << ls.err; // 読めない行
    EXPECT_NE(ls.err.find("pagewick-cli: line 7: "), std::string::npos) << ls.err;
    EXPECT_NE(ls.out.find("page\tindex.html\t"), std::string::npos) << ls.out;
}

TEST_F(SiteCli, LocalFolderAndErrors)
{
    const Outcome ls = Site({ "ls", "disk", Home() + "/www/a" });
    EXPECT_EQ(ls.code, kExitOk) << ls.err;
    EXPECT_EQ(ls.out.substr(0, 8), "folder\tb");
    EXPECT_EQ(Site({ "put", "disk", Home() + "/www/new.html" }, "a\r\n").code, kExitOk);
    EXPECT_EQ(FileText(Home() + "/www/new.html"), "a\r\n");
    EXPECT_EQ(Site({ "get", "disk", Home() + "/www/new.html" }).out, "a\r\n");
    EXPECT_EQ(Site({ "preview-url", "disk", Home() + "/www/new.html" }).out, Home() + "/www/new.html\n");
    EXPECT_EQ(Site({ "get", "disk", Home() + "/www/none.html" }).code, kExitFile);

    EXPECT_EQ(Site({ "ls", "no such setup" }).code, kExitFailure);
    EXPECT_EQ(Site({ "get", "disk" }).code, kExitUsage);
    EXPECT_EQ(Site({ "list", "x" }).code, kExitUsage);
    EXPECT_EQ(Site({ "frobnicate" }).code, kExitUsage);
    EXPECT_EQ(Site({}).code, kExitUsage);

    // Names holding TAB, CR or LF stay on one line, in their field.
    std::filesystem::create_directory(Home() + "/odd");
    for (const char* name : { "a\tb.html", "c\rd.html", "e\nf.html" })
        ASSERT_TRUE(WriteFileAtomically(Home() + "/odd/" + name, "x").ok);
    const Outcome odd = Site({ "ls", "disk", Home() + "/odd" });
    EXPECT_EQ(odd.code, kExitOk) << odd.err;
    std::vector<std::string> names;
    for (size_t start = 0; start < odd.out.size();) {
        const size_t end = odd.out.find('\n', start);
        const std::string line = odd.out.substr(start, end - start);
        const size_t tab = line.find('\t');
        names.push_back(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
        start = end + 1;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "a\\tb.html", "c\\rd.html", "e\\nf.html" }));

    m_ftp.Stop();
    const Outcome down = Site({ "ls", "\u4E3B\u30B5\u30A4\u30C8" });
    EXPECT_EQ(down.code, kExitFailure);
    EXPECT_EQ(down.err.rfind("pagewick-cli: \u30B5\u30FC\u30D0\u30FC[127.0.0.1]", 0), 0u) << down.err;
}

TEST(SiteCliSftp, TrustIsAskedThenStored)
{
    test::TempDir dir;
    test::FillHome(dir.path() + "/home");
    std::filesystem::create_directory(dir.path() + "/sshd");
    test::SshServer sshd;
    if (!sshd.Start(dir.path() + "/sshd"))
        GTEST_SKIP() << "sshd could not start: " << sshd.error;
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(MakeSetup("secure", "127.0.0.1", sshd.port, SiteProtocol::Sftp));
    setups[0]->User = sshd.user;
    setups[0]->KeyFile = sshd.clientKey;
    setups[0]->IniPath = dir.path() + "/home/www";
    ASSERT_NO_FATAL_FAILURE(WriteSetups(dir.path(), setups));

    const Outcome refused = RunCli({ "site", "ls", "secure", "--dir", dir.path() });
    EXPECT_EQ(refused.code, kExitFailure);
    EXPECT_NE(refused.err.find(sshd.hostKeySha256), std::string::npos) << refused.err;

    const Outcome trusted = RunCli({ "site", "ls", "secure", "--trust", "--dir", dir.path() });
    ASSERT_EQ(trusted.code, kExitOk) << trusted.err;
    EXPECT_NE(trusted.out.find("page\tindex.html\t"), std::string::npos);
    EXPECT_EQ(trusted.out.find("\t.\t"), std::string::npos);

    // Stored: no question any more.
    const Outcome again
        = RunCli({ "site", "get", "secure", dir.path() + "/home/www/index.html", "--dir", dir.path() });
    EXPECT_EQ(again.code, kExitOk) << again.err;
    EXPECT_EQ(again.err, "");
    EXPECT_EQ(again.out, test::kSjisPage);
    EXPECT_EQ(
        RunCli({ "site", "put", "secure", dir.path() + "/home/www/index.html", "--dir", dir.path() }, "new\n")
            .code,
        kExitOk);
    EXPECT_EQ(FileText(dir.path() + "/home/www/index.html"), "new\n");

    // A host key that changed since it was trusted: --trust alone refuses it,
    // naming both fingerprints; --trust-changed accepts it.
    const std::string old = "0000000000000000000000000000000000000000000";
    setups[0]->TrustedHostKey = old;
    ASSERT_NO_FATAL_FAILURE(WriteSetups(dir.path(), setups));
    const Outcome changed = RunCli({ "site", "ls", "secure", "--trust", "--dir", dir.path() });
    EXPECT_EQ(changed.code, kExitFailure);
    EXPECT_NE(changed.err.find(sshd.hostKeySha256), std::string::npos) << changed.err;
    EXPECT_NE(changed.err.find(old), std::string::npos) << changed.err;
    EXPECT_NE(changed.err.find("--trust-changed"), std::string::npos) << changed.err;
    const Outcome accepted = RunCli({ "site", "ls", "secure", "--trust", "--trust-changed", "--dir", dir.path() });
    EXPECT_EQ(accepted.code, kExitOk) << accepted.err;
    const Outcome after = RunCli({ "site", "ls", "secure", "--dir", dir.path() });
    EXPECT_EQ(after.code, kExitOk) << after.err;
    EXPECT_EQ(after.err, "");
}

} // namespace
} // namespace pw::cli
