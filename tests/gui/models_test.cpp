#include "core/sites/fakeftp.h"
#include "gui/documents/adtreemodel.h"
#include "gui/sites/connectiontreemodel.h"
#include "gui/sites/filelistmodel.h"
#include "gui/sites/sitesicons.h"
#include "sites/connection.h"
#include "sites/filelist.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

using namespace pw;
using namespace pw::gui;

namespace {

const DateTime kNow { 2024, 6, 1, 12, 0, 0 };

void WriteFile(const std::string& path, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out << std::string(size, 'x');
}

std::string Sjis(const char* utf8)
{
    return codec::EncodeSjis(utf8).bytes;
}

// Runs `paint` whenever a status text is shown: the window repaints while a
// command is under way (status texts, message boxes).
struct PaintingFeedback : FeedbackLog {
    std::function<void()> paint;
    void Status(const std::string& text) override
    {
        FeedbackLog::Status(text);
        if (paint)
            paint();
    }
};

// A ConnectionTree with a local folder setup on a temporary folder and an FTP
// setup on the in-memory server.
struct Sites {
    test::TempDir dir;
    test::FakeFactory factory;
    PaintingFeedback feedback;
    ConnectionTree tree { factory.Make(), feedback, [] { return kNow; } };
    TSetup local;
    TSetup remote;

    Sites()
    {
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("a/x"));
        fs::create_directories(dir.file("b"));
        WriteFile(dir.file("index.html"), 300);
        WriteFile(dir.file("small.txt"), 5);
        WriteFile(dir.file("big.zip"), 4000);
        WriteFile(dir.file(Sjis("日本語.html")), 10);
        local.Name = Sjis("ローカル");
        local.IniPath = dir.path();
        local.Kind = skLocal;

        remote.Name = "ftp";
        remote.Host = "ftp.example.jp";
        remote.User = "web";
        remote.Password = "secret";
        remote.Kind = skFtp;
        factory.server->AddFolder("/home/web/p/q");
        factory.server->AddFile("/home/web/top.html", "<html>");
    }

    TDirNode* Sub(TDirNode* folder, const std::string& name)
    {
        for (TDirNode* sub : folder->SubFolders())
            if (sub->Name == name)
                return sub;
        return nullptr;
    }
};

QStringList Column(const QAbstractItemModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

// Counts the rows a view asks for.
class CountingFileListModel : public FileListModel {
public:
    using FileListModel::FileListModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        rows.insert(index.row());
        return FileListModel::data(index, role);
    }
    mutable std::set<int> rows;
};

