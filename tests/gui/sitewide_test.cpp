// The whole-site dialog driven as a user would, through its buttons, on a
// local folder: the scan fills the inventory, the filters narrow it with
// counts, update and delete ask with their plan and change the bytes on disk,
// a page open in a tab is left alone and named, a restore puts the bytes
// back; a large scan cancels and the dialog goes on working.

#include "base/files.h"
#include "base/sjistext.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannersarea.h"
#include "gui/common/messagebox.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/mainwindow.h"
#include "gui/sites/sitesarea.h"
#include "gui/sitewide/fmsitewide.h"
#include "gui/sitewide/siteinventorymodel.h"
#include "gui/sitewide/sitewidearea.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "net/servers.h"
#include "pageads/adblock.h"
#include "settings/settingsfile.h"
#include "sites/nodes.h"
#include "sites/runjournal.h"
#include "sites/setup.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <QProcess>

#include <csignal>
#include <filesystem>

using namespace pw;
using namespace pw::gui;

namespace {

std::string Block(const std::string& name, const std::string& html)
{
    return BuildAdBlock(name, html, abNormal, PageEncoding::ShiftJis);
}

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

const std::string kNewA = "<a>new A</a>";
const std::string kNewAirport = "<p>new</p>";

std::string Airport()
{
    return SjisTextBytes("空港");
}

} // namespace

class SiteWideTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string m_settings;
    std::string m_site;
    std::unique_ptr<TMainForm> m_form;
    struct Message {
        MessageType type;
        QString text;
    };
    QList<Message> m_messages;
    // Answers the boxes a test wants answered its own way; the others as in init.
    std::function<QMessageBox::StandardButton(MessageType, const QString&)> m_answer;

    void write(const std::string& relative, const std::string& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(m_site + "/" + relative).parent_path());
        QVERIFY(WriteFileAtomically(m_site + "/" + relative, bytes).ok);
    }
    std::string read(const std::string& relative) { return ReadFile(m_site + "/" + relative); }

    // Pagewick.ini with one setup on the site, a local folder or the FTP
    // server (serving the folder above it); ads.ini with A, B and 空港.
    void writeSettings(const test::FtpServer* ftp = nullptr, const test::SshServer* ssh = nullptr)
    {
        std::filesystem::create_directories(m_settings);
        TIniList store;
        TSetup setup;
        setup.Name = "site";
        setup.IniPath = ftp ? "/www" : m_site;
        setup.LastPath = setup.IniPath;
        setup.Kind = ftp ? skFtp : skLocal;
        if (ftp) {
            setup.Host = "127.0.0.1";
            setup.Port = ftp->port;
            setup.User = ftp->user;
            setup.Password = ftp->password;
        }
        if (ssh) {
            setup.Kind = skFtp;
            setup.Protocol = SiteProtocol::Sftp;
            setup.Host = "127.0.0.1";
            setup.Port = ssh->port;
            setup.User = ssh->user;
            setup.KeyFile = ssh->clientKey;
        }
        setup.RootURL = "http://example.org/";
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(std::make_unique<TSetup>(setup));
        SaveSetups(store, setups, 0);
        QVERIFY(SaveSettingsFile(store, m_settings, kMainSettingsFile).ok);

        BannerList banners;
        int number = 1;
        for (const auto& [name, html] : std::vector<std::pair<std::string, std::string>> {
                 { "A", kNewA }, { "B", "<b>B</b>" }, { Airport(), kNewAirport } }) {
            auto banner = std::make_unique<TAdBanner>();
            banner->Number = number++;
            banner->SpaceName = name;
            banner->BannerHTML = html;
            banners.Rows.push_back(std::move(banner));
        }
        TIniList ads;
        QVERIFY(SaveBanners(banners, ads, m_settings).ok);
    }

    void startForm()
    {
        const QString settings = QString::fromStdString(m_settings);
        m_form = std::make_unique<TMainForm>(settings, settings, net::CurlFtpClientFactory());
        m_form->startUp();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    FmSiteWide* dialog() { return m_form->siteWide()->dialog(); }
    template <typename T> T* child(const char* name)
    {
        T* found = dialog()->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no %s in the dialog", name);
        return found;
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    // Opens the dialog through the tool button, on the selected setup.
    void openDialog()
    {
        QToolButton* command = m_form->findChild<QToolButton*>(QStringLiteral("TBSiteWide"));
        QVERIFY(command);
        QVERIFY(command->isEnabled());
        QTest::mouseClick(command, Qt::LeftButton);
        QTRY_VERIFY(dialog()->isVisible());
    }

    void waitIdle(int timeoutMs = 30000) { QTRY_VERIFY_WITH_TIMEOUT(!dialog()->busy(), timeoutMs); }

    void scan()
    {
        click("BTScan");
        QVERIFY(dialog()->busy());
        waitIdle();
    }

    QStringList comboTexts(const char* name)
    {
        QStringList texts;
        auto* combo = child<QComboBox>(name);
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }

    void choose(const char* combo, const QString& startsWith)
    {
        auto* box = child<QComboBox>(combo);
        for (int i = 0; i < box->count(); ++i) {
            if (box->itemText(i).startsWith(startsWith)) {
                box->setCurrentIndex(i);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no item ") + startsWith));
    }

    // The table's rows as shown: "page line status banner".
    QStringList shownRows()
    {
        QStringList rows;
        auto* table = child<QTableView>("TVInventory");
        QAbstractItemModel* model = table->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells << model->index(r, c).data().toString();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }

    // `count` pages with a changed block of A, ten to a folder.
    void writePages(int count)
    {
        for (int n = 0; n < count; ++n)
            write("f" + std::to_string(n / 10) + "/p" + std::to_string(n) + ".html", oldPage());
    }
    static std::string oldPage() { return "top\r\n" + Block("A", "<a>old</a>") + "\r\n"; }
    static std::string newPage() { return "top\r\n" + Block("A", kNewA) + "\r\n"; }
    int pagesWith(const std::string& bytes, int count)
    {
        int found = 0;
        for (int n = 0; n < count; ++n)
            found += read("f" + std::to_string(n / 10) + "/p" + std::to_string(n) + ".html") == bytes;
        return found;
    }
    std::vector<SiteRun> runs() { return ListRuns(SetupBackupFolder(m_settings, "site")); }

    QStringList messagesOf(MessageType type)
    {
        QStringList texts;
        for (const Message& m : m_messages)
            if (m.type == type)
                texts << m.text;
        return texts;
    }

private slots:
    void init()
    {
        m_messages.clear();
        m_answer = nullptr;
        SetMessageHandler([this](MessageType type, const QString& text) {
            m_messages.append({ type, text });
            if (m_answer)
                return m_answer(type, text);
            // Questions go on; a delete asks as a warning.
            return type == MessageType::Confirmation || text.contains(QStringLiteral("実行しますか?"))
                ? QMessageBox::Yes
                : QMessageBox::Ok;
        });
        m_settings = m_dir.filePath(QStringLiteral("settings")).toStdString();
        m_site = m_dir.filePath(QStringLiteral("www")).toStdString();
        std::filesystem::remove_all(m_settings);
        std::filesystem::remove_all(m_site);
        std::filesystem::create_directories(m_site);
    }

    void cleanup()
    {
        m_form.reset();
        SetMessageHandler({});
    }

    void scanFilterUpdateDeleteAndRestore();
    void ftpServerPageOpenInATabIsLeftAlone();
    void cancelledAndClosedScansLeaveTheDialogUsable();
    void aKilledRunIsFoundAtOpenAndFinished();
    void quittingDuringARunAsksAndAStoppedRunIsRestoredWithProgress();
    void aPageOpenedInATabDuringARunIsLeftAlone();
    void aDoubleClickWhileConnectedShowsTheRowsBlock();
    void anUntrustedServerIsAskedAboutAndChoicesAreKept();
};

void SiteWideTest::scanFilterUpdateDeleteAndRestore()
{
    const std::string oldA = Block("A", "<a>old</a>");
    const std::string index = "top\r\n" + oldA + "\r\n";
    const std::string one = oldA + "\r\n" + Block("B", "<b>B</b>") + "\r\n" + Block("C", "<c/>") + "\r\n";
    const std::string oldB = Block("B", "<b>old</b>");
    const std::string two = "x\n" + Block(Airport(), "<p>old</p>") + "\n" + oldB + "\n";
    const std::string open = "<html>\r\n" + oldA + "\r\n</html>\r\n";
    write("index.html", index);
    write("sub/one.htm", one);
    write("sub/deep/two.php", two);
    write("open.html", open);
    write("plain.html", "nothing here\r\n");
    write("notes.txt", oldA);
    writeSettings();
    startForm();
    openDialog();
    QCOMPARE(child<QLabel>("LBSetup")->text(), QStringLiteral("site"));
    QCOMPARE(child<QLineEdit>("EDFolder")->text(), QString::fromStdString(m_site));
    QCOMPARE(child<QLineEdit>("EDEndings")->text(), QStringLiteral(".html,.htm,.shtml,.php"));
    QVERIFY(!child<QPushButton>("BTUpdate")->isEnabled());

    // The scan: every block of every page, the text file left out.
    scan();
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(shownRows(),
        (QStringList { QStringLiteral("index.html 2 変更あり A"), QStringLiteral("open.html 2 変更あり A"),
            QStringLiteral("sub/deep/two.php 2 変更あり 空港"), QStringLiteral("sub/deep/two.php 5 変更あり B"),
            QStringLiteral("sub/one.htm 1 変更あり A"), QStringLiteral("sub/one.htm 4 一致 B"),
            QStringLiteral("sub/one.htm 7 未登録 C") }));
    QCOMPARE(comboTexts("CBStatus"),
        (QStringList { QStringLiteral("すべて (7)"), QStringLiteral("変更あり (5)"), QStringLiteral("未登録 (1)"),
            QStringLiteral("一致 (1)"), QStringLiteral("ローテーション (0)") }));
    QCOMPARE(comboTexts("CBBanner"),
        (QStringList { QStringLiteral("すべての広告 (7)"), QStringLiteral("A (3)"), QStringLiteral("B (2)"),
            QStringLiteral("C (1)"), QStringLiteral("空港 (1)") }));
    QVERIFY(child<QProgressBar>("PBProgress")->value() == 5);
    QVERIFY(child<QLabel>("LBCurrent")->text().contains(QStringLiteral("5 ページ")));
    // A screen reader hears what the label says, not a fixed name.
    QCOMPARE(QAccessible::queryAccessibleInterface(child<QLabel>("LBCurrent"))->text(QAccessible::Name),
        child<QLabel>("LBCurrent")->text());

    // The filters narrow the table; delete needs a banner.
    QVERIFY(!child<QPushButton>("BTDelete")->isEnabled());
    choose("CBBanner", QStringLiteral("A "));
    QCOMPARE(shownRows().size(), 3);
    QVERIFY(child<QPushButton>("BTDelete")->isEnabled());
    // Each filter counts the rows its choices would show beside the other's choice.
    QCOMPARE(comboTexts("CBStatus"),
        (QStringList { QStringLiteral("すべて (3)"), QStringLiteral("変更あり (3)"), QStringLiteral("未登録 (0)"),
            QStringLiteral("一致 (0)"), QStringLiteral("ローテーション (0)") }));
    choose("CBStatus", QStringLiteral("一致"));
    QCOMPARE(shownRows(), QStringList());
    QCOMPARE(comboTexts("CBBanner"),
        (QStringList { QStringLiteral("すべての広告 (1)"), QStringLiteral("A (0)"), QStringLiteral("B (1)"),
            QStringLiteral("C (0)"), QStringLiteral("空港 (0)") }));
    QCOMPARE(child<QComboBox>("CBBanner")->currentText(), QStringLiteral("A (0)"));
    choose("CBStatus", QStringLiteral("すべて"));
    choose("CBBanner", QStringLiteral("すべて"));
    QVERIFY(!child<QPushButton>("BTDelete")->isEnabled());
    choose("CBStatus", QStringLiteral("変更あり"));
    QCOMPARE(shownRows().size(), 5);
    QVERIFY(child<QLabel>("LBSummary")->text().contains(QStringLiteral("7 ブロック中 5 件")));

    // A double click opens the page in a tab, the block's line selected.
    auto* table = child<QTableView>("TVInventory");
    const QModelIndex openRow = table->model()->index(1, SiteInventoryModel::PageColumn);
    QCOMPARE(openRow.data().toString(), QStringLiteral("open.html"));
    table->scrollTo(openRow);
    const QRect cell = table->visualRect(openRow);
    // A view takes a double click on the row its press chose.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    DocumentTab* tab = m_form->documents()->activeTab();
    QVERIFY(tab);
    QCOMPARE(QString::fromStdString(tab->file().Name), QStringLiteral("open.html"));
    int lineFrom = -1, indexFrom = -1, lineTo = -1, indexTo = -1;
    tab->editor()->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
    QCOMPARE(lineFrom, 1); // line 2, counted from 0
    QCOMPARE(indexFrom, 0);
    QVERIFY(tab->editor()->selectedText().startsWith(QStringLiteral("<!--")));

    // Update of A's changed blocks: a plan, the question, the run, the report.
    choose("CBStatus", QStringLiteral("すべて"));
    choose("CBBanner", QStringLiteral("A "));
    click("BTUpdate");
    waitIdle();
    QStringList questions = messagesOf(MessageType::Confirmation);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].startsWith(QStringLiteral("2 ページで 2 ブロックを置き換えます。")),
        qPrintable(questions[0]));
    QVERIFY(questions[0].contains(QStringLiteral("タブで開いている 1 ページは変更しません")));
    QVERIFY(questions[0].contains(QString::fromStdString(m_site) + QStringLiteral("/index.html　置換 1・削除 0")));
    QVERIFY(questions[0].contains(
        QString::fromStdString(m_site) + QStringLiteral("/open.html: タブで開いているため変更しません")));
    QStringList reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(
        reports[0].startsWith(QStringLiteral("書き込んだページ: 2\n置き換えたブロック: 2\n削除したブロック: 0\n"
                                             "変更しなかったページ: 1")),
        qPrintable(reports[0]));
    QVERIFY(reports[0].contains(
        QString::fromStdString(m_site) + QStringLiteral("/open.html: タブで開いているため変更しません")));
    // The bytes: A's blocks replaced, everything else as it was.
    const std::string newA = Block("A", kNewA);
    QCOMPARE(read("index.html"), "top\r\n" + newA + "\r\n");
    QCOMPARE(read("sub/one.htm"), newA + "\r\n" + Block("B", "<b>B</b>") + "\r\n" + Block("C", "<c/>") + "\r\n");
    QCOMPARE(read("sub/deep/two.php"), two);
    QCOMPARE(read("open.html"), open);
    QCOMPARE(read("notes.txt"), oldA);
    // The run is listed, and the rescan shows the blocks as they now are.
    auto* runs = child<QTreeWidget>("LVRuns");
    QCOMPARE(runs->topLevelItemCount(), 1);
    QCOMPARE(runs->topLevelItem(0)->text(1), QStringLiteral("完了"));
    QCOMPARE(runs->topLevelItem(0)->text(2), QStringLiteral("更新"));
    QCOMPARE(runs->topLevelItem(0)->text(3), QStringLiteral("2 / 2"));
    QCOMPARE(runs->topLevelItem(0)->text(4), QStringLiteral("A"));
    // Of A's blocks only the one of the open page is still changed; of all, 空港's and B's too.
    QCOMPARE(comboTexts("CBStatus").at(1), QStringLiteral("変更あり (1)"));
    QCOMPARE(child<QComboBox>("CBBanner")->currentText(), QStringLiteral("A (3)"));
    choose("CBBanner", QStringLiteral("すべて"));
    QCOMPARE(comboTexts("CBStatus").at(1), QStringLiteral("変更あり (3)"));
    choose("CBBanner", QStringLiteral("A "));

    // Delete 空港: its block goes.
    m_messages.clear();
    choose("CBBanner", QStringLiteral("空港"));
    // A second run needs a new name: runs are named by the second.
    QTest::qWait(1100);
    click("BTDelete");
    waitIdle();
    // A question that deletes is a warning, whose default is いいえ.
    questions = messagesOf(MessageType::Warning);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].startsWith(QStringLiteral("1 ページから 1 ブロックを削除します。")),
        qPrintable(questions[0]));
    reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].contains(QStringLiteral("削除したブロック: 1")));
    // B's changed block stays: a delete of one banner replaces nothing.
    QCOMPARE(read("sub/deep/two.php"), "x\n\n" + oldB + "\n");
    QCOMPARE(read("open.html"), open);
    QCOMPARE(runs->topLevelItemCount(), 2);
    QCOMPARE(runs->topLevelItem(0)->text(2), QStringLiteral("削除"));
    QCOMPARE(runs->topLevelItem(0)->text(4), QStringLiteral("空港"));
    QCOMPARE(child<QComboBox>("CBBanner")->currentIndex(), 0); // 空港 is gone from the site

    // A page of the run open in a tab: the restore refuses and names it.
    m_messages.clear();
    TFileNode* file = m_form->sites()->findFile("site", m_site + "/index.html");
    QVERIFY(file);
    QVERIFY(m_form->documents()->openDocument(*file));
    runs->setCurrentItem(runs->topLevelItem(1));
    click("BTRestore");
    waitIdle();
    QCOMPARE(messagesOf(MessageType::Confirmation), QStringList());
    const QStringList warnings = messagesOf(MessageType::Warning);
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings[0].contains(QStringLiteral("タブで開いています")));
    QVERIFY(warnings[0].endsWith(QString::fromStdString(m_site) + QStringLiteral("/index.html")));
    QCOMPARE(read("index.html"), "top\r\n" + newA + "\r\n");
    QVERIFY(m_form->documents()->closeDocument(*file));

    // Restore the first run (listed second: newest first).
    m_messages.clear();
    runs->setCurrentItem(runs->topLevelItem(1));
    QVERIFY(child<QPushButton>("BTRestore")->isEnabled());
    click("BTRestore");
    waitIdle();
    questions = messagesOf(MessageType::Confirmation);
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions[0].contains(QStringLiteral("2 ページを、実行前の内容に戻します")));
    reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith(QStringLiteral("元に戻したページ: 2")));
    QCOMPARE(read("index.html"), index);
    QCOMPARE(read("sub/one.htm"), one);
    QCOMPARE(read("sub/deep/two.php"), "x\n\n" + oldB + "\n");
    QCOMPARE(comboTexts("CBStatus").at(1), QStringLiteral("変更あり (4)"));

    // A run none of whose pages is still as it wrote them has nothing to restore.
    m_messages.clear();
    write("sub/deep/two.php", "edited by hand\n");
    runs->setCurrentItem(runs->topLevelItem(0));
    click("BTRestore");
    waitIdle();
    QCOMPARE(messagesOf(MessageType::Confirmation), QStringList());
    reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith(QStringLiteral("元に戻すページはありません。")));
    QVERIFY(reports[0].contains(QStringLiteral("two.php: この実行の後に変更されたため戻しません")));
    QCOMPARE(read("sub/deep/two.php"), "edited by hand\n");
}

