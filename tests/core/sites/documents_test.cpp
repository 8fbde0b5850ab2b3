#include "base/files.h"
#include "core/sites/fakeftp.h"
#include "sites/connection.h"
#include "sites/documents.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pw {
namespace {

using test::FakeFactory;

struct Remote {
    FakeFactory factory;
    FeedbackLog feedback;
    ConnectionTree tree { factory.Make(), feedback };
    TSetup setup;
    TConnection* connection = nullptr;
    TransferBuffer buffer;

    explicit Remote(const std::vector<std::pair<std::string, std::string>>& moreFiles = {})
    {
        setup.Name = "site";
        setup.Host = "h";
        setup.User = "web";
        setup.Password = "secret";
        setup.Kind = skFtp;
        setup.IniPath = "www";
        factory.server->AddFile("/home/web/www/long.html", "line one\nline two\nline three\n");
        factory.server->AddFile("/home/web/www/short.html", "a\n");
        for (const auto& [name, bytes] : moreFiles)
            factory.server->AddFile("/home/web/www/" + name, bytes);
        connection = tree.Connect(&setup);
    }
    TFileNode& File(const std::string& name)
    {
        for (const auto& child : *connection->Children) {
            if (child->Name == name)
                return static_cast<TFileNode&>(*child);
        }
        throw std::runtime_error("no entry " + name);
    }
    std::string LastMessage() const { return codec::DecodeSjis(feedback.Messages.back().text); }
    std::string LastStatus() const { return codec::DecodeSjis(feedback.Statuses.back()); }
};

// A page opened for an editor tab: its bytes read in the encoding they show
// or the one forced, the mark kept out of the lines; a failed load gives none.
TEST(RemoteDocuments, LoadPageReadsTheBytesAsAPage)
{
    // "<title>表示テスト</title>" in EUC-JP, and the same text with a UTF-8 mark.
    const std::string eucTitle = "<title>\xC9\xBD\xBC\xA8\xA5\xC6\xA5\xB9\xA5\xC8</title>";
    const std::string utf8Title = "<title>\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88</title>";
    Remote r({ { "euc.html", eucTitle + "\n<p>a</p>\n" }, { "bom.html", "\xEF\xBB\xBF" + utf8Title + "\n" } });
    ASSERT_NE(r.connection, nullptr);
    const struct {
        const char* name;
        std::optional<PageEncoding> forced;
        PageEncoding encoding;
        bool mark;
        std::string firstLine;
    } cases[] = {
        { "euc.html", std::nullopt, PageEncoding::EucJp, false, eucTitle },
        { "euc.html", PageEncoding::ShiftJis, PageEncoding::ShiftJis, false, eucTitle },
        { "bom.html", std::nullopt, PageEncoding::Utf8, true, utf8Title },
    };
    for (const auto& c : cases) {
        const std::optional<PageFile> page = LoadPage(r.File(c.name), c.forced, r.buffer, r.feedback);
        ASSERT_TRUE(page) << c.name;
        EXPECT_EQ(page->Encoding, c.encoding) << c.name;
        EXPECT_EQ(page->ByteOrderMark, c.mark) << c.name;
        EXPECT_EQ(page->Break, LineBreak::CrLf) << c.name; // a page from a server
        ASSERT_FALSE(page->Lines.Empty());
        EXPECT_EQ(page->Lines[0], c.firstLine) << c.name;
    }
    r.factory.server->files.erase("/home/web/www/euc.html");
    EXPECT_FALSE(LoadPage(r.File("euc.html"), std::nullopt, r.buffer, r.feedback));
}

TEST(RemoteDocuments, LfPageComesBackWithCrLfThroughATemporaryName)
{
    Remote r;
    ASSERT_NE(r.connection, nullptr);
    TFileNode& page = r.File("long.html");
    DocumentText text;
    ASSERT_TRUE(LoadDocument(page, text, r.buffer, r.feedback));
    EXPECT_EQ(text.Lines, (std::vector<std::string> { "line one", "line two", "line three" }));
    EXPECT_FALSE(text.Modified);
    EXPECT_EQ(r.LastStatus(), "サーバーからファイルを取得ＯＫ[/home/web/www/long.html]......");

    // Unmodified: nothing is sent.
    const size_t logged = r.factory.server->log.size();
    EXPECT_TRUE(SaveDocument(page, text, r.buffer, r.feedback));
    EXPECT_EQ(r.factory.server->log.size(), logged);

    text.Modified = true;
    ASSERT_TRUE(SaveDocument(page, text, r.buffer, r.feedback));
    EXPECT_FALSE(text.Modified);
    EXPECT_EQ(r.factory.server->files["/home/web/www/long.html"], "line one\r\nline two\r\nline three\r\n");
    EXPECT_EQ(r.factory.server->files.count("/home/web/www/.pagewick-upload-long.html"), 0u);
    // The page keeps the mode its listing showed.
    const std::vector<std::string> tail(r.factory.server->log.end() - 3, r.factory.server->log.end());
    EXPECT_EQ(tail,
        (std::vector<std::string> { "STOR /home/web/www/.pagewick-upload-long.html",
            "RNFR /home/web/www/.pagewick-upload-long.html RNTO "
            "/home/web/www/long.html",
            "SITE CHMOD 644 /home/web/www/long.html" }));
    EXPECT_EQ(r.LastStatus(), "ファイルをサーバーに保存ＯＫ[/home/web/www/long.html]......");

    // A short page after the long one: exactly its bytes.
    TFileNode& shortPage = r.File("short.html");
    DocumentText shortText;
    ASSERT_TRUE(LoadDocument(shortPage, shortText, r.buffer, r.feedback));
    shortText.Modified = true;
    ASSERT_TRUE(SaveDocument(shortPage, shortText, r.buffer, r.feedback));
    EXPECT_EQ(r.factory.server->files["/home/web/www/short.html"], "a\r\n");
    EXPECT_EQ(r.buffer.Bytes, "a\r\n");
}

TEST(RemoteDocuments, ARefusedRenameNeverCutsThePage)
{
    const std::string page = "/home/web/www/short.html";
    const std::string temp = "/home/web/www/.pagewick-upload-short.html";
    const std::string backup = "/home/web/www/.pagewick-backup-short.html";
    struct Case {
        const char* what;
        bool refuseRenameOver;
        bool refuseRename;
        bool refuseRenameOfUpload; // even to a free name
        bool storeDirectly;
        bool saved;
        std::string pageAfter;
        std::vector<std::string> commands; // after the STOR
        std::string status;
    } cases[] = {
        { "renames only to free names: the page goes aside first", true, false, false, false, true, "new\r\n",
            { "RNFR " + temp + " RNTO " + page, "RNFR " + page + " RNTO " + backup,
                "RNFR " + temp + " RNTO " + page, "DELE " + backup, "SITE CHMOD 644 " + page },
            "ファイルをサーバーに保存ＯＫ[" + page + "]......" },
        { "no renames at all: the page stays, the upload keeps its name", false, true, false, false, false, "a\n",
            { "RNFR " + temp + " RNTO " + page, "RNFR " + page + " RNTO " + backup },
            "ファイルをサーバーに保存失敗[" + page + "]......" },
        { "the upload cannot be renamed: the page goes aside and comes back", false, false, true, false, false,
            "a\n",
            { "RNFR " + temp + " RNTO " + page, "RNFR " + page + " RNTO " + backup,
                "RNFR " + temp + " RNTO " + page, "RNFR " + backup + " RNTO " + page },
            "ファイルをサーバーに保存失敗[" + page + "]......" },
        { "the setup stores directly", false, true, false, true, true, "new\r\n", { "SITE CHMOD 644 " + page },
            "ファイルをサーバーに保存ＯＫ[" + page
                + "]......設定に従い、一時ファイルを使わずに直接上書きしました。" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Remote r;
        ASSERT_NE(r.connection, nullptr);
        r.factory.server->refuseRenameOver = c.refuseRenameOver;
        r.factory.server->refuseRename = c.refuseRename;
        r.factory.server->refuseRenameFrom = c.refuseRenameOfUpload ? temp : "";
        r.connection->Setup->StoreDirectly = c.storeDirectly;
        DocumentText text { { "new" }, true };
        const size_t logged = r.factory.server->log.size();
        EXPECT_EQ(SaveDocument(r.File("short.html"), text, r.buffer, r.feedback), c.saved);
        const std::vector<std::string> log(
            r.factory.server->log.begin() + static_cast<long>(logged) + 1, r.factory.server->log.end());
        EXPECT_EQ(r.factory.server->log[logged], "STOR " + (c.storeDirectly ? page : temp));
        EXPECT_EQ(log, c.commands);
        EXPECT_EQ(r.factory.server->files[page], c.pageAfter);
        EXPECT_EQ(r.factory.server->files.count(backup), 0u);
        EXPECT_EQ(r.factory.server->files.count(temp), c.saved ? 0u : 1u);
        EXPECT_EQ(r.LastStatus(), c.status);
        if (!c.saved) {
            EXPECT_EQ(r.factory.server->files[temp], "new\r\n");
            EXPECT_EQ(r.LastMessage(),
                "サーバーにアップロードができませんでした。再接続ボタンを押してください。\n"
                "サーバーが名前の変更を受け付けなかったため、ファイル["
                    + page + "]は元のままです。アップロードした内容は[" + temp
                    + "]に残っています。\n550 Rename refused.");
        }
    }
}

TEST(RemoteDocuments, AModeTheServerRefusesIsNamedInTheStatus)
{
    Remote r;
    r.factory.server->refuseChmod = true;
    TFileNode& page = r.File("short.html");
    page.Attributes = "-rwxr-x---";
    DocumentText text { { "cgi" }, true };
    ASSERT_TRUE(SaveDocument(page, text, r.buffer, r.feedback));
    EXPECT_EQ(r.factory.server->log.back(), "SITE CHMOD 750 /home/web/www/short.html");
    EXPECT_EQ(r.LastStatus(),
        "ファイルをサーバーに保存ＯＫ[/home/web/www/short.html]......"
        "ただし、サーバーがパーミッション(750)の設定を受け付けませんでした。");
}

TEST(ModeOfAttributes, UnixFormsOnly)
{
    const std::pair<const char*, int> cases[] = {
        { "-rw-r--r--", 0644 },
        { "-rwxr-xr-x", 0755 },
        { "-rw-------", 0600 },
        { "-rwsr-sr-t", 07755 },
        { "-rwSr-Sr-T", 07644 },
        { "----------", 0 },
        { "lrwxrwxrwx", -1 },
        { "drwxr-xr-x", -1 },
        { "", -1 },
        { "-rw-r--r", -1 },
        { "-rw-r?-r--", -1 },
    };
    for (const auto& [attributes, mode] : cases)
        EXPECT_EQ(ModeOfAttributes(attributes), mode) << attributes;
}

TEST(RemoteDocuments, UploadBrokenMidwayKeepsTheLivePageAndTheText)
{
    Remote r;
    TFileNode& page = r.File("long.html");
    r.factory.server->failStoreOf = "/home/web/www/.pagewick-upload-long.html";
    DocumentText text { { "changed" }, true };
    EXPECT_FALSE(SaveDocument(page, text, r.buffer, r.feedback));
    EXPECT_TRUE(text.Modified);
    EXPECT_EQ(text.Lines, std::vector<std::string> { "changed" });
    EXPECT_TRUE(r.connection->NeedsReconnect);
    EXPECT_EQ(r.factory.server->files["/home/web/www/long.html"], "line one\nline two\nline three\n");
    EXPECT_EQ(r.LastStatus(), "ファイルをサーバーに保存失敗[/home/web/www/long.html]......");
    EXPECT_EQ(r.LastMessage(),
        "サーバーにアップロードができませんでした。再接続ボタンを押してください。\n"
        "Couldn't connect to server");
}

TEST(RemoteDocuments, FailedDownloadMarksTheConnection)
{
    Remote r;
    TFileNode& page = r.File("long.html");
    r.factory.server->files.erase("/home/web/www/long.html");
    DocumentText text;
    EXPECT_FALSE(LoadDocument(page, text, r.buffer, r.feedback));
    EXPECT_TRUE(r.connection->NeedsReconnect);
    EXPECT_EQ(r.LastStatus(), "サーバーからファイルを取得失敗[/home/web/www/long.html]......");
    EXPECT_EQ(r.LastMessage(),
        "サーバーからダウンロードができませんでした。再接続ボタンを押してください。\n"
        "550 No such file.");
}

std::string FileText(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(LocalDocuments, SavesKeepTheFilesMode)
{
    // A page saved by the program keeps its mode (a CGI stays runnable, a
    // private page private); a new file gets the default; files that hold
    // passwords are always the owner's only.
    const mode_t mask = ::umask(022);
    struct Case {
        const char* name;
        mode_t before; // 0: the file does not exist yet
        FilePermissions permissions;
        mode_t after;
    } cases[] = {
        { "cgi.html", 0755, FilePermissions::KeepOrDefault, 0755 },
        { "group.html", 0640, FilePermissions::KeepOrDefault, 0640 },
        { "private.html", 0600, FilePermissions::KeepOrDefault, 0600 },
        { "new.html", 0, FilePermissions::KeepOrDefault, 0644 },
        { "Pagewick.ini", 0644, FilePermissions::OwnerOnly, 0600 },
        { "new.ini", 0, FilePermissions::OwnerOnly, 0600 },
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        if (c.before) {
            ASSERT_TRUE(WriteFileAtomically(path, "old\n").ok);
            ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
        }
        ASSERT_TRUE(WriteFileAtomically(path, "new\n", c.permissions).ok);
        EXPECT_EQ(ModeOf(path), c.after);
    }

    // The same through the save command of a local page.
    FeedbackLog feedback;
    ConnectionTree tree(nullptr, feedback);
    TSetup setup;
    setup.Name = "disk";
    setup.IniPath = dir.path();
    TConnection* connection = tree.Connect(&setup);
    ::umask(mask);
    ASSERT_NE(connection, nullptr);
    for (const auto& child : *connection->Children) {
        if (child->Name != "cgi.html")
            continue;
        DocumentText text { { "changed" }, true, LineBreak::Lf };
        TransferBuffer buffer;
        ASSERT_TRUE(SaveDocument(static_cast<TFileNode&>(*child), text, buffer, feedback));
    }
    EXPECT_EQ(FileText(dir.file("cgi.html")), "changed\n");
    EXPECT_EQ(ModeOf(dir.file("cgi.html")), 0755u);
}

TEST(LocalDocuments, KeepTheirLineBreakStyle)
{
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.file("lf.html"), "a\nb").ok);
    ASSERT_TRUE(WriteFileAtomically(dir.file("crlf.html"), "a\r\nb\r\n").ok);
    FeedbackLog feedback;
    ConnectionTree tree(nullptr, feedback);
    TSetup setup;
    setup.Name = "disk";
    setup.IniPath = dir.path();
    TConnection* connection = tree.Connect(&setup);
    ASSERT_NE(connection, nullptr);
    TransferBuffer buffer;
    for (const auto& child : *connection->Children) {
        auto& file = static_cast<TFileNode&>(*child);
        DocumentText text;
        ASSERT_TRUE(LoadDocument(file, text, buffer, feedback));
        text.Lines.Append("c");
        text.Modified = true;
        ASSERT_TRUE(SaveDocument(file, text, buffer, feedback));
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(file.GetPath(), bytes).ok);
        EXPECT_EQ(bytes, file.Name == "lf.html" ? "a\nb\nc\n" : "a\r\nb\r\nc\r\n");
    }
    EXPECT_TRUE(buffer.Bytes.empty()); // local files do not go through the transfer buffer
    EXPECT_TRUE(feedback.Statuses.empty());

