// The sites and page tabs of the window driven as a user would, through the
// real actions and buttons, on a local folder, a pyftpdlib FTP server and an
// OpenSSH SFTP server. Message boxes are answered through the message seam.

#include "base/files.h"
#include "gui/common/actionlist.h"
#include "gui/common/browserwindow.h"
#include "gui/common/messagebox.h"
#include "gui/common/terminationwatch.h"
#include "gui/common/transferrunner.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/mainwindow.h"
#include "gui/sites/fmhosts.h"
#include "gui/sites/sitesicons.h"
#include "gui/statusline.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "net/servers.h"
#include "settings/settingsfile.h"
#include "sites/recovery.h"
#include "sites/setup.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <csignal>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace pw;
using namespace pw::gui;
using pw::test::ShownStatus;

namespace {

// A Shift_JIS page with CR LF breaks and bytes a naive codec would change:
// a NUL, an unassigned lead byte pair, an IBM extension, an NEC-selected IBM
// extension, a lone lead byte and a 0x5C trail byte.
const std::string kPage = std::string("<html>\r\n<p>\x93\xFA\x96\x7B</p>\r\n") + std::string(1, '\0')
    + "\x85\x40|\xFA\x4A|\xED\x40|\x95\x5C\r\n<b>\x81</b>\r\n</html>\r\n";

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

enum class Kind { Local, Ftp, Sftp };

} // namespace

class SiteFlowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string m_home; // the folder the site shows is m_home + "/www"
    test::FtpServer m_ftp;
    test::SshServer m_ssh;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
    QList<QMessageBox::StandardButton> m_answers; // answers to the save questions, in order
    int m_trustQuestions = 0;
    bool m_acceptWarnings = false; // the answer to a warning with Yes and No

    QAction* action(const char* name) { return m_form->actionList()->actionNamed(QLatin1String(name)); }
    QToolButton* button(const char* name) { return m_form->findChild<QToolButton*>(QLatin1String(name)); }
    QTreeView* tree() { return m_form->findChild<QTreeView*>(QStringLiteral("TVConnected")); }
    QTreeView* files() { return m_form->findChild<QTreeView*>(QStringLiteral("LVFiles")); }
    QTabWidget* pages() { return m_form->findChild<QTabWidget*>(QStringLiteral("PCMain")); }

    void answerNext(QMessageBox::StandardButton answer) { m_answers << answer; }

    // Writes a settings folder with one setup of `kind` that jumps to www/a/b.
    void writeSettings(Kind kind)
    {
        const std::string folder = m_dir.filePath(QStringLiteral("settings")).toStdString();
        std::filesystem::create_directories(folder);
        TIniList store;
        TSetup setup;
        setup.Name = "site";
        setup.LastLoginPath = true;
        switch (kind) {
        case Kind::Local:
            setup.IniPath = m_home + "/www";
            break;
        case Kind::Ftp:
            setup.Host = "127.0.0.1";
            setup.Port = m_ftp.port;
            setup.User = m_ftp.user;
            setup.Password = m_ftp.password;
            setup.IniPath = "/www";
            break;
        case Kind::Sftp:
            setup.Host = "127.0.0.1";
            setup.Protocol = SiteProtocol::Sftp;
            setup.Port = m_ssh.port;
            setup.User = m_ssh.user;
            setup.KeyFile = m_ssh.clientKey;
            setup.IniPath = m_home + "/www";
            break;
        }
        setup.Kind = setup.Host.empty() ? skLocal : skFtp;
        setup.RootURL = "http://example.org/";
        setup.LastPath = setup.IniPath + "/a/b";
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(std::make_unique<TSetup>(setup));
        SaveSetups(store, setups, 0);
        QVERIFY(SaveSettingsFile(store, folder, kMainSettingsFile).ok);
    }

    void startForm()
    {
        const QString settings = m_dir.filePath(QStringLiteral("settings"));
        m_form = std::make_unique<TMainForm>(settings, settings, net::CurlFtpClientFactory());
        m_form->startUp();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QString currentFolder() { return tree()->currentIndex().data().toString(); }

    // Selects the entry `name` of the file list.
    bool selectFile(const QString& name)
    {
        QAbstractItemModel* model = files()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == name) {
                files()->selectionModel()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                return true;
            }
        }
        return false;
    }

    DocumentTab* activeTab() { return m_form->documents()->activeTab(); }
    // Types `text` at the start of the active page.
    void typeAtStart(const QString& text)
    {
        activeTab()->editor()->insertAt(text, 0, 0);
        QVERIFY(activeTab()->editor()->PageModified());
    }

    // Walks the whole flow; `pagePath` is where the page lies on disk.
    void runFlow(Kind kind)
    {
        const std::string pagePath = m_home + "/www/a/b/page.html";
        // A page from a server is saved with CR LF; the local page keeps its breaks.
        startForm();
        // The selector shows the setup's kind as the host list does.
        const QIcon kindIcon = m_form->findChild<QComboBox*>(QStringLiteral("CBSetups"))->itemIcon(0);
        QCOMPARE(kindIcon.pixmap(16).toImage(),
            ServerTypeIcon(kind == Kind::Local ? skLocal : skFtp).pixmap(16).toImage());
        QVERIFY(button("TBConnect")->isEnabled());
        button("TBConnect")->click();
        QCOMPARE(currentFolder(), QStringLiteral("b"));
        QCOMPARE(tree()->model()->rowCount(), 1);
        QVERIFY(action("RefreshDir")->isEnabled());
        QCOMPARE(m_trustQuestions, kind == Kind::Sftp ? 1 : 0);

        // Open, edit, save: only the edit differs.
        QVERIFY(selectFile(QStringLiteral("page.html")));
        QVERIFY(action("FileOpen")->isEnabled());
        action("FileOpen")->trigger();
        QCOMPARE(pages()->count(), 2);
        QCOMPARE(pages()->tabText(1), QStringLiteral("page.html"));
        // The tab and the title name the page and its site; the tab marks unsaved changes.
        QVERIFY2(pages()->tabToolTip(1).startsWith(QStringLiteral("site: ")), qPrintable(pages()->tabToolTip(1)));
        QVERIFY(pages()->tabToolTip(1).endsWith(QStringLiteral("/page.html")));
        QCOMPARE(m_form->windowTitle(), QStringLiteral("page.html - site - Pagewick(V1.1)"));
        QVERIFY(action("FileSave")->isEnabled());
        QVERIFY(!activeTab()->editor()->PageModified());
        QVERIFY(!activeTab()->editor()->isUndoAvailable());
        typeAtStart(QStringLiteral("X"));
        QCOMPARE(pages()->tabText(1), QStringLiteral("*page.html"));
        action("FileSave")->trigger();
        QVERIFY(!activeTab()->editor()->PageModified());
        QCOMPARE(pages()->tabText(1), QStringLiteral("page.html"));
        QCOMPARE(ReadFile(pagePath), "X" + kPage);
        pages()->setCurrentIndex(0);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Pagewick(V1.1)"));
        pages()->setCurrentIndex(1);

        // Close with each answer.
        typeAtStart(QStringLiteral("Y"));
        answerNext(QMessageBox::Cancel);
        action("FileCloseAct")->trigger();
        QCOMPARE(pages()->count(), 2);
        answerNext(QMessageBox::No);
        action("FileCloseAct")->trigger();
        QCOMPARE(pages()->count(), 1);
        QCOMPARE(ReadFile(pagePath), "X" + kPage);
        pages()->setCurrentIndex(0);
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        typeAtStart(QStringLiteral("Z"));
        answerNext(QMessageBox::Yes);
        action("FileCloseAct")->trigger();
        QCOMPARE(pages()->count(), 1);
        QCOMPARE(ReadFile(pagePath), "ZX" + kPage);

        // Disconnect with a modified page: Cancel keeps the connection.
        pages()->setCurrentIndex(0);
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        typeAtStart(QStringLiteral("W"));
        pages()->setCurrentIndex(0);
        QVERIFY(button("TBDisconnect")->isEnabled());
        answerNext(QMessageBox::Cancel);
        button("TBDisconnect")->click();
        QCOMPARE(tree()->model()->rowCount(), 1);
        QCOMPARE(pages()->count(), 2);

        if (kind == Kind::Ftp) {
            // The server goes away: the refresh fails and marks the connection.
            const int port = m_ftp.port;
            m_ftp.Stop();
            answerNext(QMessageBox::No); // the page below the refreshed folder closes unsaved
            action("RefreshDir")->trigger();
            QCOMPARE(pages()->count(), 1);
            QVERIFY(!m_messages.isEmpty());
            QVERIFY(m_messages.last().contains(QStringLiteral("再接続ボタンを押してください")));
            QVERIFY(button("TBReconnect")->isEnabled());
            QVERIFY(m_ftp.Start(m_home, "", port));
            button("TBReconnect")->click();
            QCOMPARE(ShownStatus(m_form.get()), QStringLiteral("接続OK"));
            QVERIFY(!button("TBReconnect")->isEnabled());
            action("RefreshDir")->trigger();
            QVERIFY(selectFile(QStringLiteral("page.html")));
        } else {
            // Refresh with an open page below: its question comes first.
            answerNext(QMessageBox::No);
            action("RefreshDir")->trigger();
            QCOMPARE(pages()->count(), 1);
            QVERIFY(selectFile(QStringLiteral("page.html")));
        }
        QCOMPARE(ReadFile(pagePath), "ZX" + kPage);

        // The last folder is stored at disconnect, and comes back at the next connect.
        button("TBDisconnect")->click();
        QCOMPARE(tree()->model()->rowCount(), 0);
        QVERIFY(!button("TBDisconnect")->isEnabled());
        button("TBConnect")->click();
        QCOMPARE(currentFolder(), QStringLiteral("b"));
        QVERIFY(m_form->close());
    }

    TFmHosts* hostList() { return m_form->findChild<TFmHosts*>(QStringLiteral("FmHosts")); }

    // Runs `work` once the host list dialog shows (it is modal: queue the work
    // before the button that opens it).
    void whileHostListOpen(std::function<void()> work)
    {
        TFmHosts* dialog = hostList();
        QTimer::singleShot(0, dialog, [dialog, work = std::move(work)] {
            QTRY_VERIFY(dialog->isVisible());
            work();
        });
    }

