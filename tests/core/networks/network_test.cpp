#include "networks/network.h"
#include "text/codec.h"

#include "core/networks/textstore.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pw {
namespace {

using test::TextStore;

TEST(NetworkConstants, DecodeToTheirJapaneseText)
{
    EXPECT_EQ(codec::DecodeSjis(kDefaultNetworkName), "\u672A\u8A2D\u5B9A"); // 未設定
    EXPECT_EQ(codec::DecodeSjis(kDefaultLoginName), "\u30B5\u30A4\u30C8"); // サイト
}

TEST(LoadNetworks, ReadsEveryKeyAndLogin)
{
    const TextStore store("[Networks]\r\nCount=1\r\n\r\n"
                          "[Network1]\r\nName=A8\r\nLoginURL=https://a/login\r\nCharacter=a8.net\r\n"
                          "LoginInfoCount=2\r\nName1=P1\r\nUser1=u1\r\nPassword1=p1\r\n"
                          "Name2=P2\r\nUser2=u2\r\nPassword2=p2\r\n"
                          "FieldUser=login\r\nFieldPassword=pw\r\nFieldOthers=<input type=hidden>\r\n"
                          "SignupURL=https://a/s\r\nSystem=A8\r\nRegist=r:EMail=m; \r\n"
                          "RegistURL=https://a/reg\r\n");
    NetworkList list;
    LoadNetworks(store, list);
    ASSERT_EQ(list.size(), 1u);
    const TNetwork& n = *list[0];
    EXPECT_EQ(n.Name, "A8");
    EXPECT_EQ(n.LoginURL, "https://a/login");
    EXPECT_EQ(n.Character, "a8.net");
    EXPECT_EQ(n.FieldUser, "login");
    EXPECT_EQ(n.FieldPassword, "pw");
    EXPECT_EQ(n.FieldOthers, "<input type=hidden>");
    EXPECT_EQ(n.SignupURL, "https://a/s");
    EXPECT_EQ(n.System, "A8");
    EXPECT_EQ(n.Regist, "r:EMail=m; ");
    EXPECT_EQ(n.RegistURL, "https://a/reg");
    EXPECT_FALSE(n.Forms); // parsed only when the login menu is built
    EXPECT_EQ(n.SignupBrowser, nullptr);
    ASSERT_EQ(n.Logins.size(), 2u);
    EXPECT_EQ(n.Logins[1].Name, "P2");
    EXPECT_EQ(n.Logins[1].Info->User, "u2");
    EXPECT_EQ(n.Logins[1].Info->Password, "p2");
    EXPECT_EQ(n.Logins[1].Info->Network, &n);
    EXPECT_EQ(n.FindLogin("P1")->User, "u1");
}

TEST(LoadNetworks, EmptyOrMissingValuesTakeDefaults)
{
    const TextStore store("[Networks]\r\nCount=3\r\n\r\n"
                          "[Network1]\r\nName=\r\nFieldUser=\r\nFieldPassword=\r\n"
                          "LoginInfoCount=1\r\nUser1=u\r\n\r\n"
                          "[Network2]\r\nName=B\r\nLoginInfoCount=x\r\nName1=never read\r\n");
    NetworkList list;
    LoadNetworks(store, list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->Name, kDefaultNetworkName);
    EXPECT_EQ(list[0]->FieldUser, "user");
    EXPECT_EQ(list[0]->FieldPassword, "password");
    ASSERT_EQ(list[0]->Logins.size(), 1u);
    EXPECT_EQ(list[0]->Logins[0].Name, kDefaultLoginName);
    EXPECT_EQ(list[0]->Logins[0].Info->User, "u");
    EXPECT_TRUE(list[1]->Logins.empty()); // a non-numeric count reads as 0
    EXPECT_EQ(list[2]->Name, kDefaultNetworkName); // no section at all
}

TEST(LoadNetworks, MissingOrBadCountGivesNoNetworks)
{
    for (const char* text : { "", "[Networks]\r\nCount=abc\r\n", "[Networks]\r\nCount=-4\r\n" }) {
        NetworkList list;
        list.push_back(std::make_unique<TNetwork>());
        LoadNetworks(TextStore(text), list);
        EXPECT_TRUE(list.empty()) << text;
    }
}

TEST(LoadNetworks, HugeCountsDoNotExhaustMemory)
{
    NetworkList list;
    LoadNetworks(
        TextStore("[Networks]\r\nCount=2147483647\r\n\r\n[Network1]\r\nLoginInfoCount=2000000000\r\n"), list);
    EXPECT_LE(list.size(), 1000u + 10u);
    ASSERT_FALSE(list.empty());
    EXPECT_LE(list[0]->Logins.size(), 1000u + 10u);
}

TEST(SaveNetworks, WritesKeysInOrderAndLoadsBack)
{
    NetworkList list;
    auto network = std::make_unique<TNetwork>();
    network->Name = "N";
    network->FieldUser = "user";
    network->FieldPassword = "password";
    network->System = "S";
    network->SetLogin("P1", "u1", "p1");
    network->SetLogin("P2", "u2", "p2");
    list.push_back(std::move(network));

    TextStore store("");
    SaveNetworks(store, list);
    // A new key goes directly below its section header, so a fresh store shows
    // the keys in the reverse of their writing order.
    EXPECT_EQ(store.SaveToText(),
        "; NoTitle\r\n\r\n\r\n[Networks]\r\nCount=1\r\n\r\n"
        "[Network1]\r\nRegistURL=\r\nRegist=\r\nSystem=S\r\nSignupURL=\r\n"
        "FieldOthers=\r\nFieldPassword=password\r\nFieldUser=user\r\n"
        "Password2=p2\r\nUser2=u2\r\nName2=P2\r\nPassword1=p1\r\nUser1=u1\r\nName1=P1\r\n"
        "LoginInfoCount=2\r\nCharacter=\r\nLoginURL=\r\nName=N\r\n");

    NetworkList again;
    LoadNetworks(store, again);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->Logins.size(), 2u);
    EXPECT_EQ(again[0]->FindLogin("P2")->Password, "p2");
}

