// Reports in the window: the import dialog opened on a report (from the menu's
// handler and from a CSV dropped on the banner list), the banner list showing
// the imported sums, and the revenue charts drawn offscreen from a history.

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/mainwindow.h"
#include "gui/reports/fmreportimport.h"
#include "gui/reports/fmrevenue.h"
#include "gui/reports/reportfolders.h"
#include "gui/reports/reportsarea.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "reports/csv.h"
#include "reports/statshistory.h"
#include "settings/settingsfile.h"
#include "text/codec.h"
#include "text/pageencoding.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHorizontalBarSeries>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QValueAxis>

#include <functional>

using namespace pw;
using namespace pw::gui;

namespace {

std::string Sjis(std::string_view utf8)
{
    return codec::EncodeSjis(utf8).bytes;
}

QList<qreal> Values(const QBarSet* set)
{
    QList<qreal> values;
    for (int i = 0; i < set->count(); ++i)
        values << set->at(i);
    return values;
}

// Runs `steps` on the import dialog once it shows (it is modal).
void WhenImportDialogShows(TFmReportImport* dialog, std::function<void(TFmReportImport&)> steps)
{
    auto* timer = new QTimer(dialog);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, dialog, [dialog, timer, steps] {
        if (!dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        steps(*dialog);
    });
    timer->start();
}

// OK when the dialog allows it, else Cancel: a test that finds the import
// refused fails at once instead of waiting on a modal dialog.
void AcceptIfAllowed(TFmReportImport& dialog)
{
    QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("BtnOK"));
    if (ok->isEnabled())
        ok->click();
    else
        dialog.reject();
}

// The texts a chart view draws: axis labels and titles, bar and point labels.
QStringList DrawnTexts(QChartView* view)
{
    QStringList texts;
    for (QGraphicsItem* item : view->scene()->items())
        if (auto* text = qgraphicsitem_cast<QGraphicsTextItem*>(item); text && text->isVisible())
            texts << text->toPlainText();
    return texts;
}

// The vertical value axis a series is drawn against.
QValueAxis* VerticalAxis(QAbstractSeries* series)
{
    for (QAbstractAxis* axis : series->attachedAxes())
        if (axis->orientation() == Qt::Vertical)
            return qobject_cast<QValueAxis*>(axis);
    return nullptr;
}

