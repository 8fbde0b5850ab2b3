#include "gui/documents/pageadcommands.h"

#include "gui/common/actionlist.h"
#include "gui/common/bannerdrag.h"
#include "gui/common/datatext.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/popupmenu.h"
#include "gui/documents/adtreemodel.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/workspace.h"
#include "pageads/adcommands.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QTreeView>

namespace pw::gui {

PageAdCommands::PageAdCommands(
    Workspace& workspace, DocumentsArea& documents, ActionList& actions, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_documents(documents)
    , m_addMenu(MakePopupMenu("PMAddAdMenu", window))
    , m_addButton(
          MakeCommandButton(Command::TBAddAd, QStringLiteral("広告リストの現在の広告文をファイルに追加する")))
{
    AddLinkedItem(m_addMenu, "MIAddNormal", actions.action(Command::AddNormal));
    AddLinkedItem(m_addMenu, "MIAddRotation", actions.action(Command::AddRotation));
    connect(m_addButton, &QToolButton::clicked, this, [this] { PopupBelow(m_addButton, m_addMenu); });
    auto bind = [&](Command command, void (PageAdCommands::*slot)()) {
        connect(actions.action(command), &QAction::triggered, this, slot);
    };
    bind(Command::AddNormal, &PageAdCommands::addNormal);
    bind(Command::AddRotation, &PageAdCommands::addRotation);
    bind(Command::ReplaceAd, &PageAdCommands::replaceAd);
    bind(Command::DeleteAd, &PageAdCommands::deleteAd);
    bind(Command::RefreshAd, &PageAdCommands::refreshAd);
    bind(Command::Jump, &PageAdCommands::jump);
}

DocumentTab* PageAdCommands::tabWithBanner() const
{
    DocumentTab* tab = m_documents.activeTab();
    return tab && m_workspace.Banners.SelectedBanner() ? tab : nullptr;
}

void PageAdCommands::finish(DocumentTab& tab)
{
    tab.showTreeSelection();
    tab.editor()->setFocus();
    emit commandStateChanged();
}

bool PageAdCommands::goOnInsideTag(DocumentTab& tab, bool insideTag)
{
    if (!insideTag)
        return true;
    // A warning: No is the default answer.
    return ShowMessage(tab.window(), MessageType::Warning, FromData(kInsideTagQuestion),
               QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void PageAdCommands::add(bool rotation)
{
    DocumentTab* tab = tabWithBanner();
    if (!tab)
        return;
    AdPage page = tab->page();
    const TAdBanner& banner = *m_workspace.Banners.SelectedBanner();
    if (!goOnInsideTag(*tab, AddAdBlockInsideTag(page, banner, rotation)))
        return;
    m_documents.report(AddAdBlock(page, m_workspace.Banners, banner, rotation));
    finish(*tab);
}

void PageAdCommands::replaceAd()
{
    if (DocumentTab* tab = tabWithBanner())
        replaceWith(*tab, *m_workspace.Banners.SelectedBanner());
}

void PageAdCommands::replaceWith(DocumentTab& tab, const TAdBanner& banner)
{
    AdPage page = tab.page();
    if (!goOnInsideTag(tab, ReplaceAdBlockInsideTag(page, banner)))
        return;
    m_documents.report(ReplaceAdBlock(page, m_workspace.Banners, banner));
    finish(tab);
}

void PageAdCommands::deleteAd()
{
    DocumentTab* tab = m_documents.activeTab();
    if (!tab || !tab->adTree().Selected())
        return;
    const auto answer = ShowMessage(tab->window(), MessageType::Confirmation, FromData(kConfirmDeleteQuestion),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    AdPage page = tab->page();
    m_documents.report(DeleteAdBlock(page, m_workspace.Banners));
    finish(*tab);
}

void PageAdCommands::refreshAd()
{
    DocumentTab* tab = m_documents.activeTab();
    if (!tab)
        return;
    AdPage page = tab->page();
    m_documents.report(RefreshAdList(page, m_workspace.Banners));
    finish(*tab);
}

void PageAdCommands::jump()
{
    DocumentTab* tab = tabWithBanner();
    if (!tab)
        return;
    AdPage page = tab->page();
    m_documents.report(
        Jump(page, m_workspace.Banners, *m_workspace.Banners.SelectedBanner(), m_documents.jumpCounter()));
    finish(*tab);
}

void PageAdCommands::bannerDroppedOnEditor(const QPoint& globalPos)
{
    if (tabWithBanner() && m_addMenu)
        PopupAtPointer(m_addMenu, globalPos);
}

void PageAdCommands::attachTab(DocumentTab* tab)
{
    connect(tab->editor(), &ScintillaPageEditor::BannerDropped, this, &PageAdCommands::bannerDroppedOnEditor);
    QTreeView* tree = tab->adTreeView();
    tree->setAcceptDrops(true);
    tree->viewport()->setAcceptDrops(true);
    tree->viewport()->installEventFilter(this);
}

bool PageAdCommands::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* tree = qobject_cast<QTreeView*>(watched->parent());
    DocumentTab* tab = m_documents.activeTab();
    auto* drop = static_cast<QDropEvent*>(event);
    if (!tree || !tab || tab->adTreeView() != tree || !drop->mimeData()->hasFormat(QLatin1String(kBannerMimeType)))
        return QObject::eventFilter(watched, event);
    if (!tabWithBanner()) {
        drop->ignore();
        return true;
    }
    if (type == QEvent::DragEnter) {
        drop->acceptProposedAction();
        return true;
    }
    // Only a node under the pointer takes the banner.
    const QModelIndex index = tree->indexAt(drop->position().toPoint());
    if (!index.isValid()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // Selecting the node selects its banner in the list: keep the dragged one.
        const TAdBanner* dragged = m_workspace.Banners.SelectedBanner();
        tree->setCurrentIndex(index); // the tree reaction puts the caret on the node's block
        replaceWith(*tab, *dragged);
    }
    return true;
}

} // namespace pw::gui
