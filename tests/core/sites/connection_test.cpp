#include "core/sites/fakeftp.h"
#include "sites/connection.h"
#include "sites/sitetexts.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace pw {
namespace {

using test::FakeFactory;

const DateTime kNow { 2024, 6, 1, 12, 0, 0 };

struct Fixture {
    FakeFactory factory;
    FeedbackLog feedback;
    ConnectionTree tree { factory.Make(), feedback, [] { return kNow; } };
    TSetup setup;

    Fixture()
    {
        setup.Name = "site";
        setup.Host = "ftp.example.jp";
        setup.User = "web";
        setup.Password = "secret";
        setup.Kind = skFtp;
        auto& s = *factory.server;
        s.AddFolder("/home/web/www/a/b/c");
        s.AddFolder("/home/web/www/a/b2");
        s.AddFolder("/home/web/www/z");
        s.AddFile("/home/web/www/index.html", "<html>\n");
        s.AddFile("/home/web/www/a/b/c/deep.html", "deep\n");
    }
    std::string Statuses() const
    {
        std::string all;
        for (const std::string& s : feedback.Statuses)
            all += codec::DecodeSjis(s) + "|";
        return all;
    }
    std::string LastMessage() const
    {
        return feedback.Messages.empty() ? std::string() : codec::DecodeSjis(feedback.Messages.back().text);
    }
};

std::vector<std::string> NamesOf(const TDirNode& folder)
{
    std::vector<std::string> names;
    for (const auto& child : *folder.Children)
        names.push_back(child->Name);
    return names;
}

TEST(ConnectSite, LogsInChangesFolderAndTakesTheServersPath)
{
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->Path, "/home/web/www");
    EXPECT_EQ(connection->Name, "/home/web/www");
    EXPECT_EQ(connection->Setup->IniPath, "/home/web/www"); // the copy takes the absolute path
    EXPECT_EQ(f.setup.IniPath, "www"); // the stored setup keeps its own
    EXPECT_EQ(ConnectionNodeText(*connection), "site[/home/web/www]");
    EXPECT_EQ(f.tree.Selected(), connection);
    EXPECT_EQ(f.tree.Shown(), connection);
    EXPECT_EQ(connection->LastNode, connection);
    EXPECT_EQ(NamesOf(*connection), (std::vector<std::string> { "a", "z", "index.html" }));
    EXPECT_EQ(f.Statuses(),
        "接続中[ftp.example.jp]......|サーバーからファイルリストを取得中[/home/web/www]......|"
        "サーバーからファイルリストを取得ＯＫ[/home/web/www]|");
    EXPECT_TRUE(f.feedback.Messages.empty());
    // Subfolder paths are the folder's path and the name.
    EXPECT_EQ(connection->FirstSubFolder()->Path, "/home/web/www/a");
}

TEST(ConnectSite, WrongPasswordLeavesNoConnection)
{
    Fixture f;
    f.setup.Password = "wrong";
    EXPECT_EQ(f.tree.Connect(&f.setup), nullptr);
    EXPECT_TRUE(f.tree.Connections().empty());
    ASSERT_EQ(f.feedback.Messages.size(), 1u);
    EXPECT_EQ(f.feedback.Messages[0].type, MessageType::Warning);
    EXPECT_EQ(f.LastMessage(), "サーバー[ftp.example.jp]に接続できませんでした。\n530 Login incorrect.");
    EXPECT_EQ(f.Statuses(), "接続中[ftp.example.jp]......|接続が失敗しました[ftp.example.jp]......|");
}

TEST(ConnectSite, MissingInitialFolderWarnsAndOpensTheLoginFolder)
{
    Fixture f;
    f.setup.IniPath = "gone";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->Path, "/home/web");
    EXPECT_EQ(f.LastMessage(),
        "初期フォルダ[gone]はサーバーに見つかりませんでした。お確かめたうえ、設定を変えてください。");
}

