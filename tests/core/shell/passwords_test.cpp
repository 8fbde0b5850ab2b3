#include "networks/network.h"
#include "settings/inilist.h"
#include "settings/secretstore.h"
#include "shell/passwords.h"
#include "sites/setup.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

TEST(WipeString, ZeroesTheWholeBufferItKeeps)
{
    std::string text = "hunter2 and more text than a short string holds";
    text.reserve(200);
    const char* bytes = text.data();
    const size_t capacity = text.capacity();
    WipeString(text);
    EXPECT_TRUE(text.empty());
    ASSERT_EQ(text.data(), bytes) << "clear keeps the buffer, so it can be checked";
    for (size_t i = 0; i < capacity; ++i)
        ASSERT_EQ(bytes[i], '\0') << i;

    SecureString a("pw");
    SecureString b(std::move(a));
    EXPECT_EQ(b.view(), "pw");
    EXPECT_TRUE(a.empty()); // NOLINT(bugprone-use-after-move): the moved-from value is wiped
}

// The keys that tie a record to its keyring item are written only when used,
// so a file without them keeps its bytes through a load and a save.
TEST(PasswordRecords, IdAndAskFlagRoundTripAndStayAwayWhenUnused)
{
    TIniList store;
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(std::make_unique<TSetup>());
    setups[0]->Host = "example.jp";
    SaveSetups(store, setups, 0);
    const std::string plain = store.SaveToText();
    EXPECT_EQ(plain.find("SecretId"), std::string::npos);
    EXPECT_EQ(plain.find("AskPassword"), std::string::npos);

    setups[0]->SecretId = "00ff";
    setups[0]->AskPassword = true;
    NetworkList networks;
    networks.push_back(std::make_unique<TNetwork>());
    networks[0]->SetLogin("site", "u", "").SecretId = "abcd";
    SaveSetups(store, setups, 0);
    SaveNetworks(store, networks);
    const SetupList loaded = LoadSetups(store);
    EXPECT_EQ(loaded.Setups[0]->SecretId, "00ff");
    EXPECT_TRUE(loaded.Setups[0]->AskPassword);
    NetworkList back;
    LoadNetworks(store, back);
    EXPECT_EQ(back[0]->Logins[0].Info->SecretId, "abcd");

    // Turned off again, the flag is written as off rather than left on.
    setups[0]->AskPassword = false;
    SaveSetups(store, setups, 0);
    EXPECT_FALSE(LoadSetups(store).Setups[0]->AskPassword);
}

TEST(PasswordRecords, FileStoreKeepsThePasswordInTheRecord)
{
    FileSecretStore file;
    TSetup setup;
    setup.Host = "h";
    setup.Password = "from file";
    ASSERT_TRUE(FillSetupPassword(file, setup).ok);
    EXPECT_EQ(setup.Password, "from file");
    ASSERT_TRUE(KeepSetupPassword(file, setup, "new").ok);
    EXPECT_EQ(setup.Password, "new");
    EXPECT_EQ(setup.SecretId, "") << "the file needs no id";

    setup.AskPassword = true;
    ASSERT_TRUE(FillSetupPassword(file, setup).ok);
    EXPECT_EQ(setup.Password, "") << "asked each time: never taken from a store";
}

TEST(PasswordRecords, PasswordsInTheFileAreFound)
{
    struct Case {
        const char* text;
        bool any;
    };
    const Case cases[] = {
        { "[Setups]\r\nCount=1\r\n[Setup1]\r\nHost=h\r\nPassword=\r\n", false },
        { "[Setups]\r\nCount=1\r\n[Setup1]\r\nHost=h\r\nPassword=x\r\n", true },
        { "[Networks]\r\nCount=1\r\n[Network1]\r\nLoginInfoCount=1\r\nName1=a\r\nPassword1=y\r\n", true },
        { "[Networks]\r\nCount=1\r\n[Network1]\r\nLoginInfoCount=1\r\nName1=a\r\nPassword1=\r\n", false },
    };
    for (const Case& c : cases) {
        TIniList store;
        store.LoadFromText(c.text);
        EXPECT_EQ(HasPasswordsInFile(store), c.any) << c.text;
    }
}

TEST(PasswordRecords, LabelsNameTheSiteAndTheLogin)
{
    TSetup setup;
    setup.Host = "example.jp";
    setup.User = "pwtest";
    setup.Protocol = SiteProtocol::Sftp;
    const SecretRef ref = SetupSecretRef(setup);
    EXPECT_EQ(ref.Label, "Pagewick: SFTP pwtest@example.jp");
    EXPECT_EQ(ref.Field, &setup.Password);

    TNetwork network;
    network.Name = "A8"; // Shift_JIS names are shown as UTF-8
    network.SetLogin("\x83T\x83\x43\x83g", "u", "p"); // サイト
    EXPECT_EQ(LoginSecretRef(network, network.Logins[0]).Label, "Pagewick: A8 \u30B5\u30A4\u30C8");
}

// Errors are program text (Shift_JIS): a label, which is UTF-8 for the
// keyring program, goes into them converted, so a Japanese name reads right
// in the window and on the terminal.
TEST(PasswordRecords, MessagesNameTheLabelAsProgramText)
{
    TNetwork network;
    network.Name = "\x83T\x83\x43\x83g"; // サイト
    network.SetLogin("\x8E\xE5", "u", "p"); // 主
    SecretRef ref = LoginSecretRef(network, network.Logins[0]);
    ref.Field = nullptr;
    FileSecretStore file;
    const Status failed = file.Store(ref, "secret");
    ASSERT_FALSE(failed.ok);
    EXPECT_NE(codec::DecodeSjis(failed.error).find("Pagewick: \u30B5\u30A4\u30C8 \u4E3B"), std::string::npos)
        << failed.error;
    EXPECT_EQ(codec::DecodeSjis(MovedPasswordsText({ ref.Label, "Pagewick: FTP a@b" })),
        "Pagewick: \u30B5\u30A4\u30C8 \u4E3B, Pagewick: FTP a@b");
}

TEST(SecretIds, AreNewEachTime)
{
    std::string a, b;
    ASSERT_TRUE(NewSecretId(a).ok);
    ASSERT_TRUE(NewSecretId(b).ok);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}

} // namespace
} // namespace pw
