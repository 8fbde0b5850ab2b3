// The whole-site inventory table: rows per block, sorting, the status and
// banner filters and their counts.

#include "base/sjistext.h"
#include "gui/common/datatext.h"
#include "gui/sitewide/siteinventorymodel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QtTest>

using namespace pw;
using namespace pw::gui;

namespace {

// Names and paths as the core gives them: program text (Shift_JIS bytes).
SiteAdNode Node(size_t line, TAdNodeStatus status, const char* banner, int depth = 0)
{
    SiteAdNode node;
    node.Line = line;
    node.Status = status;
    node.Banner = SjisTextBytes(banner);
    node.Depth = depth;
    return node;
}

SitePage Page(const char* relative, std::vector<SiteAdNode> nodes)
{
    SitePage page;
    page.Relative = SjisTextBytes(relative);
    page.Path = "/site/" + page.Relative;
    page.Nodes = std::move(nodes);
    return page;
}

// Three pages: one with no block (no row), a rotation with two members.
SiteScanResult Scan()
{
    SiteScanResult scan;
    scan.Folder = "/site";
    scan.Pages.push_back(Page(
        "a.html", { Node(40, nsMatched, "空港"), Node(7, nsChanged, "ホテル"), Node(120, nsUnlisted, "古い") }));
    scan.Pages.push_back(Page("empty.html", {}));
    scan.Pages.push_back(Page("sub/ページ.html",
        { Node(3, nsRotation, "rot"), Node(4, nsMatched, "空港", 1), Node(9, nsChanged, "空港", 1) }));
    return scan;
}

} // namespace

class SiteInventoryTest : public QObject {
    Q_OBJECT

private slots:
    void rowsFollowTheBlocksOfEveryPage();
    void sortsByLineAsNumbers();
    void filtersByStatusAndBannerWithCounts();
};

void SiteInventoryTest::rowsFollowTheBlocksOfEveryPage()
{
    SiteInventoryModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setScan(Scan());
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.columnCount(), 4);

    struct Expected {
        int row;
        const char* page;
        qulonglong line;
        TAdNodeStatus status;
        const char* banner;
    };
    const Expected table[] = {
        { 0, "a.html", 40, nsMatched, "空港" },
        { 1, "a.html", 7, nsChanged, "ホテル" },
        { 2, "a.html", 120, nsUnlisted, "古い" },
        { 3, "sub/ページ.html", 3, nsRotation, "rot" },
        { 5, "sub/ページ.html", 9, nsChanged, "空港" },
    };
    for (const Expected& e : table) {
        QCOMPARE(model.index(e.row, SiteInventoryModel::PageColumn).data().toString(), QString::fromUtf8(e.page));
        QCOMPARE(model.index(e.row, SiteInventoryModel::LineColumn).data().toULongLong(), e.line);
        QCOMPARE(model.index(e.row, SiteInventoryModel::StatusColumn).data().toString(),
            SiteInventoryModel::statusText(e.status));
        QCOMPARE(model.index(e.row, 0).data(SiteInventoryModel::StatusRole).toInt(), static_cast<int>(e.status));
        QVERIFY(!model.index(e.row, SiteInventoryModel::StatusColumn)
                     .data(Qt::DecorationRole)
                     .value<QIcon>()
                     .isNull());
        QCOMPARE(
            model.index(e.row, SiteInventoryModel::BannerColumn).data().toString(), QString::fromUtf8(e.banner));
        QCOMPARE(model.index(e.row, 0).data(SiteInventoryModel::PathRole).toString(),
            QStringLiteral("/site/") + QString::fromUtf8(e.page));
        // The path goes back to the core's bytes unchanged, to open the page.
        QCOMPARE(ToData(model.index(e.row, 0).data(SiteInventoryModel::PathRole).toString()),
            "/site/" + SjisTextBytes(e.page));
    }

    // A new scan replaces every row, an empty one leaves none.
    model.setScan(SiteScanResult {});
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.countWithStatus(nsMatched), 0);
    QVERIFY(model.bannerCounts().empty());
}

void SiteInventoryTest::sortsByLineAsNumbers()
{
    SiteInventoryModel model;
    model.setScan(Scan());
    SiteInventoryFilter filter;
    filter.setSourceModel(&model);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::Fatal);
    filter.sort(SiteInventoryModel::LineColumn, Qt::AscendingOrder);
    QList<qulonglong> lines;
    for (int r = 0; r < filter.rowCount(); ++r)
        lines << filter.index(r, SiteInventoryModel::LineColumn).data().toULongLong();
    // As text, "120" would come before "3" and "40" before "7".
    QCOMPARE(lines, (QList<qulonglong> { 3, 4, 7, 9, 40, 120 }));
}

void SiteInventoryTest::filtersByStatusAndBannerWithCounts()
{
    SiteInventoryModel model;
    model.setScan(Scan());
    SiteInventoryFilter filter;
    filter.setSourceModel(&model);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::Fatal);

    QCOMPARE(model.countWithStatus(nsRotation), 1);
    QCOMPARE(model.countWithStatus(nsMatched), 2);
    QCOMPARE(model.countWithStatus(nsChanged), 2);
    QCOMPARE(model.countWithStatus(nsUnlisted), 1);
    const std::map<QString, int> banners { { QStringLiteral("空港"), 3 }, { QStringLiteral("ホテル"), 1 },
        { QStringLiteral("古い"), 1 }, { QStringLiteral("rot"), 1 } };
    QCOMPARE(model.bannerCounts(), banners);

    struct Case {
        int status;
        const char* banner;
        int rows;
    };
    const Case cases[] = {
        { -1, "", 6 },
        { nsChanged, "", 2 },
        { -1, "空港", 3 },
        { nsChanged, "空港", 1 },
        { nsUnlisted, "空港", 0 },
        { -1, "無い", 0 },
    };
    for (const Case& c : cases) {
        filter.setStatus(c.status);
        filter.setBanner(QString::fromUtf8(c.banner));
        QVERIFY2(filter.rowCount() == c.rows,
            qPrintable(QStringLiteral("status %1 banner %2: %3 rows")
                           .arg(c.status)
                           .arg(QString::fromUtf8(c.banner))
                           .arg(filter.rowCount())));
        for (int r = 0; r < filter.rowCount(); ++r) {
            if (c.status >= 0)
                QCOMPARE(filter.index(r, 0).data(SiteInventoryModel::StatusRole).toInt(), c.status);
            if (*c.banner)
                QCOMPARE(filter.index(r, SiteInventoryModel::BannerColumn).data().toString(),
                    QString::fromUtf8(c.banner));
        }
    }
}

QTEST_MAIN(SiteInventoryTest)
#include "siteinventory_test.moc"
