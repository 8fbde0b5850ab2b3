#pragma once

#include "sites/ftpclient.h"

#include <QObject>
#include <QString>

class QToolButton;
class QWidget;

namespace pw::gui {

class FmSiteWide;
class OpenDocuments;
class SitesArea;
struct Workspace;

// The whole-site command: its tool button (TBSiteWide) opens the whole-site
// dialog on the setup selected in the site selector. The dialog connects on
// its own, with `clients` (not the window's transfers), and leaves the pages
// that `documents` has open in tabs alone.
class SiteWideArea : public QObject {
    Q_OBJECT
public:
    SiteWideArea(Workspace& workspace, SitesArea& sites, OpenDocuments& documents, FtpClientFactory clients,
        QWidget* window);

    // What the window places on its tool bar and in its menu 広告.
    QToolButton* button() const { return m_button; }
    FmSiteWide* dialog() const { return m_dialog; }

    // The command: the dialog on the selected setup.
    void openDialog();
    // A page was opened in a tab: a run going on leaves it alone.
    void pageOpened();
    // The banner catalogue changed: the inventory shown is stale.
    void catalogueChanged();
    // Whether quitting may go on: while a run goes on, the user is asked
    // first, and a yes stops the run cleanly (it can be resumed later).
    bool mayQuit();

signals:
    // The dialog asks to open a page of a setup in a tab, a line selected.
    void pageRequested(const QString& setupName, const QString& path, int line);

private:
    Workspace& m_workspace;
    SitesArea& m_sites;
    QToolButton* m_button;
    FmSiteWide* m_dialog;
};

} // namespace pw::gui
