// The main window's menu bar: every command in groups, for users who look for
// commands in menus and for the keyboard (F10, Alt+letter).

#include "gui/banners/bannersarea.h"
#include "gui/common/actionlist.h"
#include "gui/documents/documentsarea.h"
#include "gui/mainwindow.h"
#include "gui/networks/networksarea.h"
#include "gui/options/optionsarea.h"
#include "gui/reports/reportsarea.h"

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolButton>

namespace pw::gui {

void TMainForm::buildMenuBar()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    bar->setAccessibleName(QStringLiteral("メニュー"));

    auto group = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Item"));
        return menu;
    };
    // An action of the list, shown with its shortcut.
    auto command = [this](QMenu* menu, Command action) {
        QAction* source = m_actions->action(action);
        menu->addAction(ActionList::linkedItem(source, QStringLiteral("MM") + CommandObjectName(action), menu));
    };
    // A tool button with its own handler: the item clicks it and follows its
    // enabled state (see updateCommandState).
    auto button = [this](QMenu* menu, Command name, const QString& caption) {
        auto* target = findChild<QToolButton*>(CommandObjectName(name));
        QAction* item = menu->addAction(caption);
        item->setObjectName(QStringLiteral("MM") + CommandObjectName(name));
        item->setStatusTip(target->statusTip());
        item->setIcon(target->icon());
        connect(item, &QAction::triggered, target, &QToolButton::click);
        m_buttonItems.emplace_back(item, target);
        return item;
    };
    // An item of a pop-up menu, shown here too.
    auto existing = [this](QMenu* menu, Command name) {
        if (QAction* item = findChild<QAction*>(CommandObjectName(name)))
            menu->addAction(item);
    };

    QMenu* file = group("MenuFile", QStringLiteral("ファイル(&F)"));
    command(file, Command::FileOpen);
    command(file, Command::FilePreview);
    command(file, Command::FileSave);
    command(file, Command::FileCloseAct);
    file->addMenu(m_documents->encodingMenu());
    file->addSeparator();
    button(file, Command::TBExit, QStringLiteral("終了(&X)"))->setShortcut(QKeySequence::Quit);

    QMenu* edit = group("MenuEdit", QStringLiteral("編集(&E)"));
    command(edit, Command::EditCut);
    command(edit, Command::EditCopy);
    command(edit, Command::EditPaste);
    edit->addSeparator();
    edit->addAction(m_documents->findAction());

    QMenu* site = group("MenuSite", QStringLiteral("サイト(&S)"));
    button(site, Command::TBConnect, QStringLiteral("接続(&C)"));
    button(site, Command::TBDisconnect, QStringLiteral("切断(&D)"));
    button(site, Command::TBReconnect, QStringLiteral("再接続(&R)"));
    command(site, Command::RefreshDir);
    site->addSeparator();
    button(site, Command::TBHosts, QStringLiteral("サーバー・フォルダのリスト(&L)..."));

    QMenu* ads = group("MenuAds", QStringLiteral("広告(&A)"));
    command(ads, Command::AddNormal);
    command(ads, Command::AddRotation);
    command(ads, Command::ReplaceAd);
    command(ads, Command::DeleteAd);
    command(ads, Command::RefreshAd);
    command(ads, Command::Jump);
    ads->addSeparator();
    command(ads, Command::NewBanner);
    command(ads, Command::EditBanner);
    command(ads, Command::DeleteBanner);
    command(ads, Command::ArchiveBanner);
    ads->addSeparator();
    button(ads, Command::TBSiteWide, QStringLiteral("サイト全体の広告(&W)..."));
    ads->addSeparator();
    ads->addAction(m_reports->widgets().importItem);
    ads->addAction(m_reports->widgets().revenueItem);
    ads->addAction(m_reports->widgets().bannerRevenueItem);

    QMenu* networks = group("MenuNetworks", QStringLiteral("ネットワーク(&N)"));
    QAction* login = networks->addMenu(m_networks->widgets().loginMenu);
    login->setText(QStringLiteral("自動ログイン(&L)"));
    existing(networks, Command::MINetwork);
    existing(networks, Command::MIUpdateNetwork);

    QMenu* tools = group("MenuTools", QStringLiteral("ツール(&T)"));
    tools->addAction(m_banners->widgets().previewItem);
    tools->addAction(m_banners->widgets().monitorItem);
    tools->addAction(m_options->widgets().adItem);
    tools->addSeparator();
    existing(tools, Command::MIOption);

    QMenu* help = group("MenuHelp", QStringLiteral("ヘルプ(&H)"));
    button(help, Command::TBHelp, QStringLiteral("使い方(&H)"))->setShortcut(QKeySequence::HelpContents);
    QAction* about = help->addAction(QStringLiteral("Pagewick について(&A)"));
    about->setObjectName(QStringLiteral("MMAbout"));
    connect(about, &QAction::triggered, this, &TMainForm::showAbout);
}

void TMainForm::showAbout()
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(QStringLiteral("Pagewick について"));
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.setTextFormat(Qt::RichText);
    box.setText(
        QStringLiteral("<h3>Pagewick %1</h3>"
                       "<p>アフィリエイト広告を管理し、サイトのページに貼り、広告代理店にログインするツール。</p>"
                       "<p>このプログラムはフリーソフトウェアです。GNU 一般公衆利用許諾書 (GPL) "
                       "バージョン 3 またはそれ以降のバージョンの条件で再頒布・改変できます。"
                       "保証は一切ありません。</p>"
                       "<p>License: GPL-3.0-or-later</p>")
            .arg(QApplication::applicationVersion()));
    box.exec();
}

} // namespace pw::gui
