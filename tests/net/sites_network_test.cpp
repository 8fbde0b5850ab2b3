// The connection and document logic over the real client and real servers.

#include "net/curlftpclient.h"
#include "net/netfixture.h"
#include "net/servers.h"
#include "sites/connection.h"
#include "sites/documents.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::net {
namespace {

using test::TempDir;

std::string FileText(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

std::string Decoded(const std::string& bytes)
{
    return codec::DecodeSjis(bytes);
}

TFileNode* FileIn(TDirNode& folder, const std::string& name)
{
    for (const auto& child : *folder.Children) {
        if (child->Name == name && !child->IsFolder())
            return static_cast<TFileNode*>(child.get());
    }
    return nullptr;
}

TDirNode* FolderIn(TDirNode& folder, const std::string& name)
{
    for (TDirNode* sub : folder.SubFolders()) {
        if (sub->Name == name)
            return sub;
    }
    return nullptr;
}

// What the tests share for either protocol: a home with the test pages, the
// tree, and a setup whose paths are relative to the home's "www" folder.
class SitesOverNetwork : public ::testing::Test {
protected:
    void Fill() { test::FillHome(Home()); }
    std::string Home() const { return m_dir.path() + "/home"; }
    std::string LastMessage() const
    {
        return m_feedback.Messages.empty() ? std::string() : Decoded(m_feedback.Messages.back().text);
    }

    TempDir m_dir;
    FeedbackLog m_feedback;
    ConnectionTree m_tree { CurlFtpClientFactory(), m_feedback };
    TSetup m_setup;
    TransferBuffer m_buffer;
};

class FtpSites : public SitesOverNetwork {
protected:
    void SetUp() override
    {
        Fill();
        ASSERT_TRUE(m_server.Start(Home())) << "pyftpdlib did not start";
        m_setup.Name = "test site";
        m_setup.Host = "127.0.0.1";
        m_setup.Port = m_server.port;
        m_setup.User = m_server.user;
        m_setup.Password = m_server.password;
        m_setup.Kind = skFtp;
        m_setup.RootURL = "http://example.jp/";
    }
    test::FtpServer m_server;
};

TEST_F(FtpSites, WrongPasswordAndMissingInitialFolder)
{
    m_setup.Password = "wrong";
    EXPECT_EQ(m_tree.Connect(&m_setup), nullptr);
    EXPECT_TRUE(m_tree.Connections().empty());
    EXPECT_EQ(LastMessage().rfind("サーバー[127.0.0.1]に接続できませんでした。\n", 0), 0u) << LastMessage();
    EXPECT_NE(LastMessage().find("530"), std::string::npos);

    m_setup.Password = m_server.password;
    m_setup.IniPath = "/nowhere";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(Decoded(m_feedback.Messages.back().text),
        "初期フォルダ[/nowhere]はサーバーに見つかりませんでした。お確かめたうえ、設定を変えてください。");
    EXPECT_EQ(connection->Path, "/");
    EXPECT_EQ(ConnectionNodeText(*connection), "test site[/]");
    EXPECT_NE(FolderIn(*connection, "www"), nullptr);
}

TEST_F(FtpSites, WalksToTheLastFolderAndStopsWhereAFolderIsGone)
{
    m_setup.IniPath = "www";
    m_setup.LastLoginPath = true;
    m_setup.LastPath = "/www/a/b/c";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->Path, "/www");
    ASSERT_NE(m_tree.Selected(), nullptr);
    EXPECT_EQ(m_tree.Selected()->Path, "/www/a/b/c");
    ASSERT_NE(FileIn(*m_tree.Selected(), "deep.html"), nullptr);
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "サーバーからファイルリストを取得ＯＫ[/www/a/b/c]");

    // The symbolic link is a file entry; the name with a blank is whole.
    EXPECT_NE(FileIn(*connection, "link"), nullptr);
    EXPECT_NE(FileIn(*connection, "my page.html"), nullptr);
    EXPECT_NE(FolderIn(*connection, test::kSjisFolder), nullptr);