TEST(ConnectSite, LocalFolder)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::ofstream(dir.file("page.html")) << "x";
    Fixture f;
    TSetup local;
    local.Name = "disk";
    local.IniPath = dir.path();
    TConnection* connection = f.tree.Connect(&local);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->FtpClient, nullptr);
    EXPECT_EQ(connection->Children->size(), 2u);
    EXPECT_EQ(connection->FirstSubFolder()->Path, dir.path() + "/sub");
    EXPECT_TRUE(f.feedback.Statuses.empty()); // no status text for local folders

    TSetup missing;
    missing.Name = "missing";
    missing.IniPath = dir.file("nowhere");
    EXPECT_EQ(f.tree.Connect(&missing), nullptr);
    EXPECT_EQ(f.LastMessage(), "フォルダ[" + dir.file("nowhere") + "]は見つかりません。");
    EXPECT_EQ(f.tree.Connections().size(), 1u);

    // A folder that disappears before it is listed.
    TDirNode* sub = connection->FirstSubFolder();
    std::filesystem::remove(dir.file("sub"));
    EXPECT_FALSE(f.tree.Select(sub));
    EXPECT_EQ(f.LastMessage(), "ローカルフォルダがオープンできませんでした。");
    EXPECT_FALSE(sub->Children.has_value());
    EXPECT_EQ(f.tree.Shown(), connection); // the file list stays as it was
    EXPECT_FALSE(connection->NeedsReconnect);
}

// A site whose listing fails right after the login shows no files, least of
// all those of the site shown before it.
TEST(ConnectCommand, AFailedFirstListingShowsNoOtherSitesFiles)
{
    test::TempDir dir;
    std::ofstream(dir.file("page.html")) << "x";
    Fixture f;
    TSetup local;
    local.Name = "disk";
    local.IniPath = dir.path();
    TConnection* disk = f.tree.Connect(&local);
    ASSERT_NE(disk, nullptr);
    ASSERT_EQ(f.tree.Shown(), disk);

    f.factory.server->failList = true;
    TConnection* remote = f.tree.Connect(&f.setup);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(f.tree.Selected(), remote);
    EXPECT_EQ(f.tree.Shown(), nullptr);

    // Back on the first site its folder shows again.
    ASSERT_TRUE(f.tree.Select(disk));
    EXPECT_EQ(f.tree.Shown(), disk);
}

TEST(ConnectCommand, NoSetupAndAlreadyConnected)
{
    Fixture f;
    EXPECT_EQ(f.tree.Connect(nullptr), nullptr);
    EXPECT_EQ(f.LastMessage(), "左のComboBoxで設定名を選択してから、接続ボタンをクリックしてください。");

    TConnection* first = f.tree.Connect(&f.setup);
    ASSERT_NE(first, nullptr);
    TDirNode* sub = first->FirstSubFolder();
    ASSERT_TRUE(f.tree.Select(sub));
    // Another setup on the same host is a separate connection with its own client.
    TSetup other = f.setup;
    other.Name = "same host";
    TConnection* second = f.tree.Connect(&other);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->FtpClient.get(), first->FtpClient.get());
    EXPECT_EQ(f.factory.server->connects, 2);

    // Connecting the first setup again opens nothing and selects its last folder.
    EXPECT_EQ(f.tree.Connect(&f.setup), first);
    EXPECT_EQ(f.feedback.Messages.back().type, MessageType::Information);
    EXPECT_EQ(f.LastMessage(), "既に接続されています。");
    EXPECT_EQ(f.factory.server->connects, 2);
    EXPECT_EQ(f.tree.Selected(), sub);
    EXPECT_EQ(f.tree.Connections().size(), 2u);
}

TEST(WalkToLastPath, ReachesAFolderThreeLevelsDown)
{
    Fixture f;
    f.setup.IniPath = "/home/web/www";
    f.setup.LastLoginPath = true;
    f.setup.LastPath = "/home/web/www/a/b/c";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    ASSERT_NE(f.tree.Selected(), nullptr);
    EXPECT_EQ(f.tree.Selected()->Path, "/home/web/www/a/b/c");
    EXPECT_EQ(f.tree.Shown(), f.tree.Selected());
    EXPECT_EQ(NamesOf(*f.tree.Shown()), (std::vector<std::string> { "deep.html" }));
    EXPECT_EQ(connection->LastNode, f.tree.Selected());
    // Only the folders on the way were listed.
    std::vector<std::string> lists;
    for (const std::string& line : f.factory.server->log) {
        if (line.rfind("LIST", 0) == 0)
            lists.push_back(line);
    }
    EXPECT_EQ(lists,
        (std::vector<std::string> {
            "LIST /home/web/www", "LIST /home/web/www/a", "LIST /home/web/www/a/b", "LIST /home/web/www/a/b/c" }));
}

