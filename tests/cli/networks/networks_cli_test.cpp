#include "base/files.h"
#include "cli/cli.h"
#include "settings/inilist.h"
#include "support/clirun.h"
#include "support/command.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

namespace pw::cli {
namespace {

using Outcome = test::CliOutcome;

using test::RunCli;

std::string Fixture(const std::string& name)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(std::string(PAGEWICK_TEST_DATA) + "/networks/merge/" + name, bytes).ok) << name;
    return bytes;
}

std::string Read(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// A --dir holding the fixture's Pagewick.ini and a scrambled definitions file.
struct MergeDir {
    MergeDir()
    {
        std::string image = Fixture("Pagewick.plain.ini");
        ScrambleFileImage(image);
        EXPECT_TRUE(WriteFileAtomically(dir.file("Pagewick.ini"), image, FilePermissions::OwnerOnly).ok);
        std::string definitions = Fixture("nwks-PR.plain.txt");
        ScrambleText(definitions);
        EXPECT_TRUE(WriteFileAtomically(dir.file("download.txt"), definitions).ok);
    }
    std::string MainPlain() const
    {
        std::string image = Read(dir.file("Pagewick.ini"));
        ScrambleFileImage(image);
        return image;
    }
    test::TempDir dir;
};

TEST(NetworksCli, ListShowsCodesNamesAndLogins)
{
    MergeDir m;
    const Outcome r = RunCli({ "networks", "list", "--dir", m.dir.path() });
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out,
        "P\tネットワークP\t基本設定,設定2\n"
        "\t自分の代理店\t基本設定\n"
        "Q\tネットワークQ\t基本設定\n");
    test::TempDir empty;
    const Outcome none = RunCli({ "networks", "list", "--dir", empty.path() });
    EXPECT_EQ(none.code, kExitOk);
    EXPECT_EQ(none.out, "");
    EXPECT_FALSE(FileExists(empty.file("Pagewick.ini"))); // listing creates nothing
}