    // Next time the folder on the way is gone: its parent is selected.
    m_tree.CloseAll();
    std::filesystem::remove_all(Home() + "/www/a/b");
    ASSERT_NE(m_tree.Connect(&m_setup), nullptr);
    EXPECT_EQ(m_tree.Selected()->Path, "/www/a");
}

TEST_F(FtpSites, FolderRemovedAfterListingFailsAndMarksTheConnection)
{
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    TDirNode* a = FolderIn(*connection, "a");
    ASSERT_NE(a, nullptr);
    std::filesystem::remove_all(Home() + "/www/a");
    EXPECT_FALSE(m_tree.Select(a));
    EXPECT_TRUE(connection->NeedsReconnect);
    EXPECT_EQ(
        LastMessage().rfind("サーバーにリストコマンドが実行できませんでした。再接続ボタンを押してください。\n", 0),
        0u);
    EXPECT_NE(LastMessage().find("550"), std::string::npos) << LastMessage();
    // The server is still there: reconnecting works and other folders list.
    EXPECT_TRUE(m_tree.Reconnect(connection));
    EXPECT_TRUE(m_tree.Select(FolderIn(*connection, "dir with space")));
}

TEST_F(FtpSites, PagesDownloadAndUploadExactly)
{
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    TFileNode* index = FileIn(*connection, "index.html");
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(PreviewURL(*index), "http://example.jp/index.html");

    DocumentText text;
    ASSERT_TRUE(LoadDocument(*index, text, m_buffer, m_feedback));
    EXPECT_EQ(text.Lines, (std::vector<std::string> { "<html>", "<p>\x93\xFA\x96\x7B\x8C\xEA</p>", "</html>" }));
    text.Lines.Insert(1, "<!-- ad -->");
    text.Modified = true;
    ASSERT_TRUE(SaveDocument(*index, text, m_buffer, m_feedback));
    EXPECT_EQ(FileText(Home() + "/www/index.html"),
        "<html>\r\n<!-- ad -->\r\n<p>\x93\xFA\x96\x7B\x8C\xEA</p>\r\n</html>\r\n");
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/" + std::string(".pagewick-upload-index.html")));
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "ファイルをサーバーに保存ＯＫ[/www/index.html]......");

    // A short page after the long one: exactly its bytes, on the server and in the buffer.
    TFileNode* shortPage = FileIn(*connection, "my page.html");
    ASSERT_NE(shortPage, nullptr);
    DocumentText shortText;
    ASSERT_TRUE(LoadDocument(*shortPage, shortText, m_buffer, m_feedback));
    EXPECT_EQ(m_buffer.Bytes, "blank\n");
    shortText.Lines = { "x" };
    shortText.Modified = true;
    ASSERT_TRUE(SaveDocument(*shortPage, shortText, m_buffer, m_feedback));
    EXPECT_EQ(FileText(Home() + "/www/my page.html"), "x\r\n");

    // A page in a Shift_JIS folder.
    TDirNode* sjis = FolderIn(*connection, test::kSjisFolder);
    ASSERT_TRUE(m_tree.Select(sjis));
    TFileNode* sjisPage = FileIn(*sjis, test::kSjisFolder + ".html");
    ASSERT_NE(sjisPage, nullptr);
    ASSERT_TRUE(LoadDocument(*sjisPage, text, m_buffer, m_feedback));
    EXPECT_EQ(text.Lines, std::vector<std::string> { "sjis" });
}

