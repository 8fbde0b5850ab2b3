#pragma once

#include <QObject>

class QAction;
class QStandardItemModel;
class QTreeView;
class QWidget;

namespace pw::gui {

class ActionList;
class WebPane;
struct Workspace;

// The banners area: the banner list LVAdFlights with its preview pane.
class BannersArea : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QTreeView* list;           // LVAdFlights
        QStandardItemModel* model; // its rows
        QWidget* previewPanel;     // PnPreview
        WebPane* preview;          // WBPreview
        QAction* previewItem;      // MIAdPreview
    };

    BannersArea(Workspace& workspace, ActionList& actions, const Widgets& widgets, QObject* parent = nullptr);

    // Start-up: reads the catalogue and fills the list.
    void loadBanners();
    // Shows the selected banner in the preview pane through the second
    // scratch file (an empty page when none is selected).
    void showBannerPreview();

    bool hasSelectedBanner() const;
    // Selects a row of the list (the preview follows).
    void selectRow(int row);
    // The width the preview pane had when last shown.
    int previewWidth() const;
    // The width to keep for the pane while it is hidden (start-up: the stored one).
    void rememberPreviewWidth(int width) { m_shownPreviewWidth = width; }
    void setPreviewVisible(bool visible);

signals:
    void commandStateChanged();

private:
    void fillList();

    Workspace& m_workspace;
    Widgets m_widgets;
    int m_shownPreviewWidth = 0;
};

} // namespace pw::gui