// The same dialog on pyftpdlib: the scan and the run go over connections of
// their own on the worker, the double click opens the page through the
// window's connection, and the tab's path names the page as the run does.
void SiteWideTest::ftpServerPageOpenInATabIsLeftAlone()
{
    const std::string oldA = Block("A", "<a>old</a>");
    write("index.html", "top\r\n" + oldA + "\r\n");
    write("sub/one.htm", oldA + "\r\n");
    test::FtpServer ftp;
    QVERIFY(ftp.Start(m_dir.path().toStdString()));
    writeSettings(&ftp);
    startForm();
    openDialog();
    QCOMPARE(child<QLineEdit>("EDFolder")->text(), QStringLiteral("/www"));
    scan();
    QCOMPARE(shownRows(),
        (QStringList { QStringLiteral("index.html 2 変更あり A"), QStringLiteral("sub/one.htm 1 変更あり A") }));
    QCOMPARE(dialog()->inventory()->index(0, 0).data(SiteInventoryModel::PathRole).toString(),
        QStringLiteral("/www/index.html"));

    auto* table = child<QTableView>("TVInventory");
    const QRect cell = table->visualRect(table->model()->index(0, SiteInventoryModel::LineColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_VERIFY(m_form->documents()->activeTab());
    QCOMPARE(QString::fromStdString(m_form->documents()->activeTab()->file().Name), QStringLiteral("index.html"));

    click("BTUpdate");
    waitIdle();
    const QStringList reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(QStringLiteral("書き込んだページ: 1\n置き換えたブロック: 1")),
        qPrintable(reports[0]));
    QVERIFY(reports[0].contains(QStringLiteral("/www/index.html: タブで開いているため変更しません")));
    QCOMPARE(read("sub/one.htm"), Block("A", kNewA) + "\r\n");
    QCOMPARE(read("index.html"), "top\r\n" + oldA + "\r\n");
    QCOMPARE(child<QTreeWidget>("LVRuns")->topLevelItemCount(), 1);
}

void SiteWideTest::cancelledAndClosedScansLeaveTheDialogUsable()
{
    // 2,000 pages in 40 folders, each with a few blocks.
    std::string page;
    for (int i = 0; i < 8; ++i)
        page += std::string(1500, 'x') + "\r\n" + Block(i % 2 ? "A" : "B", "<a>old</a>") + "\r\n";
    for (int folder = 0; folder < 40; ++folder)
        for (int n = 0; n < 50; ++n)
            write("f" + std::to_string(folder) + "/p" + std::to_string(n) + ".html", page);
    writeSettings();
    startForm();
    openDialog();

    // Cancel right after the start: the whole walk takes about 0.1 s here,
    // so a cancel that waited for the first progress would come too late.
    click("BTScan");
    click("BTCancel");
    waitIdle(10000);
    QVERIFY2(child<QLabel>("LBCurrent")->text().startsWith(QStringLiteral("キャンセルしました")),
        qPrintable(child<QLabel>("LBCurrent")->text()));
    const int partial = dialog()->inventory()->scan().Pages.size();
    QVERIFY2(partial < 2000, qPrintable(QString::number(partial)));
    // A part of the site is no ground for a run.
    QVERIFY(!child<QPushButton>("BTUpdate")->isEnabled());
    QVERIFY(child<QPushButton>("BTScan")->isEnabled());
    QVERIFY(!child<QPushButton>("BTCancel")->isEnabled());
    // The main window kept working meanwhile, and still does.
    QVERIFY(m_form->isEnabled());

    // Closing the dialog mid-scan cancels and waits for the worker. Until
    // the worker's end comes through the event loop, the dialog is busy.
    click("BTScan");
    QVERIFY(dialog()->busy());
    QVERIFY(child<QPushButton>("BTCancel")->isEnabled());
    QVERIFY(!child<QPushButton>("BTScan")->isEnabled());
    QVERIFY(!child<QLineEdit>("EDFolder")->isEnabled());
    click("BTClose");
    QVERIFY(!dialog()->isVisible());
    QVERIFY(!dialog()->busy());

    // Open again: a whole scan goes through.
    openDialog();
    scan();
    QCOMPARE(dialog()->inventory()->scan().Pages.size(), size_t { 2000 });
    QCOMPARE(dialog()->inventory()->rowCount(), 16000);
    QCOMPARE(child<QProgressBar>("PBProgress")->value(), 2000);
    QCOMPARE(comboTexts("CBBanner"),
        (QStringList {
            QStringLiteral("すべての広告 (16000)"), QStringLiteral("A (8000)"), QStringLiteral("B (8000)") }));
    QVERIFY(child<QPushButton>("BTUpdate")->isEnabled());

    // The window closes while a scan runs: no crash, no worker left behind.
    click("BTScan");
    QVERIFY(dialog()->busy());
    m_form.reset();
}

// A run of the command-line program killed part way: the dialog finds it
// when it opens, says how far it got, and 続行 finishes it.
void SiteWideTest::aKilledRunIsFoundAtOpenAndFinished()
{
    writePages(300);
    writeSettings();
    QProcess cli;
    cli.start(QStringLiteral(PAGEWICK_CLI),
        { QStringLiteral("--dir"), QString::fromStdString(m_settings), QStringLiteral("site"),
            QStringLiteral("update"), QStringLiteral("site"), QStringLiteral("--jobs"), QStringLiteral("1") });
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!runs().empty() && runs()[0].Pages >= 20, 30000);
    ::kill(static_cast<pid_t>(cli.processId()), SIGKILL);
    QVERIFY(cli.waitForFinished());
    QCOMPARE(runs().size(), size_t { 1 });
    QCOMPARE(runs()[0].State, SiteRunState::Stopped);
    const size_t done = runs()[0].Pages;
    QVERIFY2(done < 300, qPrintable(QString::number(done)));

    startForm();
    QString offered;
    m_answer = [&](MessageType type, const QString& text) {
        if (text.startsWith(QStringLiteral("前回の実行は途中で止まりました"))) {
            offered = text;
            return QMessageBox::Yes; // 続行
        }
        return type == MessageType::Confirmation ? QMessageBox::Yes : QMessageBox::Ok;
    };
    openDialog();
    QTRY_VERIFY(!offered.isEmpty());
    // The kill may land after a page's done record: it counts what the journal says.
    QVERIFY2(offered.contains(QStringLiteral("（%1 ページ）").arg(done)), qPrintable(offered));
    QVERIFY(offered.contains(QStringLiteral("更新を続けますか")));
    waitIdle(120000);
    QCOMPARE(pagesWith(newPage(), 300), 300);
    const QStringList reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(QStringLiteral("前回までに書き込んだページ")), qPrintable(reports[0]));
    QCOMPARE(runs().size(), size_t { 1 });
    QCOMPARE(runs()[0].State, SiteRunState::Complete);
    QCOMPARE(runs()[0].Pages, size_t { 300 });
    QCOMPARE(child<QTreeWidget>("LVRuns")->topLevelItem(0)->text(1), QStringLiteral("完了"));
    QVERIFY(!child<QPushButton>("BTResume")->isEnabled());
}

