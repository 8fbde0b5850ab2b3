// The main window's frame, the placing of the areas' widgets, the tool bar
// and the menus of the action list.

#include "gui/banners/bannersarea.h"
#include "gui/common/actionlist.h"
#include "gui/common/framewidgets.h"
#include "gui/common/popupmenu.h"
#include "gui/common/toolbarfocus.h"
#include "gui/common/webpane.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/pageadcommands.h"
#include "gui/mainwindow.h"
#include "gui/networks/networksarea.h"
#include "gui/options/optionsarea.h"
#include "gui/sites/sitesarea.h"
#include "gui/sitewide/sitewidearea.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace pw::gui {

void TMainForm::buildFrame()
{
    auto* panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);

    m_middleSplitter = new QSplitter(Qt::Vertical, panel1);
    m_middleSplitter->setObjectName(QStringLiteral("Splitter2"));
    m_middleSplitter->setChildrenCollapsible(false);

    // The page control: the sites area's list page first, then one page per
    // open document.
    m_pages = new QTabWidget(m_middleSplitter);
    m_pages->setObjectName(QStringLiteral("PCMain"));
    m_pages->setAccessibleName(QStringLiteral("ページ"));

    // Below it the banner list (the banners area's) with the preview pane at its right.
    m_middle = new QSplitter(Qt::Horizontal, m_middleSplitter);
    m_middle->setObjectName(QStringLiteral("PnMiddle"));
    m_middle->setChildrenCollapsible(false);
    m_preview = new WebPane;
    m_preview->setObjectName(QStringLiteral("WBPreview"));
    m_preview->setAccessibleName(QStringLiteral("広告のプレビュー"));
    m_previewPanel = MakePanel(QStringLiteral("PnPreview"), m_preview);
    m_middle->addWidget(m_previewPanel);

    m_middleSplitter->addWidget(m_pages);
    m_middleSplitter->addWidget(m_middle);
    m_middleSplitter->setStretchFactor(0, 0);
    m_middleSplitter->setStretchFactor(1, 1);
    panelLayout->addWidget(m_middleSplitter, 1);
    // The options area's ad panel goes along the bottom (see placeAreaWidgets).

    setCentralWidget(panel1);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);
}

void TMainForm::placeAreaWidgets()
{
    const SitesArea::Widgets& sites = m_sites->widgets();
    const BannersArea::Widgets& banners = m_banners->widgets();
    const NetworksArea::Widgets& networks = m_networks->widgets();
    const OptionsArea::Widgets& options = m_options->widgets();

    m_pages->insertTab(0, sites.listPage, QStringLiteral("リスト"));
    m_middle->insertWidget(0, banners.list);
    m_middle->setStretchFactor(0, 1);
    m_middle->setStretchFactor(1, 0);
    centralWidget()->layout()->addWidget(options.adPanel);
    statusBar()->addPermanentWidget(m_documents->widgets().encodingLabel);

    // The tool bar: the areas' own buttons and buttons bound to actions.
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar2"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setFixedHeight(29);
    m_toolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto bound = [this](const char* name, Command action) {
        auto* button = new QToolButton(m_toolBar);
        button->setObjectName(QLatin1String(name));
        QAction* bound = m_actions->action(action);
        button->setDefaultAction(bound);
        button->setAccessibleName(PlainCaption(bound->text()));
        button->setAutoRaise(true);
        button->setFixedWidth(24);
        m_toolBar->addWidget(button);
        return button;
    };
    auto place = [this](QWidget* widget) { m_toolBar->addWidget(widget); };
    auto separator = [this] { m_toolBar->addSeparator(); };

    place(networks.loginButton);
    place(options.optionsButton);
    place(sites.hostsButton);
    place(sites.setups);
    place(sites.connectButton);
    place(sites.disconnectButton);
    place(sites.reconnectButton);
    separator();
    bound("TBRefresh", Command::RefreshDir);
    bound("TBOpen", Command::FileOpen);
    bound("TBPreview", Command::FilePreview);
    bound("TBSave", Command::FileSave);
    bound("TBClose", Command::FileCloseAct);
    separator();
    bound("TBDeleteAd", Command::DeleteAd);
    bound("TBRefreshAd", Command::RefreshAd);
    separator();
    bound("TBJump", Command::Jump);
    place(m_adCommands->addAdButton());
    separator();
    bound("TBNew", Command::NewBanner);
    bound("TBEdit", Command::EditBanner);
    bound("TBDelete", Command::DeleteBanner);
    bound("TBArchive", Command::ArchiveBanner);
    bound("TBReplaceAd", Command::ReplaceAd);
    place(m_siteWide->button());
    separator();
    place(options.helpButton);
    place(m_exitButton);
    new ToolBarFocus(m_toolBar, sites.setups);

    // PMOptions: the check items and dialogs of three areas.
    QMenu* menu = options.optionsMenu;
    menu->addAction(banners.previewItem);
    menu->addAction(banners.monitorItem);
    menu->addAction(options.adItem);
    menu->addAction(networks.networksItem);
    menu->addAction(networks.updateItem);
    menu->addAction(options.optionItem);

    // Pop-up menus of the lists.
    auto attach = [](QAbstractItemView* view, QMenu* m) {
        QObject::connect(view, &QWidget::customContextMenuRequested, m,
            [view, m](const QPoint& at) { PopupAtPointer(m, view->viewport()->mapToGlobal(at)); });
    };
    attach(sites.tree, m_directoryMenu);
    attach(sites.files, m_fileMenu);
    attach(banners.list, m_adEditMenu);
}

void TMainForm::buildMenus()
{
    auto item = [this](QMenu* m, const char* name, Command action) {
        return AddLinkedItem(m, name, m_actions->action(action));
    };

    QMenu* directory = m_directoryMenu = MakePopupMenu("PMDirectory", this);
    item(directory, "MIRefresh", Command::RefreshDir);

    QMenu* file = m_fileMenu = MakePopupMenu("PMFile", this);
    item(file, "MIOpen", Command::FileOpen);
    item(file, "MIPreview", Command::FilePreview);

    QMenu* adEdit = m_adEditMenu = MakePopupMenu("PMAdEdit", this);
    item(adEdit, "MIJump", Command::Jump);
    AddAddAdSubmenu(adEdit, Command::MIAddAd, "MIAddNormal1", "MIAddRotation1",
        m_actions->action(Command::AddNormal), m_actions->action(Command::AddRotation));
    item(adEdit, "MIReplaceAd", Command::ReplaceAd);
    adEdit->addSeparator();
    item(adEdit, "MINew", Command::NewBanner);
    item(adEdit, "MIEdit", Command::EditBanner);
    item(adEdit, "MIDelete", Command::DeleteBanner);
    item(adEdit, "MIArchive", Command::ArchiveBanner);

    m_exitButton = MakeCommandButton(Command::TBExit, QStringLiteral("プログラム終了"));
}

} // namespace pw::gui