// Clicks a header section the way a user does.
void ClickHeader(QHeaderView* header, int section)
{
    const QPoint at(
        header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class ModelsTest : public QObject {
    Q_OBJECT

private slots:
    void connectionTreeFollowsConnectSelectRefreshAndDisconnect();
    void connectionTreeImagesFollowKindAndExpansion();
    void fileListShowsTheFolderInFourColumns();
    void fileListSortFollowsHeaderClicks();
    void fileListRowsUpdateAfterRefresh();
    void fileListTakesManyEntriesWithoutPerRowCost();
    void adTreeFollowsTheCoreTree();
    void adTreeShowsNamesInThePageEncoding();
    void modelsReadSafelyWhileACommandRuns();
};

void ModelsTest::connectionTreeFollowsConnectSelectRefreshAndDisconnect()
{
    Sites s;
    ConnectionTreeModel model(s.tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QCOMPARE(model.rowCount(), 0);

    TConnection* local = s.tree.Connect(&s.local);
    QVERIFY(local);
    model.refresh();
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex top = model.index(0, 0);
    QCOMPARE(top.data().toString(),
        QStringLiteral("ローカル[") + QString::fromStdString(s.dir.path()) + QStringLiteral("]"));
    QCOMPARE(model.nodeAt(top), local);
    QCOMPARE(model.indexOf(local), top);
    QCOMPARE(model.rowCount(top), 2); // a and b, files never appear
    QSet<QString> names { model.index(0, 0, top).data().toString(), model.index(1, 0, top).data().toString() };
    QCOMPARE(names, (QSet<QString> { QStringLiteral("a"), QStringLiteral("b") }));

    // Selecting a lists it: its subfolder comes in as an insertion, and the rows
    // that were there stay (a view keeps its expanded branches).
    TDirNode* a = s.Sub(local, "a");
    const QPersistentModelIndex aIndex = model.indexOf(a);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QVERIFY(s.tree.Select(a));
    model.refresh();
    QCOMPARE(reset.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(0).value<QModelIndex>(), QModelIndex(aIndex));
    QVERIFY(aIndex.isValid());
    QCOMPARE(model.rowCount(aIndex), 1);
    QCOMPARE(model.index(0, 0, aIndex).data().toString(), QStringLiteral("x"));
    QCOMPARE(model.nodeAt(model.index(0, 0, aIndex)), s.Sub(a, "x"));

    // A second connection comes last.
    QVERIFY(s.tree.Connect(&s.remote));
    model.refresh();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("ftp[/home/web]"));
    const QPersistentModelIndex remoteTop = model.index(1, 0);

    // Refresh on the local top: its folders are freed and listed again. A new
    // folder on disk shows; the old rows below it go.
    QVERIFY(s.tree.Select(local));
    model.refresh();
    std::filesystem::create_directories(s.dir.file("c"));
    QVERIFY(s.tree.Refresh([](const std::string&) { return true; }));
    model.refresh();
    QVERIFY(!aIndex.isValid());
    QCOMPARE(model.rowCount(model.index(0, 0)), 3);
    for (int row = 0; row < 3; ++row) {
        const QModelIndex sub = model.index(row, 0, model.index(0, 0));
        QCOMPARE(model.nodeAt(sub)->Parent, local);
        QCOMPARE(model.rowCount(sub), 0); // listed again, the subfolders are not
    }

    // Disconnecting the local connection removes its row; the remote row moves up.
    QVERIFY(s.tree.Disconnect([] {}, [](TConnection&) { return true; }));
    model.refresh();
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(remoteTop.isValid());
    QCOMPARE(remoteTop.row(), 0);
    QCOMPARE(remoteTop.data().toString(), QStringLiteral("ftp[/home/web]"));
}

void ModelsTest::connectionTreeImagesFollowKindAndExpansion()
{
    Sites s;
    ConnectionTreeModel model(s.tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTreeView view;
    view.setModel(&model);
    FollowExpansion(&view, &model);

    QVERIFY(s.tree.Connect(&s.local));
    QVERIFY(s.tree.Connect(&s.remote));
    model.refresh();
    const QModelIndex local = model.index(0, 0);
    const QModelIndex remote = model.index(1, 0);
    QCOMPARE(model.imageIndex(local), 4); // closed local folder
    QCOMPARE(model.imageIndex(remote), 5); // closed FTP folder

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    view.expand(local);
    view.expand(remote);
    QCOMPARE(model.imageIndex(local), 2);
    QCOMPARE(model.imageIndex(remote), 3);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(local.data(Qt::DecorationRole).value<QIcon>().cacheKey(), ServerTypeIcon(2).cacheKey());
    // A folder below a remote connection has the remote images.
    const QModelIndex p = model.index(0, 0, remote);
    QCOMPARE(p.data().toString(), QStringLiteral("p"));
    QCOMPARE(model.imageIndex(p), 5);
    view.collapse(remote);
    QCOMPARE(model.imageIndex(remote), 5);
    // The six images differ from each other.
    QSet<qint64> keys;
    for (int i = 0; i < 6; ++i)
        keys.insert(ServerTypeIcon(i).cacheKey());
    QCOMPARE(keys.size(), 6);
}

void ModelsTest::fileListShowsTheFolderInFourColumns()
{
    Sites s;
    FileListModel model(s.tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE((QStringList { model.headerData(0, Qt::Horizontal).toString(),
                 model.headerData(1, Qt::Horizontal).toString(), model.headerData(2, Qt::Horizontal).toString(),
                 model.headerData(3, Qt::Horizontal).toString() }),
        (QStringList {
            QStringLiteral("名前"), QStringLiteral("日付"), QStringLiteral("属性"), QStringLiteral("サイズ") }));
    QCOMPARE(model.headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
        Qt::AlignRight);

    TConnection* local = s.tree.Connect(&s.local);
    QVERIFY(local);
    model.refresh();
    QCOMPARE(model.rowCount(), static_cast<int>(local->Children->size()));
    QCOMPARE(model.rowCount(), 6);
    // Row i is entry i of the folder, name decoded from Shift_JIS.
    bool sawJapanese = false;
    for (int row = 0; row < model.rowCount(); ++row) {
        const TNode& node = *(*local->Children)[static_cast<size_t>(row)];
        QCOMPARE(model.nodeAt(model.index(row, 0)), &node);
        const QString name = model.index(row, 0).data().toString();
        sawJapanese |= name == QStringLiteral("日本語.html");
        QCOMPARE(model.index(row, 1).data().toString(), QString::fromStdString(DateText(node.Date)));
        QCOMPARE(model.index(row, 2).data().toString(), QString::fromStdString(node.Attributes));
        QCOMPARE(model.index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
            FileTypeIcon(node.Kind).cacheKey());
        if (name == QStringLiteral("a"))
            QCOMPARE(model.index(row, 3).data().toString(), QStringLiteral("<DIR>"));
        if (name == QStringLiteral("big.zip")) {
            QCOMPARE(model.index(row, 3).data().toString(), QStringLiteral("4000"));
            QCOMPARE(node.Kind, nkArchive);
        }
        QCOMPARE(model.index(row, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
            Qt::AlignRight);
    }
    QVERIFY(sawJapanese);
}

void ModelsTest::fileListSortFollowsHeaderClicks()
{
    Sites s;
    CountingFileListModel model(s.tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTreeView view;
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    AttachHeader(view.header(), &model);
    view.resize(700, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.header()->isSortIndicatorShown() || view.header()->sortIndicatorSection() < 0
        || view.header()->sortIndicatorSection() >= 4);

    // A click while no folder is shown only moves the arrow.
    ClickHeader(view.header(), 2);
    QCOMPARE(model.sortColumn(), 2);
    QCOMPARE(view.header()->sortIndicatorSection(), 2);

    QVERIFY(s.tree.Connect(&s.local));
    model.refresh();
    // The selection follows its entry when the rows move.
    const int smallRow = Column(model, 0).indexOf(QStringLiteral("small.txt"));
    view.selectionModel()->select(
        model.index(smallRow, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    const QStringList byName = { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("big.zip"),
        QStringLiteral("index.html"), QStringLiteral("small.txt"), QStringLiteral("日本語.html") };
    QStringList reversed = byName;
    std::reverse(reversed.begin(), reversed.end());
    struct Step {
        int section;
        Qt::SortOrder order;
        QStringList names;
    };
    const Step steps[] = {
        { 0, Qt::AscendingOrder, byName },
        { 0, Qt::DescendingOrder, reversed },
        { 0, Qt::AscendingOrder, byName },
        // Files by size, then the folders (in either order); descending puts the folders first.
        { 3, Qt::AscendingOrder, {} },
        { 3, Qt::DescendingOrder, {} },
    };
    for (const Step& step : steps) {
        ClickHeader(view.header(), step.section);
        QCOMPARE(model.sortColumn(), step.section);
        QCOMPARE(model.sortOrder(), step.order);
        QCOMPARE(view.header()->sortIndicatorSection(), step.section);
        QCOMPARE(view.header()->sortIndicatorOrder(), step.order);
        const QStringList names = Column(model, 0);
        if (!step.names.isEmpty())
            QCOMPARE(names, step.names);
        // The core's folder is in the same order as the rows.
        TDirNode* shown = s.tree.Shown();
        for (int row = 0; row < model.rowCount(); ++row)
            QCOMPARE(model.nodeAt(model.index(row, 0)), (*shown->Children)[static_cast<size_t>(row)].get());
        const QModelIndexList selected = view.selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.front().data().toString(), QStringLiteral("small.txt"));
    }
    const QStringList sizes = Column(model, 3);
    QCOMPARE(sizes.mid(0, 2), (QStringList { QStringLiteral("<DIR>"), QStringLiteral("<DIR>") }));
    QCOMPARE(sizes.mid(2),
        (QStringList {
            QStringLiteral("4000"), QStringLiteral("300"), QStringLiteral("10"), QStringLiteral("5") }));

    // sort() puts the state where it is asked, whatever it was.
    model.sort(1, Qt::DescendingOrder);
    QCOMPARE(model.sortColumn(), 1);
    QCOMPARE(model.sortOrder(), Qt::DescendingOrder);
    QCOMPARE(view.header()->sortIndicatorSection(), 1);
    QCOMPARE(view.header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void ModelsTest::fileListRowsUpdateAfterRefresh()
{
    Sites s;
    FileListModel model(s.tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TConnection* local = s.tree.Connect(&s.local);
    model.refresh();
    QCOMPARE(model.rowCount(), 6);

    // Another folder: its rows, already in the current sort.
    model.columnClick(0);
    TDirNode* a = s.Sub(local, "a");
    QVERIFY(s.tree.Select(a));
    model.refresh();
    QCOMPARE(Column(model, 0), QStringList { QStringLiteral("x") });

    // Refresh lists the folder again: new entries show, in listing order.
    QVERIFY(s.tree.Select(local));
    model.refresh();
    WriteFile(s.dir.file("new.html"), 1);
    std::filesystem::remove(s.dir.file("small.txt"));
    QVERIFY(s.tree.Refresh([](const std::string&) { return true; }));
    model.refresh();
    QCOMPARE(model.rowCount(), 6);
    QVERIFY(Column(model, 0).contains(QStringLiteral("new.html")));
    QVERIFY(!Column(model, 0).contains(QStringLiteral("small.txt")));

    // Disconnect empties the list.
    QVERIFY(s.tree.Disconnect([] {}, [](TConnection&) { return true; }));
    model.refresh();
    QCOMPARE(model.rowCount(), 0);
}

void ModelsTest::fileListTakesManyEntriesWithoutPerRowCost()
{
    Sites s;
    CountingFileListModel model(s.tree);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    view.setModel(&model);
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    TConnection* local = s.tree.Connect(&s.local);
    for (int i = 0; i < 100000; ++i) {
        auto file = std::make_unique<TFileNode>();
        file->Name = "file" + std::to_string(i) + ".html";
        file->Size = i;
        file->Kind = nkPage;
        local->AddChild(std::move(file));
    }
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.rows.clear();
    model.refresh();
    QCOMPARE(model.rowCount(), 100006);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    view.scrollToBottom();
    QTest::qWait(50);
    QCoreApplication::processEvents();
    // Only the rows on screen (and a few the view measures) were read.
    QVERIFY2(model.rows.size() < 500, qPrintable(QString::number(model.rows.size())));
    QVERIFY(model.rows.count(100005) == 1);
    QCOMPARE(view.findChildren<QWidget*>().size() < 20, true);
}

// Node texts are bytes of the page: a UTF-8 or EUC-JP page's names read in
// its own encoding, not as Shift_JIS.
void ModelsTest::adTreeShowsNamesInThePageEncoding()
{
    const struct {
        PageEncoding encoding;
        std::string name; // 表示 in that encoding
    } cases[] = {
        { PageEncoding::ShiftJis, "\x95\x5C\x8E\xA6" },
        { PageEncoding::Utf8, "\xE8\xA1\xA8\xE7\xA4\xBA" },
        { PageEncoding::EucJp, "\xC9\xBD\xBC\xA8" },
    };
    for (const auto& c : cases) {
        AdTree tree;
        PageEncoding encoding = c.encoding;
        AdTreeModel model(tree, [&] { return encoding; });
        tree.Add(nullptr, c.name, nsMatched);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("表示"));
        QCOMPARE(model.index(0, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("表示"));
    }
}

void ModelsTest::adTreeFollowsTheCoreTree()
{
    AdTree tree;
    AdTreeModel model(tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    AdNode& first = tree.Add(nullptr, Sjis("バナー"), nsMatched);
    AdNode& rotation = tree.Add(nullptr, "rot", nsRotation);
    AdNode& m1 = tree.Add(&rotation, "m1", nsChanged);
    tree.Add(&rotation, "m2", nsUnlisted);
    AdNode& m3 = tree.Add(&rotation, "m3", nsMatched);
    tree.Add(nullptr, "last", nsUnlisted);
    QCOMPARE(inserted.count(), 6);
    QCOMPARE(Column(model, 0),
        (QStringList { QStringLiteral("バナー"), QStringLiteral("rot"), QStringLiteral("last") }));
    const QModelIndex rot = model.indexOf(&rotation);
    QCOMPARE(model.rowCount(rot), 3);
    QCOMPARE(model.nodeAt(model.index(2, 0, rot)), &m3);
    QCOMPARE(model.parent(model.index(2, 0, rot)), rot);
    // One past the last row, at the top and below a node, is no index.
    QVERIFY(!model.index(3, 0, rot).isValid());
    QVERIFY(!model.index(3, 0).isValid());
    QVERIFY(model.index(2, 0).isValid());

    // Images by status; a status change repaints the node.
    for (const auto& [node, status] : { std::pair<AdNode*, TAdNodeStatus> { &first, nsMatched },
             { &rotation, nsRotation }, { &m1, nsChanged } }) {
        QCOMPARE(model.indexOf(node).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
            AdTreeModel::statusIcon(status).cacheKey());
    }
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    tree.SetStatus(m1, nsMatched);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.indexOf(&m1));
    QCOMPARE(model.indexOf(&m1).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
        AdTreeModel::statusIcon(nsMatched).cacheKey());

    // The hint is every node's tooltip.
    QVERIFY(model.indexOf(&first).data(Qt::ToolTipRole).isNull());
    tree.SetHint(Sjis("広告文[バナー]"));
    QCOMPARE(model.indexOf(&m3).data(Qt::ToolTipRole).toString(), QStringLiteral("広告文[バナー]"));

    // Removing a member moves the later ones up; a persistent index follows.
    const QPersistentModelIndex m3Index = model.indexOf(&m3);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    tree.Remove(m1);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(m3Index.row(), 1);
    QCOMPARE(model.nodeAt(m3Index), &m3);
    // Removing the rotation takes its members.
    tree.Remove(rotation);
    QVERIFY(!m3Index.isValid());
    QCOMPARE(Column(model, 0), (QStringList { QStringLiteral("バナー"), QStringLiteral("last") }));

    // Selection and expand-all reach the view through signals.
    QSignalSpy marked(&model, &AdTreeModel::selectionMarked);
    QSignalSpy expand(&model, &AdTreeModel::expandAllRequested);
    tree.Select(&first);
    tree.ExpandAll();
    QCOMPARE(marked.count(), 1);
    QCOMPARE(marked.at(0).at(0).value<QModelIndex>(), model.indexOf(&first));
    QCOMPARE(expand.count(), 1);

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    tree.Clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
}

void ModelsTest::modelsReadSafelyWhileACommandRuns()
{
    Sites s;
    s.factory.server->AddFolder("/home/web/p/r");
    s.factory.server->AddFile("/home/web/p/page.html", "<html>");
    ConnectionTreeModel treeModel(s.tree);
    FileListModel fileModel(s.tree);
    TConnection* remote = s.tree.Connect(&s.remote);
    QVERIFY(remote);
    QVERIFY(s.tree.Select(s.Sub(remote, "p")));
    treeModel.refresh();
    fileModel.refresh();
    const QModelIndex p = treeModel.index(0, 0, treeModel.index(0, 0));
    QCOMPARE(treeModel.rowCount(p), 2);
    QCOMPARE(fileModel.rowCount(), 3);

    // Refresh frees the folder's entries and lists it again; the status text of
    // the listing is painted in between, before the models are refreshed.
    QStringList painted;
    s.feedback.paint = [&] {
        for (int row = 0; row < treeModel.rowCount(p); ++row)
            painted << treeModel.index(row, 0, p).data().toString();
        for (int row = 0; row < fileModel.rowCount(); ++row)
            painted << fileModel.index(row, 0).data().toString();
    };
    QVERIFY(s.tree.Refresh([](const std::string&) { return true; }));
    s.feedback.paint = nullptr;
    QVERIFY(!painted.isEmpty());
    // The tree keeps showing what it showed; the file list shows empty rows
    // rather than reading past the emptied folder.
    QCOMPARE(painted.mid(0, 2), (QStringList { QStringLiteral("q"), QStringLiteral("r") }));
    QCOMPARE(painted.mid(2, 3), (QStringList { QString(), QString(), QString() }));
    treeModel.refresh();
    fileModel.refresh();
    QCOMPARE(fileModel.rowCount(), 3);
    QCOMPARE(treeModel.rowCount(p), 2);
}

QTEST_MAIN(ModelsTest)
#include "models_test.moc"