// Quitting while a run goes on asks; no goes on, yes stops the run as a
// stopped run. At the next start 元に戻す restores it, with its progress shown.
void SiteWideTest::quittingDuringARunAsksAndAStoppedRunIsRestoredWithProgress()
{
    writePages(400);
    writeSettings();
    startForm();
    openDialog();
    scan();
    int asked = 0;
    QMessageBox::StandardButton quit = QMessageBox::No;
    m_answer = [&](MessageType type, const QString& text) {
        if (text == QStringLiteral("サイト全体の更新を実行中です。中止して終了しますか？")) {
            ++asked;
            return quit;
        }
        return type == MessageType::Confirmation ? QMessageBox::Yes : QMessageBox::Ok;
    };
    click("BTUpdate");
    // The plan's question was answered: the run goes on now.
    QTRY_VERIFY_WITH_TIMEOUT(!runs().empty() && runs()[0].Pages >= 50, 30000);
    QVERIFY(dialog()->busy());
    QVERIFY(!m_form->close());
    QCOMPARE(asked, 1);
    QVERIFY(m_form->isVisible());
    QVERIFY(dialog()->busy());
    quit = QMessageBox::Yes;
    QVERIFY(m_form->close());
    QCOMPARE(asked, 2);
    QVERIFY(!dialog()->busy());
    m_form.reset();
    QCOMPARE(runs().size(), size_t { 1 });
    QCOMPARE(runs()[0].State, SiteRunState::Stopped);
    const size_t written = runs()[0].Pages;
    QVERIFY2(written > 0 && written < 400, qPrintable(QString::number(written)));
    QCOMPARE(runs()[0].Planned, size_t { 400 });

    // The next start offers the stopped run; 元に戻す restores it.
    m_messages.clear();
    QString offered;
    // The bar as the restore's report shows: it ends where the restore did.
    QPair<int, int> shownAtReport { -1, -1 };
    m_answer = [&](MessageType type, const QString& text) {
        if (text.startsWith(QStringLiteral("前回の実行は途中で止まりました"))) {
            offered = text;
            return QMessageBox::Reset; // 元に戻す
        }
        if (text.startsWith(QStringLiteral("元に戻したページ"))) {
            const auto* bar = child<QProgressBar>("PBProgress");
            shownAtReport = { bar->value(), bar->maximum() };
        }
        return type == MessageType::Confirmation ? QMessageBox::Yes : QMessageBox::Ok;
    };
    startForm();
    openDialog();
    QTRY_VERIFY(!offered.isEmpty());
    QVERIFY2(offered.contains(QStringLiteral("（%1 / 400 ページ）").arg(written)), qPrintable(offered));
    QTRY_VERIFY_WITH_TIMEOUT(!messagesOf(MessageType::Confirmation).isEmpty(), 30000);
    waitIdle(60000);
    QCOMPARE(shownAtReport, (QPair<int, int> { static_cast<int>(written), static_cast<int>(written) }));
    QCOMPARE(pagesWith(oldPage(), 400), 400);
    QCOMPARE(runs()[0].State, SiteRunState::Restored);
    QCOMPARE(child<QTreeWidget>("LVRuns")->topLevelItem(0)->text(1), QStringLiteral("元に戻した"));
}

