#pragma once

#include "pageads/adpage.h"
#include "pageads/adtree.h"
#include "text/linebuffer.h"

#include <QWidget>

#include <string>
#include <vector>

class QSplitter;
class QTreeView;

namespace pw {
class ScintillaPageEditor;
class TFileNode;
} // namespace pw

namespace pw::gui {

class AdTreeModel;
class FindBar;

// The tab of one open page: the ad tree on the left, the editor with its find
// bar on the right. The tab belongs to the file entry it shows.
class DocumentTab : public QWidget {
    Q_OBJECT
public:
    DocumentTab(TFileNode& file, QWidget* parent = nullptr);
    ~DocumentTab() override;

    TFileNode& file() const { return m_file; }
    ScintillaPageEditor* editor() const { return m_editor; }
    QTreeView* adTreeView() const { return m_adTreeView; }
    AdTreeModel* adTreeModel() const { return m_adTreeModel; }
    FindBar* findBar() const { return m_findBar; }
    AdTree& adTree() { return m_adTree; }
    // The page as the ad commands see it.
    AdPage page();
    // Selects the tree row of the core's selected node (none: no row).
    void showTreeSelection();

    // The page's lines for saving: the editor's, with the byte order mark the
    // file started with put back in front.
    LineBuffer pageLines() const;
    void setByteOrderMark(bool mark) { m_byteOrderMark = mark; }
    bool byteOrderMark() const { return m_byteOrderMark; }
    // The width of the ad tree beside the editor.
    int adTreeWidth() const;
    void setAdTreeWidth(int width);

signals:
    // The user selected another ad tree node (null: none).
    void adNodeChosen(pw::AdNode* node);
    // The user dragged the splitter between the ad tree and the editor.
    void adTreeWidthChanged(int width);

private:
    TFileNode& m_file;
    AdTree m_adTree;
    QSplitter* m_splitter = nullptr;
    QTreeView* m_adTreeView = nullptr;
    AdTreeModel* m_adTreeModel = nullptr;
    ScintillaPageEditor* m_editor = nullptr;
    FindBar* m_findBar = nullptr;
    bool m_syncing = false;
    bool m_byteOrderMark = false;
};

} // namespace pw::gui