    // Errors: the file went away; the folder cannot be written.
    auto& file = static_cast<TFileNode&>(*connection->Children->front());
    const std::string path = file.GetPath();
    std::remove(path.c_str());
    DocumentText text;
    EXPECT_FALSE(LoadDocument(file, text, buffer, feedback));
    EXPECT_EQ(codec::DecodeSjis(feedback.Messages.back().text)
                  .rfind("ローカルファイルがオープンできませんでした。\n", 0),
        0u);
    connection->Path = dir.file("missing-folder");
    text = { { "x" }, true };
    EXPECT_FALSE(SaveDocument(file, text, buffer, feedback));
    EXPECT_EQ(codec::DecodeSjis(feedback.Messages.back().text), "ローカルファイルが保存できませんでした。");
    EXPECT_TRUE(text.Modified);
}

TEST(PreviewURL, Table)
{
    struct Case {
        std::string rootUrl;
        std::string top;
        std::string entryPath; // folder of the entry
        std::string name; // empty: the folder itself
        std::string url;
    };
    const Case cases[] = {
        { "http://example.jp/", "/home/user/www", "/home/user/www/shop", "index.html",
            "http://example.jp/shop/index.html" },
        { "http://example.jp", "/home/user/www", "/home/user/www", "a.html", "http://example.jp/a.html" },
        { "", "/home/user/www", "/home/user/www/shop", "index.html", "/home/user/www/shop/index.html" },
        { "http://example.jp/~u/", "/home/user/www", "/home/user/www/shop", "", "http://example.jp/~u/shop" },
        { "http://example.jp/", "/home/user/www", "/home/user/www", "", "http://example.jp/" },
        // Outside the top folder the whole path is appended as it is.
        { "http://example.jp/", "/home/user/www", "/var", "x.html", "http://example.jp/var/x.html" },
        { "http://example.jp/", "/", "/a", "x.html", "http://example.jp/a/x.html" },
    };
    for (const Case& c : cases) {
        TConnection connection;
        connection.Setup = std::make_unique<TSetup>();
        connection.Setup->RootURL = c.rootUrl;
        connection.Setup->IniPath = c.top;
        auto folder = std::make_unique<TDirNode>();
        folder->Path = c.entryPath;
        folder->Kind = nkFolder;
        folder->Connection = &connection;
        TDirNode* dir = static_cast<TDirNode*>(connection.AddChild(std::move(folder)));
        if (c.name.empty()) {
            EXPECT_EQ(PreviewURL(*dir), c.url);
        } else {
            auto file = std::make_unique<TFileNode>();
            file->Name = c.name;
            EXPECT_EQ(PreviewURL(*dir->AddChild(std::move(file))), c.url);
        }
    }
    // At most 512 characters of the path are kept.
    TConnection connection;
    connection.Setup = std::make_unique<TSetup>();
    connection.Setup->RootURL = "r/";
    connection.Setup->IniPath = "/t";
    auto file = std::make_unique<TFileNode>();
    file->Name = std::string(600, 'n');
    connection.Path = "/t";
    EXPECT_EQ(PreviewURL(*connection.AddChild(std::move(file))), "r/" + std::string(511, 'n'));
}