private slots:
    void init()
    {
        m_messages.clear();
        m_answers.clear();
        m_trustQuestions = 0;
        m_acceptWarnings = false;
        SetMessageHandler([this](MessageType type, const QString& text) {
            m_messages << text;
            if (type == MessageType::Warning && m_acceptWarnings)
                return QMessageBox::Yes;
            if (type != MessageType::Confirmation)
                return QMessageBox::Ok;
            if (!text.contains(QStringLiteral("保存しますか"))) {
                ++m_trustQuestions;
                return QMessageBox::Yes;
            }
            if (m_answers.isEmpty()) {
                qWarning("unexpected question: %s", qPrintable(text));
                return QMessageBox::Cancel;
            }
            return m_answers.takeFirst();
        });
        m_home = m_dir.filePath(QStringLiteral("home")).toStdString();
        std::filesystem::remove_all(m_home);
        std::filesystem::remove_all(m_dir.filePath(QStringLiteral("settings")).toStdString());
        std::filesystem::remove_all(m_dir.filePath(QStringLiteral("ssh")).toStdString());
        std::filesystem::create_directories(m_home + "/www/a/b");
        QVERIFY(WriteFileAtomically(m_home + "/www/a/b/page.html", kPage).ok);
        QVERIFY(WriteFileAtomically(m_home + "/www/index.html", "<html></html>\r\n").ok);
    }

    void cleanup()
    {
        m_form.reset();
        m_ftp.Stop();
        m_ssh.Stop();
        QVERIFY2(m_answers.isEmpty(), "a save question was expected but not asked");
    }

    void localFolder()
    {
        writeSettings(Kind::Local);
        runFlow(Kind::Local);
    }

    void ftpServer()
    {
        QVERIFY(m_ftp.Start(m_home));
        writeSettings(Kind::Ftp);
        runFlow(Kind::Ftp);
    }

    // A slow server: the progress dialog shows, and its Cancel button stops a
    // download (no tab) and an upload (the page on the server stays whole, the
    // page in the tab stays modified).
    void cancelledTransfers()
    {
        const std::string big = std::string(120000, 'x') + "\r\n";
        const std::string pagePath = m_home + "/www/a/b/page.html";
        QVERIFY(WriteFileAtomically(pagePath, big).ok);
        m_ftp.rate = 40000;
        QVERIFY(m_ftp.Start(m_home));
        writeSettings(Kind::Ftp);
        startForm();
        TransferRunner* runner = m_form->transferRunner();
        int shown = 0;
        bool armed = false; // only the page transfers are cancelled
        connect(runner, &TransferRunner::progressShown, this, [&] {
            if (!armed)
                return;
            armed = false;
            ++shown;
            QProgressDialog* dialog = runner->progressDialog();
            QVERIFY(dialog && dialog->isVisible());
            // The window takes no command while the transfer runs.
            QVERIFY(!action("FileOpen")->isEnabled());
            QVERIFY(!button("TBConnect")->isEnabled());
            QTimer::singleShot(100, dialog, [dialog] {
                if (auto* cancel = dialog->findChild<QPushButton*>())
                    cancel->click();
            });
        });
        button("TBConnect")->click();
        QCOMPARE(currentFolder(), QStringLiteral("b"));
        QVERIFY(selectFile(QStringLiteral("page.html")));
        armed = true;
        action("FileOpen")->trigger();
        QCOMPARE(shown, 1);
        QCOMPARE(pages()->count(), 1);
        QVERIFY(m_messages.last().contains(QStringLiteral("transfer cancelled")));
        QVERIFY(button("TBReconnect")->isEnabled());

        // A page small enough to open before the dialog shows, then a slow save.
        QVERIFY(WriteFileAtomically(pagePath, "<p>small</p>\r\n").ok);
        button("TBReconnect")->click();
        action("RefreshDir")->trigger();
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        QCOMPARE(pages()->count(), 2);
        activeTab()->editor()->insertAt(QString::fromStdString(big), 0, 0);
        armed = true;
        action("FileSave")->trigger();
        QCOMPARE(shown, 2);
        QCOMPARE(pages()->count(), 2);
        QVERIFY(activeTab()->editor()->PageModified());
        QCOMPARE(ReadFile(pagePath), std::string("<p>small</p>\r\n"));
        QVERIFY(button("TBReconnect")->isEnabled());
        answerNext(QMessageBox::No);
        QVERIFY(m_form->close());
    }

    // Pages in UTF-8 (with a byte order mark and a stray byte) and EUC-JP,
    // from a local folder and from an FTP server: shown as text, their
    // encoding in the status bar, saved byte for byte outside the edit, and
    // reopened in another encoding on request.
    void pagesInEachEncoding_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::newRow("local") << false;
        QTest::newRow("ftp") << true;
    }

    void pagesInEachEncoding()
    {
        QFETCH(bool, remote);
        const std::string utf8 = "\xEF\xBB\xBF<p>\xE6\x97\xA5\xE6\x9C\xAC</p>\xFF\r\n</html>\r\n";
        const std::string eucjp = "<meta charset=\"euc-jp\">\r\n<p>\xC6\xFC\xCB\xDC</p>\r\n";
        QVERIFY(WriteFileAtomically(m_home + "/www/a/b/utf8.html", utf8).ok);
        QVERIFY(WriteFileAtomically(m_home + "/www/a/b/eucjp.html", eucjp).ok);
        if (remote)
            QVERIFY(m_ftp.Start(m_home));
        writeSettings(remote ? Kind::Ftp : Kind::Local);
        startForm();
        button("TBConnect")->click();
        auto* label = m_form->findChild<QLabel*>(QStringLiteral("PageEncodingLabel"));

        const struct {
            const char* name;
            const std::string& bytes;
            const char* shown;
        } pagesToOpen[] = { { "utf8.html", utf8, "utf-8 (BOM)" }, { "eucjp.html", eucjp, "euc-jp" } };
        for (const auto& page : pagesToOpen) {
            pages()->setCurrentIndex(0);
            QVERIFY(selectFile(QLatin1String(page.name)));
            action("FileOpen")->trigger();
            QCOMPARE(label->text(), QLatin1String(page.shown));
            QVERIFY(activeTab()->editor()->text().contains(QStringLiteral("<p>日本</p>")));
            typeAtStart(QStringLiteral("X"));
            action("FileSave")->trigger();
            const std::string path = m_home + "/www/a/b/" + page.name;
            const bool bom = page.bytes.starts_with("\xEF\xBB\xBF");
            QCOMPARE(
                ReadFile(path), bom ? page.bytes.substr(0, 3) + "X" + page.bytes.substr(3) : "X" + page.bytes);
        }

        // The EUC-JP page read as Shift_JIS instead, as the user asks.
        m_form->findChild<QAction*>(QStringLiteral("MIEncoding_shift_jis"))->trigger();
        QCOMPARE(pages()->count(), 3);
        QCOMPARE(label->text(), QStringLiteral("shift_jis"));
        QCOMPARE(pages()->tabText(pages()->currentIndex()), QStringLiteral("eucjp.html"));
        QVERIFY(!activeTab()->editor()->text().contains(QStringLiteral("日本")));
        pages()->setCurrentIndex(0);
        QCOMPARE(label->text(), QString());
        QVERIFY(m_form->close());
    }

    // The host list: the close button keeps the setup selected before (by
    // name, wherever it moved); the connect button connects the dialog's row.
    void hostListCloseKeepsTheSelection()
    {
        writeSettings(Kind::Local);
        startForm();
        auto* selector = m_form->findChild<QComboBox*>(QStringLiteral("CBSetups"));
        auto* dialog = hostList();
        // A new folder goes in before "site": the close button still selects
        // "site", wherever it now stands.
        whileHostListOpen([dialog] {
            dialog->NewLocalFolder();
            dialog->findChild<QPushButton*>(QStringLiteral("BtClose"))->click();
        });
        button("TBHosts")->click();
        QCOMPARE(selector->count(), 2);
        QCOMPARE(selector->currentText(), QStringLiteral("site"));

        const int site = selector->currentIndex();
        whileHostListOpen([dialog, site] {
            dialog->SelectSetup(site);
            dialog->findChild<QPushButton*>(QStringLiteral("BtConnect"))->click();
        });
        selector->setCurrentIndex(1 - site);
        button("TBHosts")->click();
        QCOMPARE(selector->currentIndex(), site);
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(QLatin1Char('|'))));
        QCOMPARE(tree()->model()->rowCount(), 1);
        QVERIFY(m_form->close());
    }

    // The host list deletes the setup that was selected and closes: the
    // selector falls back to the first setup, not to the old row.
    void hostListCloseAfterTheSelectedSetupIsDeleted()
    {
        writeSettings(Kind::Local);
        startForm();
        auto* selector = m_form->findChild<QComboBox*>(QStringLiteral("CBSetups"));
        auto* dialog = hostList();
        whileHostListOpen([dialog] {
            dialog->NewLocalFolder();
            dialog->findChild<QPushButton*>(QStringLiteral("BtClose"))->click();
        });
        button("TBHosts")->click();
        QCOMPARE(selector->currentText(), QStringLiteral("site"));
        QVERIFY(selector->currentIndex() > 0); // "site" is not the first, so the fallback shows

        whileHostListOpen([dialog] {
            dialog->NewLocalFolder();
            const auto& setups = dialog->Setups();
            for (size_t row = 0; row < setups.size(); ++row)
                if (setups[row]->Name == "site")
                    dialog->SelectSetup(static_cast<int>(row));
            dialog->DeleteSetup();
            dialog->findChild<QPushButton*>(QStringLiteral("BtClose"))->click();
        });
        button("TBHosts")->click();
        QCOMPARE(selector->count(), 2);
        QCOMPARE(selector->currentIndex(), 0);
        QVERIFY(selector->findText(QStringLiteral("site")) < 0);
        QVERIFY(m_form->close());
    }

    // Ctrl+F opens the find bar; Enter and Shift+Enter move through the
    // matches and wrap around; Escape closes it.
    void findBar()
    {
        QVERIFY(WriteFileAtomically(m_home + "/www/a/b/page.html", "one cat\r\ntwo cat\r\nthree cat\r\n").ok);
        writeSettings(Kind::Local);
        startForm();
        button("TBConnect")->click();
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        ScintillaPageEditor* editor = activeTab()->editor();
        editor->setCursorPosition(0, 0);
        QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
        auto* bar = activeTab()->findChild<QWidget*>(QStringLiteral("FindBar"));
        QVERIFY(bar->isVisible());
        auto* field = bar->findChild<QLineEdit*>(QStringLiteral("FindText"));
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, QStringLiteral("cat"));
        auto selectedLine = [editor] {
            int lineFrom = 0, indexFrom = 0, lineTo = 0, indexTo = 0;
            editor->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
            return editor->selectedText() == QStringLiteral("cat") ? lineFrom : -1;
        };
        const struct {
            Qt::KeyboardModifiers modifiers;
            int line;
        } steps[] = { { Qt::NoModifier, 0 }, { Qt::NoModifier, 1 }, { Qt::NoModifier, 2 }, { Qt::NoModifier, 0 },
            { Qt::ShiftModifier, 2 }, { Qt::ShiftModifier, 1 } };
        for (const auto& step : steps) {
            QTest::keyClick(field, Qt::Key_Return, step.modifiers);
            QCOMPARE(selectedLine(), step.line);
        }
        QTest::keyClicks(field, QStringLiteral("dog"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(bar->findChild<QLabel*>(QStringLiteral("FindResult"))->text(), QStringLiteral("見つかりません"));
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(!editor->PageModified());
        QVERIFY(m_form->close());
    }

    // Closing the window with three modified pages, the second answered
    // Cancel: the third closes, the second stays open and in front.
    void closeQueryStopsAtCancel()
    {
        for (const char* name : { "p1.html", "p2.html", "p3.html" })
            QVERIFY(WriteFileAtomically(m_home + "/www/a/b/" + name, "<p>page</p>\n").ok);
        writeSettings(Kind::Local);
        startForm();
        button("TBConnect")->click();
        for (const QString& name :
            { QStringLiteral("p1.html"), QStringLiteral("p2.html"), QStringLiteral("p3.html") }) {
            pages()->setCurrentIndex(0);
            QVERIFY(selectFile(name));
            action("FileOpen")->trigger();
            typeAtStart(QStringLiteral("x"));
        }
        QCOMPARE(pages()->count(), 4);
        answerNext(QMessageBox::No); // p3
        answerNext(QMessageBox::Cancel); // p2
        QVERIFY(!m_form->close());
        QCOMPARE(pages()->count(), 3);
        QCOMPARE(pages()->currentIndex(), 2);
        QCOMPARE(pages()->tabText(2), QStringLiteral("*p2.html")); // unsaved
        QVERIFY(m_form->isVisible());
        answerNext(QMessageBox::Yes); // p2, saved
        answerNext(QMessageBox::No); // p1
        QVERIFY(m_form->close());
        QCOMPARE(ReadFile(m_home + "/www/a/b/p2.html"), std::string("x<p>page</p>\n"));
        QCOMPARE(ReadFile(m_home + "/www/a/b/p1.html"), std::string("<p>page</p>\n"));
    }

    // Preview of a file of a local folder: a browser window on the file.
    void previewOpensABrowserWindow()
    {
        writeSettings(Kind::Local);
        startForm();
        button("TBConnect")->click();
        QVERIFY(selectFile(QStringLiteral("page.html")));
        QVERIFY(action("FilePreview")->isEnabled());
        action("FilePreview")->trigger();
        BrowserWindow* window = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == QStringLiteral("PreviewWindow") && top->isVisible())
                window = qobject_cast<BrowserWindow*>(top);
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QString::fromStdString(m_home + "/www/a/b/page.html"));
        window->close();
        QVERIFY(m_form->close());
    }

    // A host key other than the one trusted before is a warning naming both;
    // No leaves the site unconnected, Yes connects and keeps the new key.
    void changedHostKeyIsAWarning()
    {
        const std::string sshFolder = m_dir.filePath(QStringLiteral("ssh")).toStdString();
        std::filesystem::create_directories(sshFolder);
        if (!m_ssh.Start(sshFolder))
            QSKIP(m_ssh.error.c_str());
        writeSettings(Kind::Sftp);
        startForm();
        m_form->workspace().Setups.Setups[0]->TrustedHostKey = "AAAAoldkeyAAAA";
        button("TBConnect")->click();
        QCOMPARE(tree()->model()->rowCount(), 0);
        QCOMPARE(m_trustQuestions, 0);
        QVERIFY(m_messages.size() >= 1);
        const QString warning = m_messages.front();
        QVERIFY(warning.contains(QStringLiteral("AAAAoldkeyAAAA")));
        QVERIFY(warning.contains(QString::fromStdString(m_ssh.hostKeySha256)));

        m_acceptWarnings = true;
        button("TBConnect")->click();
        QCOMPARE(tree()->model()->rowCount(), 1);
        QCOMPARE(m_form->workspace().Setups.Setups[0]->TrustedHostKey, m_ssh.hostKeySha256);
        QVERIFY(m_form->close());
    }

    // SIGTERM ends the program as its user would, without a question: the
    // settings are written and a modified page is kept; the next start offers
    // it and puts it back into its tab, still modified.
    void signalKeepsModifiedPagesForTheNextStart()
    {
        writeSettings(Kind::Local);
        startForm();
        button("TBConnect")->click();
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        typeAtStart(QStringLiteral("X"));

        TerminationWatch watch;
        bool ended = false;
        connect(&watch, &TerminationWatch::terminationRequested, m_form.get(), [&] {
            m_form->endWithoutQuestions();
            ended = true;
        });
        m_messages.clear();
        QCOMPARE(::kill(::getpid(), SIGTERM), 0);
        QTRY_VERIFY(ended);
        QVERIFY(m_messages.isEmpty());
        const std::string settings = m_dir.filePath(QStringLiteral("settings")).toStdString();
        TIniList stored;
        QVERIFY(LoadSettingsFile(stored, settings, kMainSettingsFile).ok);
        QCOMPARE(stored.ReadString("Setup1", "LastPath", ""), m_home + "/www/a/b");
        const auto copies = LoadRecoveryCopies(m_form->recoveryFolder());
        QCOMPARE(copies.size(), size_t(1));
        QCOMPARE(copies[0].Bytes, "X" + kPage);
        QCOMPARE(ReadFile(m_home + "/www/a/b/page.html"), kPage);

        m_form.reset();
        startForm();
        QTRY_COMPARE(pages()->count(), 2);
        QVERIFY(m_messages.last().contains(QStringLiteral("page.html")));
        QVERIFY(activeTab()->editor()->PageModified());
        QCOMPARE(activeTab()->editor()->PageBytes(), "X" + kPage);
        QVERIFY(LoadRecoveryCopies(m_form->recoveryFolder()).empty());
        answerNext(QMessageBox::No);
        QVERIFY(m_form->close());
    }

    // The same for a UTF-8 page with a byte order mark: the copy holds the
    // mark once, and the tab it is put back into keeps it out of the text and
    // writes it once. Its ad tree lists the page's block once.
    void recoveryCopyKeepsTheByteOrderMark()
    {
        const std::string utf8
            = "\xEF\xBB\xBF<p>\xE6\x97\xA5\xE6\x9C\xAC</p>\r\n<!--PWH[ad]-->x<!--PWHEND-->\r\n</html>\r\n";
        QVERIFY(WriteFileAtomically(m_home + "/www/a/b/page.html", utf8).ok);
        writeSettings(Kind::Local);
        startForm();
        button("TBConnect")->click();
        QVERIFY(selectFile(QStringLiteral("page.html")));
        action("FileOpen")->trigger();
        typeAtStart(QStringLiteral("X"));
        m_form->endWithoutQuestions();
        const auto copies = LoadRecoveryCopies(m_form->recoveryFolder());
        QCOMPARE(copies.size(), size_t(1));
        const std::string edited = utf8.substr(0, 3) + "X" + utf8.substr(3);
        QCOMPARE(copies[0].Bytes, edited);

        m_form.reset();
        startForm();
        QTRY_COMPARE(pages()->count(), 2);
        QVERIFY(activeTab()->editor()->PageModified());
        QVERIFY(activeTab()->editor()->text().startsWith(QStringLiteral("X<p>日本</p>")));
        QCOMPARE(activeTab()->adTreeView()->model()->rowCount(), 1);
        action("FileSave")->trigger();
        QCOMPARE(ReadFile(m_home + "/www/a/b/page.html"), edited);
        QVERIFY(m_form->close());
    }

    void sftpServer()
    {
        const std::string sshFolder = m_dir.filePath(QStringLiteral("ssh")).toStdString();
        std::filesystem::create_directories(sshFolder);
        if (!m_ssh.Start(sshFolder))
            QSKIP(m_ssh.error.c_str());
        writeSettings(Kind::Sftp);
        runFlow(Kind::Sftp);
    }
};

QTEST_MAIN(SiteFlowTest)
#include "siteflow_test.moc"
