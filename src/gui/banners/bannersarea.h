#pragma once

#include <QObject>

#include <optional>
#include <string>

class QAction;
class QTreeView;
class QWidget;

namespace pw {
class TAdBanner;
}

namespace pw::gui {

class ActionList;
class TFmBanner;
class BannerListModel;
class WebPane;
struct Workspace;

// The banners area: the banner list LVAdFlights over the catalogue, with its
// preview pane, sorting, and the start-up and exit state of the list.
class BannersArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QTreeView* list; // LVAdFlights
        QWidget* previewPanel; // PnPreview
        WebPane* preview; // WBPreview
        QAction* previewItem; // MIAdPreview
        QAction* monitorItem; // MIMonitor
    };

    // The banner list and the two check items are made here, and the banner
    // editor dialog, a child of `window`; the window makes the preview pane
    // in its panel and hands both over.
    BannersArea(
        Workspace& workspace, ActionList& actions, WebPane* preview, QWidget* previewPanel, QWidget* window);
    // What the window places: the list beside the preview panel, the two
    // items in its options menu.
    const Widgets& widgets() const { return m_widgets; }

    BannerListModel* model() const { return m_model; }

    // The banner commands. A new banner starts from `html` (NewBanner passes
    // one blank); OK appends it, saves the catalogue and selects it.
    void newBanner(const std::string& html, size_t convertedCount = 0);
    void editBanner();
    void deleteBanner();
    void archiveBanner();
    // The clipboard changed: ad code copied in another program opens as the
    // catalogue banner with the same HTML, or as a new banner.
    void clipboardChanged();

    // Start-up: reads the catalogue, selects the banner numbered `lastAdIndex`
    // (the first one when that names none), applies the stored sort
    // "SortColumn", shows the preview, and from then on reacts to selection
    // changes.
    void loadBanners(int lastAdIndex, int sortColumn);
    // Reads the catalogue again (after the networks changed), keeping the
    // selected banner and the sort.
    void reloadBanners();
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
    // The catalogue changed: `oldName` is a banner's former name (none for a
    // new banner), `banner` the new or edited banner (none when removed). The
    // open page re-rates its blocks of those names.
    void bannerChanged(const std::optional<std::string>& oldName, const pw::TAdBanner* banner);

private:
    void selectionReaction();
    void saveCatalogue();
    void prepareDialog();

    Workspace& m_workspace;
    ActionList& m_actions;
    Widgets m_widgets;
    BannerListModel* m_model = nullptr;
    TFmBanner* m_dialog = nullptr;
    bool m_reacting = false; // the selection reaction runs (after start-up)
    bool m_watchingClipboard = false;
    int m_shownPreviewWidth = 0;
};

} // namespace pw::gui