TEST(NetworksCli, ImportMergesAndSaves)
{
    MergeDir m;
    const Outcome r = RunCli({ "networks", "import", m.dir.file("download.txt"), "--dir", m.dir.path() });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "pagewick-cli: 広告代理店情報が更新されました。\n");
    // P updated in place with its logins, the user network untouched, Q gone, R appended.
    EXPECT_EQ(r.out,
        "P\t新しいP\t基本設定,設定2\n"
        "\t自分の代理店\t基本設定\n"
        "R\tネットワークR\t\n");
    EXPECT_EQ(RunCli({ "networks", "list", "--dir", m.dir.path() }).out, r.out);

    TIniList store;
    store.LoadFromText(m.MainPlain());
    EXPECT_EQ(store.ReadInteger("Setups", "v2", 0), 4);
    EXPECT_EQ(store.ReadString("Network1", "LoginURL", ""), "https://p.example/login2");
    EXPECT_EQ(store.ReadString("Network1", "Password1", ""), "pa\"ss<1>");
    EXPECT_EQ(store.ReadString("Network3", "FieldUser", ""), "user");
    EXPECT_EQ(store.ReadString("Network3", "System", ""), "R");
    struct stat st { };
    ::stat(m.dir.file("Pagewick.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// P (two stored logins) moved to another host, Q (one login) on its own host.
std::string MovedHostDefinitions()
{
    std::string text = "[Networks]\r\nCount=2\r\nVersion=5\r\n\r\n"
                       "[Network1]\r\nName=P2\r\nLoginURL=https://evil.example/login\r\nSystem=P\r\n"
                       "FieldUser=uid\r\nFieldPassword=pwd\r\n\r\n"
                       "[Network2]\r\nName=Q2\r\nLoginURL=https://q.example/new\r\nSystem=Q\r\n";
    ScrambleText(text);
    return text;
}

TEST(NetworksCli, ImportKeepsALoginAddressMovedToAnotherHost)
{
    MergeDir m;
    ASSERT_TRUE(WriteFileAtomically(m.dir.file("moved.txt"), MovedHostDefinitions()).ok);
    const Outcome r = RunCli({ "networks", "import", m.dir.file("moved.txt"), "--dir", m.dir.path() });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err,
        "pagewick-cli: P2: login address kept at https://p.example/login; the definitions move it to "
        "https://evil.example/login (another host; --accept-new-login-hosts takes it)\n"
        "pagewick-cli: 広告代理店情報が更新されました。\n");
    TIniList store;
    store.LoadFromText(m.MainPlain());
    EXPECT_EQ(store.ReadString("Network1", "Name", ""), "P2");
    EXPECT_EQ(store.ReadString("Network1", "LoginURL", ""), "https://p.example/login");
    EXPECT_EQ(store.ReadString("Network3", "LoginURL", ""), "https://q.example/new");
    EXPECT_NE(
        RunCli({ "login-page", "P2", "基本設定", "--dir", m.dir.path() }).out.find("https://p.example/login"),
        std::string::npos);

    // Given the option, the new address is taken.
    const Outcome taken = RunCli(
        { "networks", "import", "--accept-new-login-hosts", m.dir.file("moved.txt"), "--dir", m.dir.path() });
    ASSERT_EQ(taken.code, kExitOk) << taken.err;
    EXPECT_NE(
        taken.err.find("P2: login address moved from https://p.example/login to https://evil.example/login\n"),
        std::string::npos)
        << taken.err;
    store.LoadFromText(m.MainPlain());
    EXPECT_EQ(store.ReadString("Network1", "LoginURL", ""), "https://evil.example/login");
    EXPECT_EQ(RunCli({ "networks", "import", "a", "b", "--dir", m.dir.path() }).code, kExitUsage);
}

TEST(NetworksCli, LoginPageAndExportLeaveOutMarkupOfFieldOthers)
{
    MergeDir m;
    const std::string others
        = "<input type=hidden name=lang value=ja><script>fetch('https://evil.example/')</script>";
    ASSERT_EQ(RunCli({ "settings", "set", m.dir.file("Pagewick.ini"), "Network1", "FieldOthers", others }).code,
        kExitOk);
    const Outcome page = RunCli({ "login-page", "ネットワークP", "基本設定", "--dir", m.dir.path() });
    ASSERT_EQ(page.code, kExitOk) << page.err;
    EXPECT_NE(page.out.find("\r\n<input type=hidden name=lang value=ja>\r\n</form>"), std::string::npos)
        << page.out;
    EXPECT_EQ(page.out.find("evil"), std::string::npos) << page.out;

    const Outcome exported = RunCli({ "networks", "export", "--version", "3", "--dir", m.dir.path() });
    ASSERT_EQ(exported.code, kExitOk) << exported.err;
    EXPECT_EQ(exported.err,
        "pagewick-cli: ネットワークP: the login page leaves out of FieldOthers: "
        "<script>fetch('https://evil.example/')</script>\n");
    EXPECT_TRUE(FileExists(m.dir.file("nwks.txt")));
}

TEST(NetworksCli, ImportRefusesWhatHoldsNoDefinitions)
{
    MergeDir m;
    const std::string before = Read(m.dir.file("Pagewick.ini"));
    std::string body = "<html>Service Unavailable</html>";
    ScrambleText(body);
    ASSERT_TRUE(WriteFileAtomically(m.dir.file("bad.txt"), body).ok);
    const Outcome r = RunCli({ "networks", "import", m.dir.file("bad.txt"), "--dir", m.dir.path() });
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, "pagewick-cli: 広告代理店の定義がありません。\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Read(m.dir.file("Pagewick.ini")), before);

    EXPECT_EQ(RunCli({ "networks", "import", m.dir.file("missing.txt"), "--dir", m.dir.path() }).code, kExitFile);
    EXPECT_EQ(RunCli({ "networks", "import", "--dir", m.dir.path() }).code, kExitUsage);
    EXPECT_EQ(RunCli({ "networks", "merge", "--dir", m.dir.path() }).code, kExitUsage);
}

TEST(NetworksCli, ExportWritesSystemNetworksWithTheVersion)
{
    MergeDir m;
    EXPECT_EQ(RunCli({ "networks", "export", "--dir", m.dir.path() }).code, kExitUsage);
    const Outcome bad = RunCli({ "networks", "export", "--version", "x2", "--dir", m.dir.path() });
    EXPECT_EQ(bad.code, kExitFailure);
    EXPECT_FALSE(FileExists(m.dir.file("nwks.txt")));

    const Outcome r = RunCli({ "networks", "export", "--version", "2", "--dir", m.dir.path() });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::string text = Read(m.dir.file("nwks.txt"));
    ScrambleText(text);
    TIniList store;
    store.LoadFromText(text);
    EXPECT_TRUE(text.starts_with("\r\n[Network1]\r\n"));
    EXPECT_EQ(store.ReadInteger("Networks", "Count", 0), 2);
    EXPECT_EQ(store.ReadInteger("Networks", "Version", 0), 2);
    EXPECT_EQ(store.ReadString("Network2", "System", ""), "Q");
    EXPECT_EQ(text.find("alice"), std::string::npos); // no logins

    // The export merges back into the same list without change.
    const Outcome again = RunCli({ "networks", "import", m.dir.file("nwks.txt"), "--dir", m.dir.path() });
    EXPECT_EQ(again.code, kExitOk) << again.err;
    EXPECT_EQ(again.out, RunCli({ "networks", "list", "--dir", m.dir.path() }).out);
    EXPECT_NE(again.out.find("Q\tネットワークQ\t基本設定\n"), std::string::npos);
}

TEST(RegistCli, PrintsOneLinePerEntry)
{
    const Outcome r = RunCli({ "regist",
        "reg:EMail=*email;Name1=n;Name2=n;Addr1=p;#0:1:1:0:#Zip=z;(-)"
        "Phone=t;>4>EMail=c;!x!Fax=f;$0$Name1==AccountName; " });
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out,
        "reg\tEMail\temail\trequired\n"
        "reg\tName1\tn\tnext=3\n"
        "reg\tName2\tn\tcontinued\n"
        "reg\tAddr1\tp\tnumber=2\tpairs=0,1,1,0\n"
        "reg\tZip\tz\tremove=-\n"
        "reg\tPhone\tt\tnumber=4\tcut=>\n"
        "reg\tEMail\tc\tguard=x\n"
        "reg\tFax\tf\texpected=0\n"
        "reg\tName1\tAccountName\tmirror\n");
    EXPECT_EQ(RunCli({ "regist", "x" }).out, "");
    EXPECT_EQ(RunCli({ "regist", "f:Name1=名前; " }).out, "f\tName1\t名前\n");
    EXPECT_EQ(RunCli({ "--raw", "regist", "f:Name1=\x96\xBC; " }).out, "f\tName1\t\x96\xBC\n");
    EXPECT_EQ(RunCli({ "regist" }).code, kExitUsage);
}