// A page opened in a tab after the run began is left alone by it too.
void SiteWideTest::aPageOpenedInATabDuringARunIsLeftAlone()
{
    writePages(300);
    write("z/y/x/last.html", oldPage());
    writeSettings();
    startForm();
    openDialog();
    scan();
    click("BTUpdate");
    QTRY_VERIFY_WITH_TIMEOUT(!messagesOf(MessageType::Confirmation).isEmpty(), 30000);
    QVERIFY(dialog()->busy());
    // The walk reads the deepest folder last.
    TFileNode* file = m_form->sites()->findFile("site", m_site + "/z/y/x/last.html");
    QVERIFY(file);
    QVERIFY(m_form->documents()->openDocument(*file));
    waitIdle(60000);
    QCOMPARE(read("z/y/x/last.html"), oldPage());
    QCOMPARE(pagesWith(newPage(), 300), 300);
    const QStringList reports = messagesOf(MessageType::Information);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(QStringLiteral("last.html: タブで開いているため変更しません")),
        qPrintable(reports[0]));
}

// The site is connected already: a double click opens the page without a
// word about the connection, and the ad tree shows the row's block.
void SiteWideTest::aDoubleClickWhileConnectedShowsTheRowsBlock()
{
    write("two.html", "top\r\n" + Block("A", "<a>old</a>") + "\r\nmiddle\r\n" + Block("B", "<b>B</b>") + "\r\n");
    writeSettings();
    startForm();
    QVERIFY(m_form->sites()->findFile("site", m_site + "/two.html"));
    openDialog();
    scan();
    m_messages.clear();
    QCOMPARE(shownRows(),
        (QStringList { QStringLiteral("two.html 2 変更あり A"), QStringLiteral("two.html 6 一致 B") }));
    auto* table = child<QTableView>("TVInventory");
    const QRect cell = table->visualRect(table->model()->index(1, SiteInventoryModel::LineColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_VERIFY(m_form->documents()->activeTab());
    QCOMPARE(m_messages.size(), 0);
    DocumentTab* tab = m_form->documents()->activeTab();
    QCOMPARE(tab->adTreeView()->currentIndex().data().toString(), QStringLiteral("B"));
    int lineFrom = -1, indexFrom = -1, lineTo = -1, indexTo = -1;
    tab->editor()->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
    QCOMPARE(lineFrom, 5); // line 6, counted from 0
}

// An SFTP server not trusted yet: opening the dialog asks as 接続 does and
// the scan goes through. The connections chosen are kept for the setup, and
// a banner change marks the inventory stale.
void SiteWideTest::anUntrustedServerIsAskedAboutAndChoicesAreKept()
{
    write("index.html", "top\r\n" + Block("A", "<a>old</a>") + "\r\n");
    test::SshServer ssh;
    const std::string sshFolder = m_dir.filePath(QStringLiteral("sshd")).toStdString();
    std::filesystem::create_directories(sshFolder);
    if (!ssh.Start(sshFolder))
        QSKIP(qPrintable(QStringLiteral("sshd could not start: ") + QString::fromStdString(ssh.error)));
    writeSettings(nullptr, &ssh);
    startForm();
    int trust = 0;
    m_answer = [&](MessageType type, const QString& text) {
        if (type == MessageType::Confirmation && !text.contains(QStringLiteral("実行しますか?")))
            ++trust;
        return type == MessageType::Confirmation ? QMessageBox::Yes : QMessageBox::Ok;
    };
    openDialog();
    QCOMPARE(trust, 1);
    QCOMPARE(m_form->workspace().Setups.Setups[0]->TrustedHostKey, ssh.hostKeySha256);
    auto* jobs = child<QSpinBox>("SBJobs");
    QCOMPARE(jobs->value(), 4);
    jobs->setValue(2);
    scan();
    QCOMPARE(shownRows(), (QStringList { QStringLiteral("index.html 2 変更あり A") }));
    QCOMPARE(messagesOf(MessageType::Warning), QStringList());

    auto* stale = child<QLabel>("LBStale");
    QVERIFY(stale->isHidden());
    BannersArea* banners = m_form->findChild<BannersArea*>();
    QVERIFY(banners);
    emit banners->bannerChanged(std::nullopt, nullptr);
    QVERIFY(!stale->isHidden());
    QCOMPARE(stale->text(), QStringLiteral("広告が変更されました。スキャンし直してください"));
    scan();
    QVERIFY(stale->isHidden());

    // The next start keeps the choice of connections and the trust.
    QVERIFY(m_form->close());
    m_form.reset();
    trust = 0;
    startForm();
    openDialog();
    QCOMPARE(trust, 0);
    QCOMPARE(child<QSpinBox>("SBJobs")->value(), 2);
}

QTEST_MAIN(SiteWideTest)
#include "sitewide_test.moc"