TEST(Documents, WhichEntriesOpenAndPreview)
{
    TFileNode page, text, other, archive;
    page.Kind = nkPage;
    text.Kind = nkText;
    other.Kind = nkOther;
    archive.Kind = nkArchive;
    TDirNode folder;
    folder.Kind = nkFolder;
    EXPECT_TRUE(CanOpen(page) && CanOpen(text));
    EXPECT_FALSE(CanOpen(other) || CanOpen(archive) || CanOpen(folder));
    EXPECT_TRUE(CanPreview(page) && CanPreview(text) && CanPreview(folder));
    EXPECT_FALSE(CanPreview(other) || CanPreview(archive));
}

TEST(FileNode, PathAndOpenSheetOnDestruction)
{
    TDirNode root;
    root.Path = "/";
    auto file = std::make_unique<TFileNode>();
    file->Name = "a.html";
    TFileNode* f = static_cast<TFileNode*>(root.AddChild(std::move(file)));
    EXPECT_EQ(f->GetPath(), "/a.html");
    root.Path = "";
    EXPECT_EQ(f->GetPath(), "/a.html");
    root.Path = "C:\\web/sub";
    EXPECT_EQ(f->GetPath(), "C:\\web/sub/a.html");

    struct Sheet : DocumentSheet {
        bool* reported;
        explicit Sheet(bool* r)
            : reported(r)
        {
        }
        void EntryDestroyedWhileOpen() override { *reported = true; }
    };
    bool reported = false;
    f->Sheet = std::make_unique<Sheet>(&reported);
    root.ClearChildren();
    EXPECT_TRUE(reported);
}

} // namespace
} // namespace pw