TEST(WalkToLastPath, StopsAtTheParentOfAFolderThatIsGone)
{
    Fixture f;
    f.setup.IniPath = "/home/web/www";
    f.setup.LastLoginPath = true;
    f.setup.LastPath = "/home/web/www/a/b/gone";
    ASSERT_NE(f.tree.Connect(&f.setup), nullptr);
    EXPECT_EQ(f.tree.Selected()->Path, "/home/web/www/a/b");

    // Without the flag the top folder is selected.
    Fixture g;
    g.setup.LastPath = "/home/web/www/a";
    TConnection* top = g.tree.Connect(&g.setup);
    EXPECT_EQ(g.tree.Selected(), top);
}

TEST(WalkToLastPath, FromARootTopFolderAndPastPrefixLookalikes)
{
    Fixture f;
    f.factory.server->home = "/";
    f.factory.server->AddFolder("/ab");
    f.factory.server->AddFolder("/a/x");
    f.setup.LastLoginPath = true;
    f.setup.LastPath = "/a/x";
    ASSERT_NE(f.tree.Connect(&f.setup), nullptr);
    EXPECT_EQ(f.tree.Selected()->Path, "/a/x");
}

TEST(ListFolder, FailureMarksTheConnectionAndReconnectRenewsOnlyTheClient)
{
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    TDirNode* a = connection->FirstSubFolder();

    f.factory.server->down = true;
    EXPECT_FALSE(f.tree.Select(a));
    EXPECT_TRUE(connection->NeedsReconnect);
    EXPECT_FALSE(a->Children.has_value());
    EXPECT_EQ(f.LastMessage(),
        "サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。\n"
        "Couldn't connect to server");
    EXPECT_EQ(
        codec::DecodeSjis(f.feedback.Statuses.back()), "サーバーからファイルリストを取得失敗[/home/web/www/a]");

    // Reconnect does nothing for a connection that is not marked, fails while
    // the server is down, and works once it is back; the tree stays.
    EXPECT_FALSE(f.tree.Reconnect(nullptr));
    EXPECT_FALSE(f.tree.Reconnect(f.tree.ReconnectTarget(nullptr)));
    EXPECT_EQ(codec::DecodeSjis(f.feedback.Statuses.back()), "接続失敗");
    f.factory.server->down = false;
    const int logins = f.factory.server->connects;
    EXPECT_TRUE(f.tree.Reconnect(connection));
    EXPECT_EQ(f.factory.server->connects, logins + 1);
    EXPECT_EQ(codec::DecodeSjis(f.feedback.Statuses.back()), "接続OK");
    EXPECT_FALSE(connection->NeedsReconnect);
    EXPECT_EQ(connection->Setup->IniPath, "/home/web/www");
    EXPECT_EQ(connection->FirstSubFolder(), a);
    EXPECT_TRUE(f.tree.Select(a));
    EXPECT_EQ(NamesOf(*a), (std::vector<std::string> { "b", "b2" }));
    EXPECT_FALSE(f.tree.Reconnect(connection)); // only after a failure
}

TEST(ListFolder, ReconnectKeepsTheSetupsInitialFolderWhereTheServerReportsAnother)
{
    // The folder the connection opened is gone by the time of the reconnect:
    // the server puts the session in the login folder instead. The setup's
    // initial folder stays what it was.
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    const std::string initial = connection->Setup->IniPath;
    EXPECT_EQ(initial, "/home/web/www");
    f.factory.server->down = true;
    EXPECT_FALSE(f.tree.Select(connection->FirstSubFolder()));
    ASSERT_TRUE(connection->NeedsReconnect);
    f.factory.server->down = false;
    std::erase_if(f.factory.server->folders,
        [](const std::string& folder) { return folder.rfind("/home/web/www", 0) == 0; });
    EXPECT_TRUE(f.tree.Reconnect(connection));
    EXPECT_EQ(connection->Path, "/home/web");
    EXPECT_EQ(connection->Setup->IniPath, initial);
}

