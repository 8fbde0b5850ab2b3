#pragma once

#include <QObject>

class QMenu;
class QToolButton;
class QWidget;
class QPoint;

namespace pw {
class TAdBanner;
}

namespace pw::gui {

class ActionList;
class DocumentTab;
class DocumentsArea;
struct Workspace;

// The ad commands of the page tabs: a banner of the catalogue put into the
// active page as a normal or rotation block, replaced, deleted, found again,
// and the page's ad list rebuilt. Each edit is one undo step of the editor.
class PageAdCommands : public QObject {
    Q_OBJECT
public:
    // Makes the button TBAddAd and its small menu PMAddAdMenu (AddNormal and
    // AddRotation, a child of `window`), which a banner dropped on an editor
    // offers too.
    PageAdCommands(Workspace& workspace, DocumentsArea& documents, ActionList& actions, QWidget* window);
    // What the window places on its tool bar.
    QToolButton* addAdButton() const { return m_addButton; }

    void addNormal() { add(false); }
    void addRotation() { add(true); }
    void replaceAd();
    void deleteAd();
    void refreshAd();
    void jump();

    // A banner dropped on the active editor (the caret already stands under
    // the drop point): offers normal or rotation at `globalPos`.
    void bannerDroppedOnEditor(const QPoint& globalPos);
    // Takes banner drops on a new tab: on its editor, and on its ad tree,
    // where a drop on a node replaces that node's block.
    void attachTab(DocumentTab* tab);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void commandStateChanged();

private:
    void add(bool rotation);
    void replaceWith(DocumentTab& tab, const TAdBanner& banner);
    // Asks whether to write a block inside an HTML tag when `insideTag`;
    // true to go on.
    bool goOnInsideTag(DocumentTab& tab, bool insideTag);
    // The active tab when a banner is selected too (else none).
    DocumentTab* tabWithBanner() const;
    void finish(DocumentTab& tab);

    Workspace& m_workspace;
    DocumentsArea& m_documents;
    QMenu* m_addMenu;
    QToolButton* m_addButton;
};

} // namespace pw::gui
