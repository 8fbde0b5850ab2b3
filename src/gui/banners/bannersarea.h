#pragma once

#include <QObject>

class QAction;
class QTreeView;
class QWidget;

namespace pw::gui {

class ActionList;
class BannerListModel;
class WebPane;
struct Workspace;

// The banners area: the banner list LVAdFlights over the catalogue, with its
// preview pane, sorting, and the start-up and exit state of the list.
class BannersArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QTreeView* list;       // LVAdFlights
        QWidget* previewPanel; // PnPreview
        WebPane* preview;      // WBPreview
        QAction* previewItem;  // MIAdPreview
    };

    BannersArea(Workspace& workspace, ActionList& actions, const Widgets& widgets, QObject* parent = nullptr);

    BannerListModel* model() const { return m_model; }

    // Start-up: reads the catalogue, selects the banner numbered `lastAdIndex`
    // (the first one when that names none), applies the stored sort
    // "SortColumn", shows the preview, and from then on reacts to selection
    // changes.
    void loadBanners(int lastAdIndex, int sortColumn);
    // Shows the selected banner in the preview pane through the second
    // scratch file (an empty page when none is selected).
    void showBannerPreview();

    bool hasSelectedBanner() const;
    // Selects a row of the list (the preview follows); -1 clears the selection.
    void selectRow(int row);
    // A header click on `column`: sorts by it, the selection following the banner.
    void clickColumn(int column);
    // The width the preview pane had when last shown.
    int previewWidth() const;
    // The width to keep for the pane while it is hidden (start-up: the stored one).
    void rememberPreviewWidth(int width) { m_shownPreviewWidth = width; }
    void setPreviewVisible(bool visible);

signals:
    void commandStateChanged();
    // The selected banner changed (the page's jump starts over).
    void bannerSelectionChanged();

private:
    void selectionReaction();

    Workspace& m_workspace;
    ActionList& m_actions;
    Widgets m_widgets;
    BannerListModel* m_model = nullptr;
    bool m_reacting = false; // the selection reaction runs (after start-up)
    int m_shownPreviewWidth = 0;
};

} // namespace pw::gui