TEST(ConnectSite, AHostNameThatCannotBeAnAddressIsRefusedBeforeConnecting)
{
    for (const char* host : { "ftp.example.jp/www", "user@ftp.example.jp", "ftp.example.jp#x", "a?b",
             "ftp example.jp", " ftp.example.jp", "[::1" }) {
        SCOPED_TRACE(host);
        Fixture f;
        f.setup.Host = host;
        EXPECT_EQ(f.tree.Connect(&f.setup), nullptr);
        EXPECT_TRUE(f.factory.made.empty());
        EXPECT_EQ(f.LastMessage(),
            "サーバー[" + std::string(host) + "]に接続できませんでした。\nホスト名[" + host
                + "]には使えない文字（空白、/ # @ ? \\ など）が含まれています。設定を確かめてください。");
    }
    for (const char* host : { "ftp.example.jp", "192.0.2.1", "[2001:db8::1]", "2001:db8::1" }) {
        SCOPED_TRACE(host);
        Fixture f;
        f.setup.Host = host;
        EXPECT_NE(f.tree.Connect(&f.setup), nullptr);
    }
}

// Lines of the listing that cannot be read (another style, a date that does
// not exist) are named in a warning; the entries of the others are listed,
// the huge file among them, and the connection stays usable.
TEST(ListFolder, UnreadableLinesAreNamedAndTheOthersListed)
{
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    TDirNode* a = connection->FirstSubFolder();
    f.factory.server->extraListing = "01-15-02  10:30AM  1234 index.htm\r\n"
                                     "-rw-r--r--   1 web  web   4294967296 Feb  2  2020 backup.tar\r\n"
                                     "-rw-r--r--   1 web  web   5 Feb 30  2020 bad.html\r\n";
    EXPECT_TRUE(f.tree.Select(a));
    EXPECT_EQ(f.LastMessage(),
        "サーバーのファイルリストに読めない行がありました。その行のファイルは表示していません。\n"
        "line 3: Invalid argument to date encode; line 5: Invalid argument to date encode");
    EXPECT_FALSE(connection->NeedsReconnect);
    ASSERT_TRUE(a->Children.has_value());
    EXPECT_EQ(NamesOf(*a), (std::vector<std::string> { "b", "b2", "backup.tar" }));
    EXPECT_EQ(static_cast<const TFileNode&>(*a->Children->back()).Size, 4294967296);
    EXPECT_EQ(a->SubFolders().size(), 2u);
    EXPECT_EQ(f.tree.Shown(), a);
}

TEST(RefreshCommand, ClosesDocumentsBelowAndListsAgainInListingOrder)
{
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    ASSERT_NE(connection, nullptr);
    f.tree.ColumnClick(fcName);
    f.tree.ColumnClick(fcName); // descending
    EXPECT_EQ(NamesOf(*connection), (std::vector<std::string> { "z", "index.html", "a" }));
    TDirNode* a = connection->FirstSubFolder();
    ASSERT_EQ(a->Name, "a");
    ASSERT_TRUE(f.tree.Select(a));
    ASSERT_TRUE(f.tree.Select(connection));
    EXPECT_EQ(NamesOf(*connection), (std::vector<std::string> { "z", "index.html", "a" }));

    // Cancelled: nothing changes.
    std::string askedFor;
    EXPECT_FALSE(f.tree.Refresh([&](const std::string& path) {
        askedFor = path;
        return false;
    }));
    EXPECT_EQ(askedFor, "/home/web/www");
    EXPECT_EQ(connection->FirstSubFolder(), a);

    f.factory.server->AddFile("/home/web/www/new.txt", "n");
    EXPECT_TRUE(f.tree.Refresh([](const std::string&) { return true; }));
    EXPECT_EQ(NamesOf(*connection), (std::vector<std::string> { "a", "z", "index.html", "new.txt" }));
    EXPECT_EQ(f.tree.Shown(), connection);
    EXPECT_EQ(connection->LastNode, connection);
}

TEST(RefreshCommand, LastNodeBelowTheRefreshedFolderIsNotLeftDangling)
{
    Fixture f;
    f.setup.IniPath = "www";
    TConnection* connection = f.tree.Connect(&f.setup);
    TDirNode* a = connection->FirstSubFolder();
    ASSERT_TRUE(f.tree.Select(a));
    ASSERT_TRUE(f.tree.Select(a->FirstSubFolder()));
    // The selection goes back to the top without passing the tree selection
    // logic's listing, as a right click would.
    ASSERT_TRUE(f.tree.Select(connection));
    connection->LastNode = a->FirstSubFolder();
    ASSERT_TRUE(f.tree.Refresh(nullptr));
    EXPECT_EQ(connection->LastNode, connection);
    TIniList store;
    std::vector<std::unique_ptr<TSetup>> setups;
    setups.push_back(CopySetup(f.setup));
    setups[0]->LastLoginPath = true;
    SaveSetups(store, setups, 0, f.tree.Connections());
    EXPECT_EQ(setups[0]->LastPath, "/home/web/www");
}

