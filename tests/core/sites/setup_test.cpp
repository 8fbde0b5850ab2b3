#include "settings/inilist.h"
#include "sites/nodes.h"
#include "sites/setup.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pw {
namespace {

std::unique_ptr<TIniList> StorePtr(const std::string& text)
{
    auto store = std::make_unique<TIniList>();
    store->LoadFromText(text);
    return store;
}

TEST(Setups, LoadAppliesTheDefaults)
{
    const auto storePtr = StorePtr("[Setups]\r\nCount=4\r\n"
                                   "[Setup1]\r\nHost=ftp.example.jp\r\nUser=web\r\nPassword=pw\r\n"
                                   "[Setup2]\r\nName=local\r\nRootURL=http://ignored/\r\nIniPath=/srv/www\r\n"
                                   "[Setup3]\r\nName=jump\r\nHost=h\r\nRootURL=http://r/\r\nLastLoginPath=1\r\n"
                                   "[Setup4]\r\nName=s\r\nHost=h4\r\nProtocol=sftp\r\nPassive=0\r\n"
                                   "TrustedHostKey=abc\r\nLastPath=/kept\r\nStoreDirectly=1\r\n");
    const TIniList& store = *storePtr;
    const SetupList list = LoadSetups(store);
    ASSERT_EQ(list.Setups.size(), 4u);
    EXPECT_EQ(list.SelectedIndex, 0); // "DefautIndex" missing, Count >= 1

    const TSetup& ftp = *list.Setups[0];
    EXPECT_EQ(codec::DecodeSjis(ftp.Name), "\u672A\u8A2D\u5B9A"); // 未設定
    EXPECT_EQ(ftp.RootURL, "http://ftp.example.jp/");
    EXPECT_EQ(ftp.Port, 21);
    EXPECT_EQ(ftp.Kind, skFtp);
    EXPECT_EQ(ftp.Protocol, SiteProtocol::Ftp);
    EXPECT_TRUE(ftp.Passive);
    EXPECT_FALSE(ftp.StoreDirectly);
    EXPECT_FALSE(ftp.LastLoginPath);

    const TSetup& local = *list.Setups[1];
    EXPECT_EQ(local.Kind, skLocal);
    EXPECT_EQ(local.RootURL, ""); // not read for a local folder
    EXPECT_EQ(local.IniPath, "/srv/www");

    const TSetup& jump = *list.Setups[2];
    EXPECT_TRUE(jump.LastLoginPath);
    EXPECT_EQ(jump.LastPath, "http://r/"); // LastPath defaults to the RootURL

    const TSetup& sftp = *list.Setups[3];
    EXPECT_EQ(sftp.Protocol, SiteProtocol::Sftp);
    EXPECT_EQ(sftp.Port, 22);
    EXPECT_FALSE(sftp.Passive);
    EXPECT_EQ(sftp.TrustedHostKey, "abc");
    EXPECT_TRUE(sftp.StoreDirectly);
    EXPECT_EQ(sftp.LastPath, ""); // only read while LastLoginPath is set
}

TEST(Setups, SelectedIndexRules)
{
    EXPECT_EQ(LoadSetups(*StorePtr("")).SelectedIndex, -1);
    EXPECT_TRUE(LoadSetups(*StorePtr("")).Setups.empty());
    EXPECT_EQ(LoadSetups(*StorePtr("[Setups]\r\nCount=2\r\nDefautIndex=1\r\n")).SelectedIndex, 1);
    EXPECT_EQ(LoadSetups(*StorePtr("[Setups]\r\nCount=2\r\nDefautIndex=2\r\n")).SelectedIndex, -1);
    EXPECT_EQ(LoadSetups(*StorePtr("[Setups]\r\nCount=2\r\nDefaultIndex=1\r\n")).SelectedIndex, 0);
}

// Every setup needs its section header line, so a count far beyond the lines
// of the store (a damaged or hostile file) is cut to the lines plus a margin
// instead of making billions of default setups.
TEST(Setups, AHugeCountDoesNotExhaustMemory)
{
    for (const char* count : { "2147483647", "2000000000", "5000" }) {
        SCOPED_TRACE(count);
        const auto store = StorePtr(std::string("[Setups]\r\nCount=") + count + "\r\n\r\n[Setup1]\r\nName=a\r\n");
        const SetupList list = LoadSetups(*store);
        EXPECT_LE(list.Setups.size(), store->LineCount() + 1000);
        EXPECT_GE(list.Setups.size(), 1000u);
        ASSERT_FALSE(list.Setups.empty());
        EXPECT_EQ(list.Setups[0]->Name, "a");
        EXPECT_EQ(list.SelectedIndex, 0);
    }
}

TEST(Setups, SaveWritesKeysInOrderAndLeavesOldSections)
{
    auto storeOwner = StorePtr("[Setups]\r\nCount=3\r\n[Setup3]\r\nName=old\r\n");
    TIniList& store = *storeOwner;
    std::vector<std::unique_ptr<TSetup>> setups;
    auto a = std::make_unique<TSetup>();
    a->Name = "a";
    a->Host = "h";
    a->User = "u";
    a->Password = "p";
    a->IniPath = "www";
    a->RootURL = "http://h/";
    a->LastLoginPath = true;
    a->LastPath = "/home/u/www/x";
    a->Port = 2121;
    a->Protocol = SiteProtocol::Ftps;
    a->TrustedCertificate = "sha256//AAAA";
    setups.push_back(std::move(a));
    auto b = std::make_unique<TSetup>();
    b->Name = "b";
    b->IniPath = "/srv/www";
    b->LastPath = "/not/written";
    setups.push_back(std::move(b));

    SaveSetups(store, setups, 1);
    // The store puts a key written for the first time directly below its
    // header, so the keys stand in the reverse order of writing.
    EXPECT_EQ(store.SaveToText(),
        "; NoTitle\r\n\r\n[Setups]\r\nDefautIndex=1\r\nCount=2\r\n[Setup3]\r\nName=old\r\n"
        "\r\n[Setup1]\r\nTrustedCertificate=sha256//AAAA\r\nStoreDirectly=0\r\nPassive=1\r\n"
        "Protocol=ftps\r\n"
        "Port=2121\r\nLastPath=/home/u/www/x\r\nLastLoginPath=1\r\nRootURL=http://h/\r\n"
        "IniPath=www\r\nPassword=p\r\nUser=u\r\nHost=h\r\nName=a\r\n"
        "\r\n[Setup2]\r\nStoreDirectly=0\r\nPassive=1\r\nProtocol=ftp\r\nPort=21\r\n"
        "LastLoginPath=0\r\nRootURL=\r\nIniPath=/srv/www\r\nPassword=\r\nUser=\r\nHost=\r\nName=b\r\n");

    // Loading reads only up to Count; the round trip keeps every field.
    const SetupList back = LoadSetups(store);
    ASSERT_EQ(back.Setups.size(), 2u);
    EXPECT_EQ(back.Setups[0]->TrustedCertificate, "sha256//AAAA");
    EXPECT_EQ(back.Setups[0]->Protocol, SiteProtocol::Ftps);
    EXPECT_EQ(back.Setups[0]->Port, 2121);
    EXPECT_EQ(back.Setups[0]->LastPath, "/home/u/www/x");
    EXPECT_EQ(back.Setups[1]->Kind, skLocal);

    // A trust removed later is cleared in the file, not left behind.
    setups[0]->TrustedCertificate.clear();
    SaveSetups(store, setups, 0);
    EXPECT_EQ(LoadSetups(store).Setups[0]->TrustedCertificate, "");

    // Storing directly goes and comes back.
    setups[0]->StoreDirectly = true;
    SaveSetups(store, setups, 0);
    EXPECT_EQ(store.ReadString("Setup1", "StoreDirectly", ""), "1");
    EXPECT_EQ(store.ReadString("Setup2", "StoreDirectly", ""), "0");
    EXPECT_TRUE(LoadSetups(store).Setups[0]->StoreDirectly);
    setups[0]->StoreDirectly = false;
    SaveSetups(store, setups, 0);
    EXPECT_FALSE(LoadSetups(store).Setups[0]->StoreDirectly);
}

TEST(Setups, CharsetOfThePages)
{
    const auto store = StorePtr("[Setups]\r\nCount=5\r\n[Setup1]\r\nName=none\r\n"
                                "[Setup2]\r\nCharset=utf-8\r\n[Setup3]\r\nCharset=euc-jp\r\n"
                                "[Setup4]\r\nCharset=shift_jis\r\n[Setup5]\r\nCharset=UTF8\r\n");
    const SetupList list = LoadSetups(*store);
    ASSERT_EQ(list.Setups.size(), 5u);
    EXPECT_EQ(list.Setups[0]->Charset, PageCharset::Auto); // missing
    EXPECT_EQ(list.Setups[1]->Charset, PageCharset::Utf8);
    EXPECT_EQ(list.Setups[2]->Charset, PageCharset::EucJp);
    EXPECT_EQ(list.Setups[3]->Charset, PageCharset::ShiftJis);
    EXPECT_EQ(list.Setups[4]->Charset, PageCharset::Auto); // unknown

    // Saved when chosen, left out while auto, and set back to auto in place.
    TIniList saved;
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(CopySetup(*list.Setups[0]));
    setups.push_back(CopySetup(*list.Setups[2]));
    SaveSetups(saved, setups, 0);
    EXPECT_EQ(saved.ReadString("Setup1", "Charset", "missing"), "missing");
    EXPECT_EQ(saved.ReadString("Setup2", "Charset", ""), "euc-jp");
    EXPECT_EQ(LoadSetups(saved).Setups[1]->Charset, PageCharset::EucJp);
    setups[1]->Charset = PageCharset::Auto;
    SaveSetups(saved, setups, 0);
    EXPECT_EQ(saved.ReadString("Setup2", "Charset", ""), "auto");
    EXPECT_EQ(LoadSetups(saved).Setups[1]->Charset, PageCharset::Auto);
}

TEST(Setups, SaveTakesTheLastFolderOfAnOpenConnection)
{
    std::vector<std::unique_ptr<TSetup>> setups;
    for (const char* name : { "jumping", "plain" }) {
        auto setup = std::make_unique<TSetup>();
        setup->Name = name;
        setup->Host = "h";
        setup->LastLoginPath = std::string(name) == "jumping";
        setup->LastPath = "/before";
        setups.push_back(std::move(setup));
    }
    std::vector<std::unique_ptr<TConnection>> open;
    for (const auto& setup : setups) {
        auto connection = std::make_unique<TConnection>();
        connection->Setup = CopySetup(*setup);
        connection->Path = "/home";
        auto sub = std::make_unique<TDirNode>();
        sub->Path = "/home/www";
        sub->Connection = connection.get();
        connection->LastNode = static_cast<TDirNode*>(connection->AddChild(std::move(sub)));
        open.push_back(std::move(connection));
    }
    TIniList store;
    SaveSetups(store, setups, 0, open);
    EXPECT_EQ(setups[0]->LastPath, "/home/www");
    EXPECT_EQ(setups[1]->LastPath, "/before");
    EXPECT_EQ(store.ReadString("Setup1", "LastPath", ""), "/home/www");
    EXPECT_EQ(store.ReadString("Setup2", "LastPath", "none"), "none");
}

// Every stored field of a setup, as a tuple that compares them all.
auto StoredFields(const TSetup& s)
{
    return std::tie(s.Name, s.Host, s.User, s.Password, s.IniPath, s.RootURL, s.LastLoginPath, s.LastPath, s.Port,
        s.Kind, s.Protocol, s.Passive, s.TrustedCertificate, s.TrustedHostKey, s.KeyFile, s.StoreDirectly,
        s.Charset);
}

// Every field comes back from the file as it went in, each set to a value that
// is not what a missing key reads as, so a key left out of either direction
// shows. The second setup is a local folder, the third has the defaults.
TEST(Setups, EveryFieldRoundTripsThroughTheFile)
{
    std::vector<std::unique_ptr<TSetup>> setups;
    auto remote = std::make_unique<TSetup>();
    remote->Name = "remote";
    remote->Host = "h.example";
    remote->User = "u";
    remote->Password = "p";
    remote->IniPath = "/www";
    remote->RootURL = "https://h.example/site/";
    remote->LastLoginPath = true;
    remote->LastPath = "/www/sub";
    remote->Port = 2222;
    remote->Kind = skFtp;
    remote->Protocol = SiteProtocol::Sftp;
    remote->Passive = false;
    remote->TrustedCertificate = "sha256//C";
    remote->TrustedHostKey = "K";
    remote->KeyFile = "/keys/id";
    remote->StoreDirectly = true;
    remote->Charset = PageCharset::EucJp;
    setups.push_back(std::move(remote));
    auto local = std::make_unique<TSetup>();
    local->Name = "local";
    local->IniPath = "/srv/www";
    local->Port = 21;
    local->Charset = PageCharset::Utf8;
    setups.push_back(std::move(local));
    auto plain = std::make_unique<TSetup>();
    plain->Name = "plain";
    plain->Host = "ftp.example";
    plain->RootURL = "http://ftp.example/";
    plain->Kind = skFtp;
    plain->Protocol = SiteProtocol::Ftps;
    setups.push_back(std::move(plain));

    TIniList written;
    SaveSetups(written, setups, 2);
    const auto store = StorePtr(written.SaveToText());
    const SetupList back = LoadSetups(*store);
    ASSERT_EQ(back.Setups.size(), setups.size());
    EXPECT_EQ(back.SelectedIndex, 2);
    for (size_t i = 0; i < setups.size(); ++i)
        EXPECT_TRUE(StoredFields(*back.Setups[i]) == StoredFields(*setups[i])) << setups[i]->Name;

    // Saving what was loaded writes the same file.
    TIniList again;
    SaveSetups(again, back.Setups, back.SelectedIndex);
    EXPECT_EQ(again.SaveToText(), written.SaveToText());
}

TEST(Setups, CopySetupCopiesEveryField)
{
    TSetup setup;
    setup.Name = "n";
    setup.Host = "h";
    setup.Kind = skFtp;
    setup.Protocol = SiteProtocol::Sftp;
    setup.TrustedHostKey = "k";
    setup.Passive = false;
    setup.Port = 2222;
    setup.StoreDirectly = true;
    const auto copy = CopySetup(setup);
    EXPECT_EQ(copy->Name, "n");
    EXPECT_EQ(copy->Kind, skFtp);
    EXPECT_EQ(copy->Protocol, SiteProtocol::Sftp);
    EXPECT_EQ(copy->TrustedHostKey, "k");
    EXPECT_FALSE(copy->Passive);
    EXPECT_EQ(copy->Port, 2222);
    EXPECT_TRUE(copy->StoreDirectly);
    EXPECT_NE(copy.get(), &setup);
}

} // namespace
} // namespace pw
