// The main window's widgets, tool bar and menus.

#include "gui/common/actionlist.h"
#include "gui/common/webpane.h"
#include "gui/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
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

namespace {

// The maker's service. The online-services work makes it configurable.
QString ServiceAddress()
{
    return QStringLiteral("https://pagewick.example/pagewick/");
}

QTreeView* MakeReportList(const QString& name, QWidget* parent)
{
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->header()->setSectionsMovable(false);
    view->header()->setSectionsClickable(true);
    view->header()->setStretchLastSection(false);
    view->header()->setDefaultSectionSize(50);
    return view;
}

QWidget* MakePanel(const QString& name, QWidget* content, QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
    return panel;
}

} // namespace

void TMainForm::buildLayout()
{
    auto* panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);

    m_middleSplitter = new QSplitter(Qt::Vertical, panel1);
    m_middleSplitter->setObjectName(QStringLiteral("Splitter2"));
    m_middleSplitter->setChildrenCollapsible(false);

    // The page control: the list page first, then one page per open document.
    m_pages = new QTabWidget(m_middleSplitter);
    m_pages->setObjectName(QStringLiteral("PCMain"));
    m_pages->setAccessibleName(QStringLiteral("ページ"));
    m_directoryPage = new QWidget(m_pages);
    m_directoryPage->setObjectName(QStringLiteral("TSDirectory"));
    auto* directoryLayout = new QVBoxLayout(m_directoryPage);
    directoryLayout->setContentsMargins(0, 0, 0, 0);
    m_directorySplitter = new QSplitter(Qt::Horizontal, m_directoryPage);
    m_directorySplitter->setObjectName(QStringLiteral("Splitter1"));
    m_directorySplitter->setChildrenCollapsible(false);
    directoryLayout->addWidget(m_directorySplitter);

    m_tree = new QTreeView(m_directorySplitter);
    m_tree->setObjectName(QStringLiteral("TVConnected"));
    m_tree->setAccessibleName(QStringLiteral("接続とフォルダ"));
    m_tree->setHeaderHidden(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);

    m_files = MakeReportList(QStringLiteral("LVFiles"), m_directorySplitter);
    m_files->setAccessibleName(QStringLiteral("ファイル一覧"));
    m_files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The sites area puts the file list model on it.
    m_directorySplitter->addWidget(m_tree);
    m_directorySplitter->addWidget(m_files);
    m_directorySplitter->setStretchFactor(1, 1);
    m_pages->addTab(m_directoryPage, QStringLiteral("リスト"));

    // The banner list with the preview pane at its right.
    m_middle = new QSplitter(Qt::Horizontal, m_middleSplitter);
    m_middle->setObjectName(QStringLiteral("PnMiddle"));
    m_middle->setChildrenCollapsible(false);
    m_bannerList = MakeReportList(QStringLiteral("LVAdFlights"), m_middle);
    m_bannerList->setAccessibleName(QStringLiteral("広告リスト"));
    m_bannerList->setSelectionMode(QAbstractItemView::SingleSelection);
    // The banners area puts the catalogue's model on it.
    m_preview = new WebPane;
    m_preview->setObjectName(QStringLiteral("WBPreview"));
    m_preview->setAccessibleName(QStringLiteral("広告のプレビュー"));
    m_previewPanel = MakePanel(QStringLiteral("PnPreview"), m_preview, m_middle);
    m_middle->addWidget(m_bannerList);
    m_middle->addWidget(m_previewPanel);
    m_middle->setStretchFactor(0, 1);
    m_middle->setStretchFactor(1, 0);

    m_middleSplitter->addWidget(m_pages);
    m_middleSplitter->addWidget(m_middle);
    m_middleSplitter->setStretchFactor(0, 0);
    m_middleSplitter->setStretchFactor(1, 1);
    panelLayout->addWidget(m_middleSplitter, 1);

    // The ad panel along the bottom.
    m_ad = new WebPane;
    m_ad->setObjectName(QStringLiteral("WBAd"));
    m_ad->setAccessibleName(QStringLiteral("広告パネル"));
    m_adPanel = MakePanel(QStringLiteral("PnAd"), m_ad, panel1);
    m_adPanel->setFixedHeight(70);
    panelLayout->addWidget(m_adPanel);

    setCentralWidget(panel1);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);
}

void TMainForm::buildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar2"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setFixedHeight(29);
    m_toolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto own = [this](Command name, const QString& hint) {
        auto* button = new QToolButton(m_toolBar);
        button->setObjectName(CommandObjectName(name));
        button->setToolTip(hint);
        button->setStatusTip(hint);
        button->setAccessibleName(hint);
        button->setAutoRaise(true);
        button->setFixedWidth(24);
        m_toolBar->addWidget(button);
        return button;
    };
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
    auto separator = [this] { m_toolBar->addSeparator(); };

    own(Command::TBLogin, QStringLiteral("広告代理店ホームページに自動ログインする"));
    own(Command::TBOptions, QStringLiteral("オプション設定"));
    own(Command::TBHosts, QStringLiteral("サーバー・フォルダのリストの設定"));
    m_setups = new QComboBox(m_toolBar);
    m_setups->setObjectName(QStringLiteral("CBSetups"));
    m_setups->setFixedWidth(162);
    m_setups->setMaxVisibleItems(16);
    m_setups->setAccessibleName(QStringLiteral("サーバーまたはフォルダ"));
    m_setups->setToolTip(QStringLiteral("サーバーまたはフォルダを選んで、次の接続ボタンをクリックしてください"));
    m_toolBar->addWidget(m_setups);
    own(Command::TBConnect, QStringLiteral("ＦＴＰサーバーに接続・フォルダのオープン"));
    own(Command::TBDisconnect, QStringLiteral("ＦＴＰサーバーに切断・フォルダのクローズ"));
    own(Command::TBReconnect, QStringLiteral("ＦＴＰサーバーに再接続"));
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
    own(Command::TBAddAd, QStringLiteral("広告リストの現在の広告文をファイルに追加する"));
    separator();
    bound("TBNew", Command::NewBanner);
    bound("TBEdit", Command::EditBanner);
    bound("TBDelete", Command::DeleteBanner);
    bound("TBArchive", Command::ArchiveBanner);
    bound("TBReplaceAd", Command::ReplaceAd);
    separator();
    own(Command::TBHelp, QStringLiteral("ヘルプ・使い方"));
    own(Command::TBExit, QStringLiteral("プログラム終了"));
}

