// Reports in the window: the import dialog opened on a report (from the menu's
// handler and from a CSV dropped on the banner list), the banner list showing
// the imported sums, and the revenue charts drawn offscreen from a history.

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/datatext.h"
#include "gui/mainwindow.h"
#include "gui/reports/fmreportimport.h"
#include "gui/reports/fmrevenue.h"
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
#include <QComboBox>
#include <QDropEvent>
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
    void cleanup() { m_form.reset(); }

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
        QVERIFY2(shownResult.contains(QStringLiteral("line 5: 未登録")), qPrintable(shownResult));
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