TEST(LoginPageCli, PrintsTheEscapedPageOfAStoredLogin)
{
    MergeDir m;
    const Outcome r = RunCli({ "login-page", "ネットワークP", "基本設定", "--dir", m.dir.path() });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out,
        "<html><head><meta charset=\"Shift_JIS\"></head><body><form name=fm method=post "
        "action=\"https://p.example/login\">\r\n"
        "<input type=hidden name=uid value=\"alice\">\r\n"
        "<input type=hidden name=pwd value=\"pa&quot;ss&lt;1&gt;\">\r\n"
        "<input type=hidden name=lang value=ja>\r\n"
        "</form><script defer>\r\n"
        "document.fm.submit();\r\n"
        "</script><noscript>JavaScriptの設定をオンにして下さい。</NOSCRIPT></body></html>\r\n");

    const Outcome noLogin = RunCli({ "login-page", "ネットワークP", "設定9", "--dir", m.dir.path() });
    EXPECT_EQ(noLogin.code, kExitFailure);
    EXPECT_EQ(noLogin.out, "");
    EXPECT_EQ(noLogin.err, "pagewick-cli: 広告代理店にログイン名とパスワードを入力してください。\n");
    EXPECT_EQ(RunCli({ "login-page", "None", "基本設定", "--dir", m.dir.path() }).code, kExitFailure);
    EXPECT_EQ(RunCli({ "login-page", "ネットワークP" }).code, kExitUsage);
}

TEST(NetworksCli, EndToEndImportThroughTheProgram)
{
    MergeDir m;
    const std::string command = std::string(PAGEWICK_CLI) + " networks import " + m.dir.file("download.txt")
        + " --dir " + m.dir.path() + " 2>/dev/null";
    const test::CommandOutcome run = test::RunShell(command);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "P\t新しいP\t基本設定,設定2\n\t自分の代理店\t基本設定\nR\tネットワークR\t\n");
}

} // namespace
} // namespace pw::cli