TEST_F(FtpSites, ServerStoppedBetweenCommandsThenReconnect)
{
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    TDirNode* a = FolderIn(*connection, "a");
    TFileNode* index = FileIn(*connection, "index.html");
    const int port = m_server.port;
    m_server.Stop();

    EXPECT_FALSE(m_tree.Select(a));
    EXPECT_TRUE(connection->NeedsReconnect);
    DocumentText text;
    EXPECT_FALSE(LoadDocument(*index, text, m_buffer, m_feedback));
    EXPECT_EQ(
        LastMessage().rfind("サーバーからダウンロードができませんでした。再接続ボタンを押してください。\n", 0),
        0u);

    // Reconnect fails while the server is away and works once it is back.
    EXPECT_FALSE(m_tree.Reconnect(m_tree.ReconnectTarget(nullptr)));
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "接続失敗");
    EXPECT_TRUE(connection->NeedsReconnect);
    ASSERT_TRUE(m_server.Start(Home(), "", port));
    EXPECT_TRUE(m_tree.Reconnect(connection));
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "接続OK");
    EXPECT_FALSE(connection->NeedsReconnect);
    // The tree stayed: the same entries, now listed and loaded.
    EXPECT_EQ(FolderIn(*connection, "a"), a);
    EXPECT_TRUE(m_tree.Select(a));
    EXPECT_TRUE(LoadDocument(*index, text, m_buffer, m_feedback));
}

TEST_F(FtpSites, UploadBrokenByAStoppedServerLeavesThePage)
{
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    TFileNode* index = FileIn(*connection, "index.html");
    m_server.Stop();
    DocumentText text { { "replaced" }, true };
    EXPECT_FALSE(SaveDocument(*index, text, m_buffer, m_feedback));
    EXPECT_TRUE(text.Modified);
    EXPECT_TRUE(connection->NeedsReconnect);
    EXPECT_EQ(FileText(Home() + "/www/index.html"), test::kSjisPage);
}

// Restarts the server with other permissions or faults; the setup follows its port.
void Restart(test::FtpServer& server, TSetup& setup, const std::string& home, const std::string& permissions,
    std::vector<std::string> faults)
{
    server.Stop();
    server.permissions = permissions;
    server.faults = std::move(faults);
    ASSERT_TRUE(server.Start(home)) << "pyftpdlib did not start";
    setup.Port = server.port;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(FtpSites, RenameOntoThePageRefusedGoesThroughABackup)
{
    ASSERT_NO_FATAL_FAILURE(Restart(m_server, m_setup, Home(), "elradfmwMT", { "--refuse-rename-over" }));
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    DocumentText text { { "replaced" }, true };
    ASSERT_TRUE(SaveDocument(*FileIn(*connection, "index.html"), text, m_buffer, m_feedback)) << LastMessage();
    EXPECT_EQ(FileText(Home() + "/www/index.html"), "replaced\r\n");
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-upload-index.html"));
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-backup-index.html"));
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "ファイルをサーバーに保存ＯＫ[/www/index.html]......");
}

TEST_F(FtpSites, NoRenamesAndADroppedStoreLeaveThePageWhole)
{
    // The server refuses every rename and drops the session in the middle of
    // any upload to the page's own name: only a direct store could cut it.
    const std::string page(8000, 'p');
    ASSERT_TRUE(WriteFileAtomically(Home() + "/www/index.html", page).ok);
    ASSERT_NO_FATAL_FAILURE(Restart(
        m_server, m_setup, Home(), "elradmwMT", { "--drop-stor-of", "index.html", "--drop-after", "3000" }));
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    DocumentText text { { std::string(9000, 'n') }, true };
    EXPECT_FALSE(SaveDocument(*FileIn(*connection, "index.html"), text, m_buffer, m_feedback));
    EXPECT_TRUE(text.Modified);
    EXPECT_EQ(FileText(Home() + "/www/index.html"), page);
    // The upload is kept whole under its temporary name, and the message names both.
    EXPECT_EQ(FileText(Home() + "/www/.pagewick-upload-index.html"), std::string(9000, 'n') + "\r\n");
    EXPECT_EQ(
        LastMessage().rfind("サーバーにアップロードができませんでした。再接続ボタンを押してください。\n"
                            "サーバーが名前の変更を受け付けなかったため、ファイル[/www/index.html]は元のままです。"
                            "アップロードした内容は[/www/.pagewick-upload-index.html]に残っています。\n",
            0),
        0u)
        << LastMessage();

    // Storing directly is there only when the setup asks for it.
    connection->Setup->StoreDirectly = true;
    DocumentText other { { "direct" }, true };
    ASSERT_TRUE(SaveDocument(*FileIn(*connection, "my page.html"), other, m_buffer, m_feedback)) << LastMessage();
    EXPECT_EQ(FileText(Home() + "/www/my page.html"), "direct\r\n");
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-upload-my page.html"));
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()),
        "ファイルをサーバーに保存ＯＫ[/www/my page.html]......"
        "設定に従い、一時ファイルを使わずに直接上書きしました。");
}