// Every stored field of a network but its logins, as a tuple that compares them all.
auto StoredFields(const TNetwork& n)
{
    return std::tie(n.Name, n.LoginURL, n.Character, n.FieldUser, n.FieldPassword, n.FieldOthers, n.SignupURL,
        n.System, n.Regist, n.RegistURL);
}

// Every field and login comes back from the file as it went in, each set to a
// value that is not what a missing key reads as, so a key left out of either
// direction shows.
TEST(SaveNetworks, EveryFieldAndLoginRoundTripsThroughTheFile)
{
    NetworkList list;
    auto system = std::make_unique<TNetwork>();
    system->Name = "A8";
    system->LoginURL = "https://a8.example/login";
    system->Character = "a8.net";
    system->FieldUser = "login";
    system->FieldPassword = "passwd";
    system->FieldOthers = "<input type=hidden name=x value=1>";
    system->SignupURL = "https://a8.example/signup";
    system->System = "A8";
    system->Regist = "reg:EMail=m; ";
    system->RegistURL = "https://a8.example/reg";
    system->SetLogin("P1", "u1", "p1");
    system->SetLogin("P2", "u2", "p2");
    list.push_back(std::move(system));
    auto user = std::make_unique<TNetwork>();
    user->Name = "mine";
    user->FieldUser = "id";
    user->FieldPassword = "pw";
    list.push_back(std::move(user));

    TIniList written;
    SaveNetworks(written, list);
    const TextStore store(written.SaveToText());
    NetworkList back;
    LoadNetworks(store, back);
    ASSERT_EQ(back.size(), list.size());
    for (size_t k = 0; k < list.size(); ++k) {
        EXPECT_TRUE(StoredFields(*back[k]) == StoredFields(*list[k])) << list[k]->Name;
        ASSERT_EQ(back[k]->Logins.size(), list[k]->Logins.size());
        for (size_t i = 0; i < list[k]->Logins.size(); ++i) {
            const LoginEntry& was = list[k]->Logins[i];
            const LoginEntry& is = back[k]->Logins[i];
            EXPECT_EQ(is.Name, was.Name);
            EXPECT_EQ(is.Info->User, was.Info->User);
            EXPECT_EQ(is.Info->Password, was.Info->Password);
            EXPECT_EQ(is.Info->Network, back[k].get());
        }
    }

    // Saving what was loaded writes the same file.
    TIniList again;
    SaveNetworks(again, back);
    EXPECT_EQ(again.SaveToText(), written.SaveToText());
}