void TMainForm::buildMenus()
{
    auto menu = [this](const char* name) {
        auto* m = new QMenu(this);
        m->setObjectName(QLatin1String(name));
        m->setToolTipsVisible(true);
        return m;
    };
    auto item = [this](QMenu* m, const char* name, Command action) {
        QAction* linked = ActionList::linkedItem(m_actions->action(action), QLatin1String(name), m);
        m->addAction(linked);
        return linked;
    };
    auto addAdSubmenu = [&](QMenu* parent, Command name, const char* normal, const char* rotation) {
        QMenu* sub = parent->addMenu(QStringLiteral("現在の広告をファイルに追加する"));
        sub->menuAction()->setObjectName(CommandObjectName(name));
        item(sub, normal, Command::AddNormal);
        item(sub, rotation, Command::AddRotation);
    };

    QMenu* directory = menu("PMDirectory");
    item(directory, "MIRefresh", Command::RefreshDir);

    QMenu* file = menu("PMFile");
    item(file, "MIOpen", Command::FileOpen);
    item(file, "MIPreview", Command::FilePreview);

    QMenu* adEdit = menu("PMAdEdit");
    item(adEdit, "MIJump", Command::Jump);
    addAdSubmenu(adEdit, Command::MIAddAd, "MIAddNormal1", "MIAddRotation1");
    item(adEdit, "MIReplaceAd", Command::ReplaceAd);
    adEdit->addSeparator();
    item(adEdit, "MINew", Command::NewBanner);
    item(adEdit, "MIEdit", Command::EditBanner);
    item(adEdit, "MIDelete", Command::DeleteBanner);
    item(adEdit, "MIArchive", Command::ArchiveBanner);

    QMenu* ads = m_adTreeMenu = menu("PMAds");
    item(ads, "MIDeleteAd", Command::DeleteAd);
    ads->addSeparator();
    item(ads, "MIRefreshAd", Command::RefreshAd);

    QMenu* openingFile = m_editorMenu = menu("PMOpeningFile");
    item(openingFile, "MIPreview2", Command::FilePreview);
    openingFile->addSeparator();
    item(openingFile, "MISave", Command::FileSave);
    item(openingFile, "MIClose", Command::FileCloseAct);
    openingFile->addSeparator();
    addAdSubmenu(openingFile, Command::MIAddAd1, "MIAddNormal2", "MIAddRotation2");
    item(openingFile, "MIReplaceAd1", Command::ReplaceAd);

    m_addAdMenu = menu("PMAddAdMenu");
    item(m_addAdMenu, "MIAddNormal", Command::AddNormal);
    item(m_addAdMenu, "MIAddRotation", Command::AddRotation);

    m_loginMenu = menu("PMLogin");

    m_optionsMenu = menu("PMOptions");
    auto option = [this](Command name, const QString& caption, const QString& hint, bool checkable) {
        auto* a = new QAction(caption, m_optionsMenu);
        a->setObjectName(CommandObjectName(name));
        ApplyHint(a, hint);
        a->setCheckable(checkable);
        a->setChecked(checkable);
        m_optionsMenu->addAction(a);
        return a;
    };
    m_previewItem = option(Command::MIAdPreview, QStringLiteral("プレビュー"),
        QStringLiteral("広告リストの広告プレビューを見る・見ない"), true);
    m_monitorItem = option(Command::MIMonitor, QStringLiteral("クリップボード"),
        QStringLiteral("クリップボードを自動監視する・しない"), true);
    m_adItem
        = option(Command::MIAd, QStringLiteral("広告パネル"), QStringLiteral("広告パネルを見る・見ない"), true);
    option(Command::MINetwork, QStringLiteral("広告代理店設定..."), QStringLiteral("広告代理店登録・修正する"),
        false);
    option(Command::MIUpdateNetwork, QStringLiteral("広告代理店設定更新"),
        ServiceAddress() + QStringLiteral("から最新の広告代理店設定を更新する"), false);
    option(Command::MIOption, QStringLiteral("オプション設定"), QStringLiteral("オプション設定"), false);

    // Pop-up menus of the lists.
    auto attach = [](QAbstractItemView* view, QMenu* m) {
        QObject::connect(view, &QWidget::customContextMenuRequested, m,
            [view, m](const QPoint& at) { m->popup(view->viewport()->mapToGlobal(at)); });
    };
    attach(m_tree, directory);
    attach(m_files, file);
    attach(m_bannerList, adEdit);
}

} // namespace pw::gui