TEST_F(FtpSites, AnUploadDroppedMidwayRemovesItsTemporaryFile)
{
    const std::string page(8000, 'p');
    ASSERT_TRUE(WriteFileAtomically(Home() + "/www/index.html", page).ok);
    ASSERT_NO_FATAL_FAILURE(Restart(m_server, m_setup, Home(), "elradfmwMT",
        { "--drop-stor-of", ".pagewick-upload-index.html", "--drop-after", "3000" }));
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    DocumentText text { { std::string(9000, 'n') }, true };
    EXPECT_FALSE(SaveDocument(*FileIn(*connection, "index.html"), text, m_buffer, m_feedback));
    EXPECT_TRUE(connection->NeedsReconnect);
    EXPECT_EQ(FileText(Home() + "/www/index.html"), page);
    // The server is still there: the cut-off temporary file is removed.
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-upload-index.html"));
}

TEST_F(FtpSites, UploadsKeepThePagesMode)
{
    ::chmod((Home() + "/www/index.html").c_str(), 0755);
    ::chmod((Home() + "/www/my page.html").c_str(), 0640);
    m_setup.IniPath = "/www";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    for (const char* name : { "index.html", "my page.html" }) {
        DocumentText text { { "kept" }, true };
        ASSERT_TRUE(SaveDocument(*FileIn(*connection, name), text, m_buffer, m_feedback)) << LastMessage();
        EXPECT_EQ(FileText(Home() + "/www/" + name), "kept\r\n");
    }
    EXPECT_EQ(ModeOf(Home() + "/www/index.html"), 0755u);
    EXPECT_EQ(ModeOf(Home() + "/www/my page.html"), 0640u);
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()), "ファイルをサーバーに保存ＯＫ[/www/my page.html]......");

    // A server that refuses SITE CHMOD: the status says so.
    m_tree.CloseAll();
    ::chmod((Home() + "/www/index.html").c_str(), 0700);
    ASSERT_NO_FATAL_FAILURE(Restart(m_server, m_setup, Home(), "elradfmwT", {}));
    connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr);
    DocumentText text { { "cgi" }, true };
    ASSERT_TRUE(SaveDocument(*FileIn(*connection, "index.html"), text, m_buffer, m_feedback)) << LastMessage();
    EXPECT_EQ(Decoded(m_feedback.Statuses.back()),
        "ファイルをサーバーに保存ＯＫ[/www/index.html]......"
        "ただし、サーバーがパーミッション(700)の設定を受け付けませんでした。");
}

class SftpSites : public SitesOverNetwork {
protected:
    void SetUp() override
    {
        Fill();
        std::filesystem::create_directory(m_dir.path() + "/sshd");
        if (!m_sshd.Start(m_dir.path() + "/sshd"))
            GTEST_SKIP() << "sshd could not start: " << m_sshd.error;
        m_setup.Name = "sftp site";
        m_setup.Host = "127.0.0.1";
        m_setup.Port = m_sshd.port;
        m_setup.User = m_sshd.user;
        m_setup.KeyFile = m_sshd.clientKey;
        m_setup.Protocol = SiteProtocol::Sftp;
        m_setup.Kind = skFtp;
        m_setup.IniPath = Home() + "/www";
    }
    test::SshServer m_sshd;
};