TEST(SaveNetworks, FewerNetworksAndLoginsLeaveOldSectionsAndKeys)
{
    NetworkList five;
    for (int i = 0; i < 5; ++i) {
        five.push_back(std::make_unique<TNetwork>());
        five.back()->Name = "N" + std::to_string(i + 1);
    }
    five[0]->SetLogin("P1", "u1", "p1");
    five[0]->SetLogin("P2", "u2", "p2");
    TextStore store("");
    SaveNetworks(store, five);

    five.resize(3);
    RemoveLogin(*five[0], "P2");
    SaveNetworks(store, five);
    EXPECT_TRUE(store.SectionExists("Network5"));
    EXPECT_EQ(store.ReadString("Network1", "Name2", ""), "P2");

    NetworkList loaded;
    LoadNetworks(store, loaded);
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0]->Logins.size(), 1u);
}

TEST(NetworkLogins, SetRemoveAndRename)
{
    TNetwork network;
    network.SetLogin("A", "ua", "pa");
    network.SetLogin("B", "ub", "pb");
    network.SetLogin("A", "ua2", "pa2"); // replaces
    ASSERT_EQ(network.Logins.size(), 2u);
    EXPECT_EQ(network.FindLogin("A")->User, "ua2");

    RemoveLogin(network, "a"); // exact comparison
    EXPECT_EQ(network.Logins.size(), 2u);
    RemoveLogin(network, "A");
    ASSERT_EQ(network.Logins.size(), 1u);

    network.RenameLogin("B", "C");
    EXPECT_EQ(network.FindLogin("B"), nullptr);
    EXPECT_EQ(network.FindLogin("C")->User, "ub");
    EXPECT_EQ(network.FindLogin("C")->Network, &network);

    // A stale login under the new name gives way to the renamed one.
    network.SetLogin("D", "ud", "pd");
    network.RenameLogin("C", "D");
    ASSERT_EQ(network.Logins.size(), 1u);
    EXPECT_EQ(network.FindLogin("D")->User, "ub");
}

TEST(FieldMap, LooksNamesUpIgnoringCase)
{
    EXPECT_EQ(LookupField("AccountNumber"), ProfileField::AccountNumber);
    EXPECT_EQ(LookupField("accountnumber"), ProfileField::AccountNumber);
    EXPECT_EQ(LookupField("ACCOUNTnumber"), ProfileField::AccountNumber);
    EXPECT_EQ(LookupField("Account"), ProfileField::None); // the key in the file, not a map name
    EXPECT_EQ(LookupField("Name 1"), ProfileField::None);
    EXPECT_EQ(LookupField(""), ProfileField::None);
    for (int i = 0; i < kProfileFieldCount; ++i) {
        const auto field = static_cast<ProfileField>(i);
        EXPECT_EQ(LookupField(FieldMapName(field)), field) << FieldMapName(field);
    }
    EXPECT_TRUE(IsListField(ProfileField::Addr1));
    EXPECT_TRUE(IsListField(ProfileField::Country));
    EXPECT_FALSE(IsListField(ProfileField::Zip));
}

} // namespace
} // namespace pw