TEST(DisconnectCommand, SavesClosesAndSelectsTheNextConnection)
{
    Fixture f;
    EXPECT_FALSE(f.tree.Disconnect(nullptr, nullptr));
    EXPECT_EQ(f.LastMessage(), "切断ボタンを押す前に画面下にある接続しているアイテムひとつを選択してください。");

    TConnection* first = f.tree.Connect(&f.setup);
    TSetup other = f.setup;
    other.Name = "other";
    TConnection* second = f.tree.Connect(&other);
    ASSERT_TRUE(first && second);
    TDirNode* www = nullptr;
    for (TDirNode* d : first->SubFolders())
        www = d->Name == "www" ? d : www;
    ASSERT_TRUE(f.tree.Select(www));

    std::vector<std::string> calls;
    // Cancel in the documents: the connection stays.
    EXPECT_FALSE(f.tree.Disconnect([&] { calls.push_back("save"); },
        [&](TConnection& c) {
            calls.push_back("close " + c.Setup->Name);
            return false;
        }));
    EXPECT_EQ(calls, (std::vector<std::string> { "save", "close site" }));
    EXPECT_EQ(f.tree.Connections().size(), 2u);

    EXPECT_TRUE(f.tree.Disconnect(nullptr, [](TConnection&) { return true; }));
    ASSERT_EQ(f.tree.Connections().size(), 1u);
    EXPECT_EQ(f.tree.Selected(), second->LastNode);
    EXPECT_EQ(f.factory.server->log.back(), "QUIT");

    EXPECT_TRUE(f.tree.Disconnect(nullptr, nullptr, true));
    EXPECT_TRUE(f.tree.Connections().empty());
    EXPECT_EQ(f.tree.Selected(), nullptr);
    EXPECT_EQ(f.tree.Shown(), nullptr);
}

TEST(PeerTrust, AskedOnceAndRememberedInTheSetup)
{
    for (const SiteProtocol protocol : { SiteProtocol::Ftps, SiteProtocol::Sftp }) {
        Fixture f;
        f.factory.server->peerFingerprint = "FP1";
        f.setup.Protocol = protocol;

        f.feedback.Trust = false;
        EXPECT_EQ(f.tree.Connect(&f.setup), nullptr);
        ASSERT_EQ(f.feedback.Questions.size(), 1u);
        EXPECT_NE(codec::DecodeSjis(f.feedback.Questions[0]).find("FP1"), std::string::npos);

        f.feedback.Trust = true;
        TConnection* connection = f.tree.Connect(&f.setup);
        ASSERT_NE(connection, nullptr);
        const std::string& stored
            = protocol == SiteProtocol::Sftp ? f.setup.TrustedHostKey : f.setup.TrustedCertificate;
        EXPECT_EQ(stored, "FP1");
        EXPECT_EQ(f.factory.made.back().Protocol, protocol);
        f.tree.CloseAll();

        // Trusted: no more questions.
        EXPECT_NE(f.tree.Connect(&f.setup), nullptr);
        EXPECT_EQ(f.feedback.Questions.size(), 2u);
        f.tree.CloseAll();

        // A changed key is asked about again, saying so.
        f.factory.server->peerFingerprint = "FP2";
        f.feedback.Trust = false;
        EXPECT_EQ(f.tree.Connect(&f.setup), nullptr);
        ASSERT_EQ(f.feedback.Questions.size(), 3u);
        // Both the certificate and the host key question say so, with both fingerprints.
        const std::string changed = codec::DecodeSjis(f.feedback.Questions[2]);
        EXPECT_NE(changed.find("登録済みの鍵と違います。なりすましの恐れがあります。"), std::string::npos)
            << changed;
        EXPECT_NE(changed.find("FP2"), std::string::npos) << changed;
        EXPECT_NE(changed.find("登録済みの指紋: FP1"), std::string::npos) << changed;
        EXPECT_EQ(stored, "FP1");
    }
}

} // namespace
} // namespace pw