TEST_F(SftpSites, StartsInTheHomeAndKeepsModes)
{
    m_setup.TrustedHostKey = m_sshd.hostKeySha256;
    m_setup.IniPath.clear();
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr) << LastMessage();
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(connection->Path, std::filesystem::canonical(account->pw_dir).string());
    m_tree.CloseAll();

    ::chmod((Home() + "/www/index.html").c_str(), 0755);
    m_setup.IniPath = Home() + "/www";
    connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr) << LastMessage();
    DocumentText text { { "#!/bin/sh" }, true };
    ASSERT_TRUE(SaveDocument(*FileIn(*connection, "index.html"), text, m_buffer, m_feedback)) << LastMessage();
    EXPECT_EQ(FileText(Home() + "/www/index.html"), "#!/bin/sh\r\n");
    EXPECT_EQ(ModeOf(Home() + "/www/index.html"), 0755u);
    // OpenSSH renames only to free names: the page went aside and the backup is gone.
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-upload-index.html"));
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-backup-index.html"));
    EXPECT_EQ(
        Decoded(m_feedback.Statuses.back()), "ファイルをサーバーに保存ＯＫ[" + Home() + "/www/index.html]......");
}

TEST_F(SftpSites, TrustWalkLoadSaveAndReconnect)
{
    // The first connection asks about the host key; Yes stores it with the setup.
    m_feedback.Trust = true;
    m_setup.LastLoginPath = true;
    m_setup.LastPath = Home() + "/www/a/b/c";
    TConnection* connection = m_tree.Connect(&m_setup);
    ASSERT_NE(connection, nullptr) << LastMessage();
    ASSERT_EQ(m_feedback.Questions.size(), 1u);
    EXPECT_EQ(m_setup.TrustedHostKey, m_sshd.hostKeySha256);
    EXPECT_EQ(m_tree.Selected()->Path, Home() + "/www/a/b/c");
    ASSERT_TRUE(m_tree.Select(connection));
    EXPECT_EQ(connection->Children->size(), 6u); // no "." and ".."

    TFileNode* index = FileIn(*connection, "index.html");
    ASSERT_NE(index, nullptr);
    DocumentText text;
    ASSERT_TRUE(LoadDocument(*index, text, m_buffer, m_feedback));
    text.Modified = true;
    ASSERT_TRUE(SaveDocument(*index, text, m_buffer, m_feedback));
    EXPECT_EQ(FileText(Home() + "/www/index.html"), "<html>\r\n<p>\x93\xFA\x96\x7B\x8C\xEA</p>\r\n</html>\r\n");
    // Replaced through the temporary name (the SFTP rename over the page), not directly.
    EXPECT_EQ(
        Decoded(m_feedback.Statuses.back()), "ファイルをサーバーに保存ＯＫ[" + Home() + "/www/index.html]......");
    EXPECT_FALSE(std::filesystem::exists(Home() + "/www/.pagewick-upload-index.html"));

    // Server stopped between commands: marked; reconnect after it is back.
    TDirNode* a = FolderIn(*connection, "dir with space");
    m_sshd.Stop();
    EXPECT_FALSE(m_tree.Select(a));
    EXPECT_TRUE(connection->NeedsReconnect);
    ASSERT_TRUE(m_sshd.process.Start({ "/usr/sbin/sshd", "-D", "-e", "-f", m_sshd.folder + "/sshd_config" }));
    ASSERT_TRUE(test::WaitForPort(m_sshd.port, 10));
    EXPECT_TRUE(m_tree.Reconnect(connection)) << LastMessage();
    EXPECT_EQ(m_feedback.Questions.size(), 1u); // the key is trusted now
    EXPECT_TRUE(m_tree.Select(a));
    EXPECT_NE(FileIn(*a, "a b#c.html"), nullptr);
}

} // namespace
} // namespace pw::net
