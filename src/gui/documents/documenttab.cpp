#include "gui/documents/documenttab.h"

#include "gui/documents/adtreemodel.h"
#include "gui/documents/findbar.h"
#include "gui/documents/scintillapageeditor.h"
#include "text/pagefile.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace pw::gui {

DocumentTab::DocumentTab(TFileNode& file, QWidget* parent)
    : QWidget(parent)
    , m_file(file)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(3);
    layout->addWidget(m_splitter);

    m_adTreeView = new QTreeView(m_splitter);
    m_adTreeView->setObjectName(QStringLiteral("AdTree"));
    m_adTreeView->setAccessibleName(QStringLiteral("ページの広告"));
    m_adTreeView->setHeaderHidden(true);
    m_adTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_adTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_adTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Node texts are the page's bytes: read in the editor's encoding.
    m_adTreeModel = new AdTreeModel(
        m_adTree, [this] { return m_editor ? m_editor->Encoding() : PageEncoding::ShiftJis; }, this);
    m_adTreeView->setModel(m_adTreeModel);
    connect(m_adTreeModel, &AdTreeModel::expandAllRequested, m_adTreeView, &QTreeView::expandAll);
    connect(m_adTreeModel, &AdTreeModel::selectionMarked, this, [this] { showTreeSelection(); });
    connect(m_adTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (!m_syncing)
                emit adNodeChosen(m_adTreeModel->nodeAt(current));
        });

    auto* right = new QWidget(m_splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    m_editor = new ScintillaPageEditor(right);
    m_editor->setObjectName(QStringLiteral("synedit"));
    m_editor->setAccessibleName(QStringLiteral("ページの編集"));
    m_findBar = new FindBar(m_editor, right);
    m_findBar->hide();
    rightLayout->addWidget(m_editor, 1);
    rightLayout->addWidget(m_findBar);

    m_splitter->addWidget(m_adTreeView);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({ 200, 800 });
    setTabOrder(m_adTreeView, m_editor);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { emit adTreeWidthChanged(adTreeWidth()); });
}

int DocumentTab::adTreeWidth() const
{
    return m_splitter->sizes().value(0);
}

void DocumentTab::setAdTreeWidth(int width)
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    m_splitter->setSizes({ width, std::max(total - width, 1) });
}

DocumentTab::~DocumentTab()
{
    // The model listens to the tree, which goes before the tab's children.
    m_adTreeView->setModel(nullptr);
    delete m_adTreeModel;
}

AdPage DocumentTab::page()
{
    return AdPage { m_editor->Page(), m_adTree, m_editor->Encoding() };
}

LineBuffer DocumentTab::pageLines() const
{
    const PageFile file { m_editor->PageLineBuffer(), m_editor->Encoding(), m_byteOrderMark,
        m_editor->PageLineBreak() };
    return file.MarkedLines();
}

void DocumentTab::showTreeSelection()
{
    m_syncing = true;
    const QModelIndex index = m_adTreeModel->indexOf(m_adTree.Selected());
    if (index.isValid()) {
        m_adTreeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_adTreeView->scrollTo(index);
    } else {
        m_adTreeView->selectionModel()->clear();
    }
    m_adTreeView->setToolTip(m_adTreeModel->data(index, Qt::ToolTipRole).toString());
    m_syncing = false;
}

} // namespace pw::gui