// A banner list with ids, as after earlier imports.
BannerList ChartBanners()
{
    BannerList banners;
    for (int i = 0; i < 12; ++i) {
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = i + 1;
        banner->SpaceName = Sjis("広告") + std::to_string(i);
        banner->StatsId = "id" + std::to_string(i);
        banners.Rows.push_back(std::move(banner));
    }
    return banners;
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::string m_settings;
    std::unique_ptr<TMainForm> m_form;

    QTreeView* list() { return m_form->findChild<QTreeView*>(QStringLiteral("LVAdFlights")); }
    // A cell of the banner's row, wherever the list's sort put it.
    QString cell(const char* banner, int column)
    {
        QAbstractItemModel* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == QString::fromUtf8(banner))
                return model->index(row, column).data().toString();
        return QStringLiteral("<no banner>");
    }

    void startForm()
    {
        m_settings = m_tmp->path().toStdString() + "/settings";
        QVERIFY(std::filesystem::create_directories(m_settings));
        TIniList main;
        QVERIFY(SaveSettingsFile(main, m_settings, kMainSettingsFile).ok);
        BannerList banners;
        int number = 1;
        for (const char* name : { "楽天トラベル", "じゃらん", "手入力" }) {
            auto banner = std::make_unique<TAdBanner>();
            banner->Number = number++;
            banner->SpaceName = Sjis(name);
            banner->Type = "Text";
            banner->PV = 9;
            banner->BannerHTML = "<a href=\"x\">x</a>";
            banners.Rows.push_back(std::move(banner));
        }
        TIniList ads;
        QVERIFY(SaveBanners(banners, ads, m_settings).ok);
        const QString settings = QString::fromStdString(m_settings);
        m_form = std::make_unique<TMainForm>(settings, settings, net::CurlFtpClientFactory());
        m_form->startUp();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    std::string writeReport(const char* name, std::string_view utf8)
    {
        const std::string path = m_tmp->path().toStdString() + "/" + name;
        if (!WriteFileAtomically(path, Sjis(utf8)).ok)
            return {};
        return path;
    }

private slots:
    void init() { m_tmp = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        m_form.reset();
        SetMessageHandler({});
    }

    void importStoresTheReportAndTheListShowsTheSums()
    {
        startForm();
        QMenu* ads = m_form->findChild<QMenu*>(QStringLiteral("MenuAds"));
        QVERIFY(ads->actions().contains(m_form->reports()->widgets().importItem));
        QVERIFY(ads->actions().contains(m_form->reports()->widgets().revenueItem));

        const std::string report = writeReport("a8.csv",
            "プログラム名,表示回数,クリック数,報酬額\r\n"
            "楽天トラベル,\"1,000\",20,\"\\1,500\"\r\n"
            "じゃらん,300,3,\"1,000円\"\r\n"
            "楽天トラベル,500,5,500\r\n"
            "未登録,1,1,1\r\n"
            "合計,\"1,801\",29,\"3,001\"\r\n");
        TFmReportImport* dialog = m_form->reports()->importDialog();
        QString shownResult;
        int previewRows = -1;
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            previewRows = d.findChild<QTableWidget*>(QStringLiteral("GridPreview"))->rowCount();
            d.findChild<QComboBox*>(QStringLiteral("CBReportNetwork"))->setEditText(QStringLiteral("A8.net"));
            d.findChild<QLineEdit*>(QStringLiteral("EdPeriod"))->setText(QStringLiteral("2026-11"));
            shownResult = d.findChild<QPlainTextEdit*>(QStringLiteral("MemoImportResult"))->toPlainText();
            d.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();
        });
        QVERIFY(m_form->reports()->importReport(QString::fromStdString(report)));
        QCOMPARE(previewRows, 5);
        QVERIFY2(shownResult.contains(QStringLiteral("一致した広告: 2件（3行）")), qPrintable(shownResult));
        QVERIFY2(shownResult.contains(QStringLiteral("5行目: 未登録")), qPrintable(shownResult));
        QVERIFY2(shownResult.contains(QStringLiteral("合計の行（数えない）: 1")), qPrintable(shownResult));
        // The list shows the sums; the banner without history keeps its own figures.
        QCOMPARE(cell("楽天トラベル", 3), QStringLiteral("1500"));
        QCOMPARE(cell("楽天トラベル", 4), QStringLiteral("25"));
        QCOMPARE(cell("楽天トラベル", 6), QStringLiteral("2000"));
        QCOMPARE(cell("じゃらん", 6), QStringLiteral("1000"));
        QCOMPARE(cell("手入力", 3), QStringLiteral("9"));
        // The editor keeps the figures of imported banners out of reach.
        TFmBanner* editor = m_form->findChild<TFmBanner*>();
        QVERIFY(editor);
        auto* pvField = editor->findChild<QLineEdit*>(QStringLiteral("EdPV"));
        for (auto& banner : m_form->workspace().Banners.Rows) {
            editor->LoadBanner(*banner);
            QCOMPARE(pvField->isReadOnly(), banner->SpaceName != Sjis("手入力"));
        }

        // Next month's report has its columns in another order: A8.net comes
        // chosen again, and its remembered mapping finds them by their names.
        const std::string next = writeReport("a8-next.csv",
            "報酬額,プログラム名,クリック数,表示回数\r\n"
            "100,じゃらん,1,10\r\n");
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            d.findChild<QLineEdit*>(QStringLiteral("EdPeriod"))->setText(QStringLiteral("2026-12"));
            QPushButton* ok = d.findChild<QPushButton*>(QStringLiteral("BtnOK"));
            if (ok->isEnabled())
                ok->click();
            else
                d.reject(); // the mapping was not found again: the import fails below
        });
        QVERIFY(m_form->reports()->importReport(QString::fromStdString(next)));
        QCOMPARE(dialog->mapping().Key, Sjis("プログラム名"));
        QCOMPARE(cell("じゃらん", 3), QStringLiteral("310"));
        QCOMPARE(cell("じゃらん", 6), QStringLiteral("1100"));

        // The selected banner's history, from the menu.
        QAbstractItemModel* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == QStringLiteral("じゃらん"))
                list()->selectionModel()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_form->reports()->widgets().bannerRevenueItem->trigger();
        TFmRevenue* revenue = m_form->reports()->revenueWindow();
        QVERIFY(revenue->isVisible());
        QCOMPARE(revenue->tabs()->currentIndex(), int(TFmRevenue::BannerTab));
        QCOMPARE(revenue->chart(TFmRevenue::BannerTab)->title(), QStringLiteral("じゃらん の推移"));
        QCOMPARE(revenue->figures(TFmRevenue::BannerTab),
            (std::vector<std::vector<std::string>> { { "月", "PV", "クリック", "収益" },
                { "2026-11", "300", "3", "1000" }, { "2026-12", "10", "1", "100" } }));
        revenue->close();
    }

    void aCsvDroppedOnTheBannerListOpensTheImport()
    {
        startForm();
        const std::string report = writeReport("dropped.csv", "name,pv,ct,yen\r\nじゃらん,1,1,1\r\n");
        TFmReportImport* dialog = m_form->reports()->importDialog();
        QString shownFile;
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            shownFile = d.findChild<QLabel*>(QStringLiteral("LbReportFile"))->text();
            d.reject();
        });
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(QString::fromStdString(report)) });
        QWidget* viewport = list()->viewport();
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(shownFile, QStringLiteral("dropped.csv (1行)"));

        // Other files are not taken.
        QMimeData page;
        page.setUrls({ QUrl::fromLocalFile(QStringLiteral("/tmp/page.html")) });
        QDragEnterEvent other(at, Qt::CopyAction, &page, Qt::LeftButton, Qt::NoModifier);
        other.setAccepted(false);
        QApplication::sendEvent(viewport, &other);
        QVERIFY(!other.isAccepted());
    }

    // The columns of a report are chosen from its header's words, the dialog
    // shows the choice, and the user can change it.
    void importChoosesTheColumnsByTheWordsOfTheHeader()
    {
        startForm();
        const std::string report = writeReport("a8-daily.csv",
            "日付,プログラム名,インプレッション,クリック,確定報酬\r\n"
            "2026/11/03,楽天トラベル,\"1,000\",20,\"1,500\"\r\n"
            "2026/11/04,じゃらん,300,3,200\r\n");
        TFmReportImport* dialog = m_form->reports()->importDialog();
        QStringList chosen;
        QStringList names;
        QString note;
        QString changed;
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            for (const char* name :
                { "CBKeyColumn", "CBPVColumn", "CBClicksColumn", "CBRevenueColumn", "CBMonthColumn" }) {
                chosen << d.findChild<QComboBox*>(QLatin1String(name))->currentText();
                names << d.findChild<QComboBox*>(QLatin1String(name))->accessibleName();
            }
            note = d.findChild<QLabel*>(QStringLiteral("LbMappingNote"))->text();
            // Clicks taken for page views: the result follows the choice.
            auto* pv = d.findChild<QComboBox*>(QStringLiteral("CBPVColumn"));
            pv->setCurrentIndex(pv->findText(QStringLiteral("4: クリック")));
            changed = d.findChild<QPlainTextEdit*>(QStringLiteral("MemoImportResult"))->toPlainText();
            pv->setCurrentIndex(pv->findText(QStringLiteral("3: インプレッション")));
            AcceptIfAllowed(d);
        });
        QVERIFY(m_form->reports()->importReport(QString::fromStdString(report)));
        QCOMPARE(chosen,
            (QStringList { QStringLiteral("2: プログラム名"), QStringLiteral("3: インプレッション"),
                QStringLiteral("4: クリック"), QStringLiteral("5: 確定報酬"), QStringLiteral("1: 日付") }));
        QVERIFY2(note.contains(QStringLiteral("見出し")), qPrintable(note));
        QCOMPARE(names,
            (QStringList { QStringLiteral("広告を表す列"), QStringLiteral("表示回数の列"),
                QStringLiteral("クリック数の列"), QStringLiteral("収益の列"), QStringLiteral("日付・月の列") }));
        QVERIFY2(changed.contains(QStringLiteral("楽天トラベル  2026-11  PV 20 / クリック 20 / 収益 1500円")),
            qPrintable(changed));
        QCOMPARE(cell("楽天トラベル", 3), QStringLiteral("1000"));
        QCOMPARE(cell("楽天トラベル", 6), QStringLiteral("1500"));
        QCOMPARE(cell("じゃらん", 4), QStringLiteral("3"));
    }

    // The keys no banner matched are listed with their rows and sums; one
    // given a banner is counted for it, and next month's report of the same
    // network matches the key by itself.
    void unmatchedKeysAreGivenABannerAndMatchedNextMonth()
    {
        startForm();
        const std::string november = writeReport("a8-11.csv",
            "プログラム名,表示回数,クリック数,報酬額\r\n"
            "楽天トラベル,100,1,100\r\n"
            "旧じゃらん,50,2,300\r\n"
            "不明,1,1,1\r\n"
            "旧じゃらん,10,1,\"1,000\"\r\n");
        TFmReportImport* dialog = m_form->reports()->importDialog();
        QStringList listed;
        QString pickerName;
        QString assignedResult;
        bool samePicker = false;
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            d.findChild<QComboBox*>(QStringLiteral("CBReportNetwork"))->setEditText(QStringLiteral("A8.net"));
            d.findChild<QLineEdit*>(QStringLiteral("EdPeriod"))->setText(QStringLiteral("2026-11"));
            auto* grid = d.findChild<QTableWidget*>(QStringLiteral("GridUnmatched"));
            for (int row = 0; row < grid->rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < 5; ++column)
                    cells << grid->item(row, column)->text();
                listed << cells.join(QLatin1Char('|'));
            }
            auto* picker = qobject_cast<QComboBox*>(grid->cellWidget(0, 5));
            pickerName = picker->accessibleName();
            picker->setCurrentIndex(picker->findText(QStringLiteral("じゃらん")));
            samePicker = grid->cellWidget(0, 5) == picker && picker->currentText() == QStringLiteral("じゃらん");
            assignedResult = d.findChild<QPlainTextEdit*>(QStringLiteral("MemoImportResult"))->toPlainText();
            AcceptIfAllowed(d);
        });
        QVERIFY(m_form->reports()->importReport(QString::fromStdString(november)));
        QCOMPARE(
            listed, (QStringList { QStringLiteral("旧じゃらん|2|60|3|1,300"), QStringLiteral("不明|1|1|1|1") }));
        QCOMPARE(pickerName, QStringLiteral("「旧じゃらん」に割り当てる広告"));
        QVERIFY(samePicker);
        QVERIFY2(assignedResult.contains(QStringLiteral("じゃらん  2026-11  PV 60 / クリック 3 / 収益 1300円")),
            qPrintable(assignedResult));
        QCOMPARE(cell("じゃらん", 3), QStringLiteral("60"));
        QCOMPARE(cell("じゃらん", 6), QStringLiteral("1300"));

        const std::string december = writeReport("a8-12.csv",
            "プログラム名,表示回数,クリック数,報酬額\r\n"
            "旧じゃらん,5,1,50\r\n"
            "新しいキー,1,1,1\r\n");
        QString remembered;
        QString keptOverTheNetwork;
        WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
            d.findChild<QLineEdit*>(QStringLiteral("EdPeriod"))->setText(QStringLiteral("2026-12"));
            auto* grid = d.findChild<QTableWidget*>(QStringLiteral("GridUnmatched"));
            if (grid->rowCount() != 2)
                return d.reject();
            remembered = qobject_cast<QComboBox*>(grid->cellWidget(0, 5))->currentText();
            // A key given a banner before the network is chosen again keeps it.
            auto* picker = qobject_cast<QComboBox*>(grid->cellWidget(1, 5));
            picker->setCurrentIndex(picker->findText(QStringLiteral("楽天トラベル")));
            auto* network = d.findChild<QComboBox*>(QStringLiteral("CBReportNetwork"));
            network->setEditText(QString());
            network->setEditText(QStringLiteral("A8.net"));
            keptOverTheNetwork = qobject_cast<QComboBox*>(grid->cellWidget(1, 5))->currentText();
            AcceptIfAllowed(d);
        });
        QVERIFY(m_form->reports()->importReport(QString::fromStdString(december)));
        QCOMPARE(remembered, QStringLiteral("じゃらん"));
        QCOMPARE(keptOverTheNetwork, QStringLiteral("楽天トラベル"));
        QCOMPARE(cell("じゃらん", 3), QStringLiteral("65"));
        QCOMPARE(cell("じゃらん", 6), QStringLiteral("1350"));
        QCOMPARE(cell("楽天トラベル", 3), QStringLiteral("101"));
    }

    // The choosers of a report to import and of a chart to save start in the
    // home folder, never in the settings folder, then in the folder last used.
    void fileChoosersStartInTheHomeOrTheLastFolderUsed()
    {
        startForm();
        // A remembered folder that is the settings folder is passed over.
        m_form->workspace().IniListSetup.WriteString("Reports", "LastFolder", m_settings);
        QStringList starts;
        QString answer;
        auto chooser = [&](QWidget*, const QString&, const QString& start, const QString&) {
            starts << start;
            return answer;
        };
        m_form->reports()->folders().setChoosers(chooser, chooser);
        QAction* import = m_form->reports()->widgets().importItem;
        import->trigger();
        QCOMPARE(starts.value(0), QDir::homePath());

        const QString downloads = m_tmp->filePath(QStringLiteral("downloads"));
        QVERIFY(QDir().mkpath(downloads));
        answer = downloads + QStringLiteral("/report.csv");
        QVERIFY(WriteFileAtomically(answer.toStdString(), "name,pv,ct,yen\r\nじゃらん,1,1,1\r\n").ok);
        WhenImportDialogShows(m_form->reports()->importDialog(), [](TFmReportImport& d) { d.reject(); });
        import->trigger();
        answer.clear();
        import->trigger();
        QCOMPARE(starts.value(2), downloads);

        // The chart window's choosers start there too and keep the folder saved to.
        const QString charts = m_tmp->filePath(QStringLiteral("charts"));
        QVERIFY(QDir().mkpath(charts));
        m_form->reports()->showRevenue();
        TFmRevenue* revenue = m_form->reports()->revenueWindow();
        answer = charts + QStringLiteral("/chart.png");
        revenue->findChild<QPushButton*>(QStringLiteral("BtnSavePng"))->click();
        QVERIFY(QFileInfo::exists(answer));
        answer.clear();
        revenue->findChild<QPushButton*>(QStringLiteral("BtnSaveCsv"))->click();
        QCOMPARE(starts.mid(3),
            (QStringList { downloads + QStringLiteral("/revenue.png"), charts + QStringLiteral("/revenue.csv") }));
        QCOMPARE(FromData(m_form->workspace().IniListSetup.ReadString("Reports", "LastFolder", "")), charts);
        revenue->close();
    }

    // Every message the import shows is in Japanese, worded from what the
    // core found: the line, the column and the cell.
    void importMessagesAreJapanese()
    {
        startForm();
        QStringList messages;
        SetMessageHandler([&](MessageType, const QString& text) {
            messages << text;
            return QMessageBox::Ok;
        });
        TFmReportImport* dialog = m_form->reports()->importDialog();
        struct Case {
            const char* report;
            const char* shown;
            int pvColumn = 0; // the page views' column the user picks, from 1; 0 for the one chosen
        } cases[] = {
            { "プログラム名,表示回数,クリック数,報酬額\r\n楽天トラベル,たくさん,1,1\r\n",
                "2行目: 列「表示回数」の表示回数「たくさん」は整数ではありません。" },
            { "プログラム名,表示回数,クリック数,報酬額\r\n楽天トラベル,1,1,\"1234,567\"\r\n",
                "2行目: 列「報酬額」の収益「1234,567」はカンマが3桁ごとの区切りになっていません。" },
            { "プログラム名,,クリック数,報酬額\r\n楽天トラベル,\"\x1B[2J\",1,1\r\n",
                "2行目: 2列目の表示回数「\x1B[2J」は整数ではありません。", 2 },
            { "日付,プログラム名,表示回数,クリック数,報酬額\r\n昨日,楽天トラベル,1,1,1\r\n",
                "2行目: 列「日付」の「昨日」は日付でも月でもありません。" },
            { "a,b,c,d\r\n楽天トラベル,1,1,1\r\n", "広告を表す列を選んでください。" },
        };
        for (const auto& c : cases) {
            const std::string report = writeReport("bad.csv", c.report);
            QString shown;
            QString note;
            bool okEnabled = true;
            WhenImportDialogShows(dialog, [&](TFmReportImport& d) {
                note = d.findChild<QLabel*>(QStringLiteral("LbMappingNote"))->text();
                d.findChild<QLineEdit*>(QStringLiteral("EdPeriod"))->setText(QStringLiteral("2026-11"));
                if (c.pvColumn > 0)
                    d.findChild<QComboBox*>(QStringLiteral("CBPVColumn"))->setCurrentIndex(c.pvColumn);
                shown = d.findChild<QPlainTextEdit*>(QStringLiteral("MemoImportResult"))->toPlainText();
                okEnabled = d.findChild<QPushButton*>(QStringLiteral("BtnOK"))->isEnabled();
                d.reject();
            });
            QVERIFY(!m_form->reports()->importReport(QString::fromStdString(report)));
            QVERIFY2(shown.startsWith(QString::fromUtf8(c.shown)), qPrintable(shown));
            QVERIFY(!okEnabled);
            // A header of no known words is said to be one.
            QCOMPARE(
                note.contains(QStringLiteral("選べませんでした")), std::string_view(c.report).starts_with("a,b"));
        }

        // A report that cannot be opened or read as CSV is told in a box.
        QVERIFY(!m_form->reports()->importReport(m_tmp->filePath(QStringLiteral("missing.csv"))));
        const std::string broken = writeReport("broken.csv", "a,b\r\n1,2\r\n\"3,4\r\n");
        QVERIFY(!m_form->reports()->importReport(QString::fromStdString(broken)));
        QCOMPARE(messages.size(), 2);
        const QString missing = messages[0].section(QStringLiteral("\n\n"), 0, 0);
        QCOMPARE(missing,
            QStringLiteral("レポートのファイル %1 を開けませんでした。")
                .arg(m_tmp->filePath(QStringLiteral("missing.csv"))));
        QCOMPARE(messages[1], QStringLiteral("broken.csv: 3行目: 引用符 \" で始まる項目が閉じられていません。"));
    }

    // The history chart draws revenue, page views and clicks each against an
    // axis of its own from 0, in round steps with thousands separators, and
    // its titles whole.
    void historyChartGivesEverySeriesARoundAxisFromZero()
    {
        QTemporaryDir dir;
        StatsHistory history;
        QVERIFY(history.Open(dir.path().toStdString()).ok);
        BannerList banners = ChartBanners();
        ReportImportResult result;
        result.Periods = { "2026-10", "2026-11" };
        result.Matched = { { banners.Rows[0].get(), "2026-10", 18432, 150, 1400, 1 },
            { banners.Rows[0].get(), "2026-11", 9000, 40, 600, 1 } };
        QVERIFY(history.StoreImport(result, { "a8.csv", "A8.net", 0 }).ok);
        TFmRevenue window;
        QVERIFY(window.load(history, banners).ok);
        window.resize(900, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.tabs()->setCurrentIndex(TFmRevenue::BannerTab);

        QChart* chart = window.chart(TFmRevenue::BannerTab);
        QCOMPARE(chart->series().size(), 3);
        QValueAxis* yen = VerticalAxis(chart->series()[0]);
        QValueAxis* pv = VerticalAxis(chart->series()[1]);
        QValueAxis* clicks = VerticalAxis(chart->series()[2]);
        QVERIFY(yen && pv && clicks);
        QCOMPARE(chart->series()[2]->name(), QStringLiteral("クリック"));
        QVERIFY(clicks != pv && clicks != yen && pv != yen);
        struct Expected {
            QValueAxis* axis;
            qreal max;
            int ticks;
        };
        for (const auto& e :
            { Expected { yen, 1500, 4 }, Expected { pv, 20000, 5 }, Expected { clicks, 150, 4 } }) {
            QCOMPARE(e.axis->min(), 0.0);
            QCOMPARE(e.axis->max(), e.max);
            QCOMPARE(e.axis->tickCount(), e.ticks);
            QCOMPARE(e.axis->labelFormat(), QStringLiteral("%.0f"));
        }
        QCOMPARE(yen->titleText(), QStringLiteral("収益（円）"));

        auto* view = window.findChild<QChartView*>(QStringLiteral("ChartBanner"));
        QTRY_VERIFY(DrawnTexts(view).contains(QStringLiteral("20,000")));
        const QStringList drawn = DrawnTexts(view);
        QVERIFY2(drawn.contains(QStringLiteral("1,500")) && drawn.contains(QStringLiteral("150")),
            qPrintable(drawn.join(QLatin1Char(' '))));
        // The titles are drawn whole, not cut short to fit.
        for (const char* title : { "収益（円）", "PV", "クリック" })
            QVERIFY2(drawn.contains(QString::fromUtf8(title)), qPrintable(drawn.join(QLatin1Char(' '))));

        // The monthly and top charts' value axes start at 0 too.
        QValueAxis* monthly
            = qobject_cast<QValueAxis*>(window.chart(TFmRevenue::MonthlyTab)->axes(Qt::Vertical).value(0));
        QVERIFY(monthly);
        QCOMPARE(monthly->min(), 0.0);
        QCOMPARE(monthly->max(), 1500.0);
        QValueAxis* top
            = qobject_cast<QValueAxis*>(window.chart(TFmRevenue::TopTab)->axes(Qt::Horizontal).value(0));
        QVERIFY(top);
        QCOMPARE(top->min(), 0.0);
        QCOMPARE(top->max(), 600.0);
        window.close();
    }

    void revenueChartsDrawTheHistory()
    {
        QTemporaryDir dir;
        StatsHistory history;
        QVERIFY(history.Open(dir.path().toStdString()).ok);
        BannerList banners = ChartBanners();
        // Fourteen months for A8 (only the last twelve are charted), two for
        // another network, and twelve banners in the last month.
        ReportImportResult a8;
        for (int m = 0; m < 14; ++m) {
            char period[8];
            std::snprintf(period, sizeof period, "%04d-%02d", 2025 + (m + 10) / 12, (m + 10) % 12 + 1);
            a8.Periods.push_back(period);
            a8.Matched.push_back({ banners.Rows[0].get(), period, 1000, 10, 100 * (m + 1), 1 });
        }
        for (int b = 1; b < 12; ++b)
            a8.Matched.push_back({ banners.Rows[b].get(), a8.Periods.back(), 100, b, 10 * b, 1 });
        QVERIFY(history.StoreImport(a8, { "a8.csv", "A8.net", 0 }).ok);
        ReportImportResult vc;
        vc.Periods = { "2026-11", "2026-12" };
        vc.Matched = { { banners.Rows[1].get(), "2026-11", 50, 5, 700, 1 },
            { banners.Rows[1].get(), "2026-12", 50, 5, 300, 1 } };
        QVERIFY(history.StoreImport(vc, { "vc.csv", Sjis("バリューコマース"), 0 }).ok);

        TFmRevenue window;
        QVERIFY(window.load(history, banners).ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Revenue per month, stacked by network, the last twelve months.
        QChart* monthly = window.chart(TFmRevenue::MonthlyTab);
        auto* stacked = qobject_cast<QStackedBarSeries*>(monthly->series().value(0));
        QVERIFY(stacked);
        QVERIFY(stacked->isLabelsVisible());
        QCOMPARE(stacked->count(), 2);
        QCOMPARE(stacked->barSets()[0]->label(), QStringLiteral("A8.net"));
        QCOMPARE(stacked->barSets()[1]->label(), QStringLiteral("バリューコマース"));
        QList<qreal> a8Values = Values(stacked->barSets()[0]);
        QCOMPARE(a8Values.size(), 12);
        QCOMPARE(a8Values.front(), 300.0); // 2026-01, the third month stored
        QCOMPARE(a8Values.back(), 1400.0 + 10 * (1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11));
        QList<qreal> vcValues = Values(stacked->barSets()[1]);
        QCOMPARE(vcValues.mid(10), (QList<qreal> { 700, 300 }));
        auto* months = qobject_cast<QBarCategoryAxis*>(monthly->axes(Qt::Horizontal).value(0));
        QVERIFY(months);
        QCOMPARE(months->categories().front(), QStringLiteral("2026-01"));
        QCOMPARE(months->categories().back(), QStringLiteral("2026-12"));
        QVERIFY(stacked->barSets()[0]->brush().style() != stacked->barSets()[1]->brush().style());

        // The top ten of the last month, the highest on top, with click rates.
        QChart* top = window.chart(TFmRevenue::TopTab);
        auto* bars = qobject_cast<QHorizontalBarSeries*>(top->series().value(0));
        QVERIFY(bars);
        QList<qreal> topValues = Values(bars->barSets()[0]);
        QCOMPARE(topValues.size(), 10);
        QCOMPARE(topValues.back(), 1400.0);
        QCOMPARE(topValues[8], 310.0); // 広告1: 10 from A8 and 300 from the other network
        auto* names = qobject_cast<QBarCategoryAxis*>(top->axes(Qt::Vertical).value(0));
        QVERIFY(names);
        QCOMPARE(names->categories().back(), QStringLiteral("広告0 (1.00%)"));
        QCOMPARE(names->categories()[8], QStringLiteral("広告1 (4.00%)"));

        // One banner's months.
        window.showBanner("id1");
        QChart* banner = window.chart(TFmRevenue::BannerTab);
        auto* revenue = qobject_cast<QBarSeries*>(banner->series().value(0));
        QVERIFY(revenue);
        QCOMPARE(Values(revenue->barSets()[0]), (QList<qreal> { 700, 310 }));
        auto* pv = qobject_cast<QLineSeries*>(banner->series().value(1));
        QVERIFY(pv);
        QCOMPARE(pv->at(1).y(), 150.0);

        // Saving: a PNG image and the figures as CSV.
        const QString png = dir.filePath(QStringLiteral("chart.png"));
        QVERIFY(window.savePng(TFmRevenue::MonthlyTab, png));
        QImage image(png);
        QVERIFY(!image.isNull() && image.width() > 100);
        const QString csv = dir.filePath(QStringLiteral("top.csv"));
        QVERIFY(window.saveCsv(TFmRevenue::TopTab, csv).ok);
        std::string text;
        QVERIFY(ReadWholeFile(csv.toStdString(), text).ok);
        QVERIFY(text.starts_with(kUtf8ByteOrderMark));
        std::vector<CsvRecord> records;
        QVERIFY(ParseCsv(text.substr(3), records).ok);
        QCOMPARE(records.size(), size_t(11));
        QCOMPARE(records[1].Fields, (std::vector<std::string> { "広告0", "1000", "10", "1.00", "1400" }));
    }
};

QTEST_MAIN(ReportsTest)
#include "reports_test.moc"
