#include "base/files.h"
#include "gui/common/actionlist.h"
#include "gui/common/emptyhint.h"
#include "gui/common/messagebox.h"
#include "gui/common/qttexts.h"
#include "gui/mainwindow.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "settings/settingsfile.h"
#include "sites/setup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <sys/stat.h>

using namespace pw;
using namespace pw::gui;

namespace {

std::unique_ptr<TMainForm> StartForm(const QTemporaryDir& dir)
{
    auto form = std::make_unique<TMainForm>(dir.path(), dir.path(), net::CurlFtpClientFactory());
    form->startUp();
    return form;
}

QStringList MenuItems(const QMenu* menu)
{
    QStringList names;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            names << QStringLiteral("-");
        else if (a->menu())
            names << a->objectName() + QLatin1Char('(') + MenuItems(a->menu()).join(QLatin1Char(','))
                    + QLatin1Char(')');
        else
            names << a->objectName();
    }
    return names;
}

std::string Plain(const QString& path)
{
    std::string image;
    ReadWholeFile(path.toStdString(), image);
    ScrambleFileImage(image);
    return image;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_messages.clear();
        SetMessageHandler([this](MessageType, const QString& text) {
            m_messages << text;
            return QMessageBox::Ok;
        });
    }

    void layoutAndCaptions()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        QCOMPARE(form->windowTitle(), QStringLiteral("Pagewick(V1.1)"));
        auto* pages = form->findChild<QTabWidget*>(QStringLiteral("PCMain"));
        QVERIFY(pages);
        QCOMPARE(pages->count(), 1);
        QCOMPARE(pages->tabText(0), QStringLiteral("リスト"));
        QCOMPARE(pages->widget(0)->objectName(), QStringLiteral("TSDirectory"));
        QVERIFY(pages->widget(0)->findChild<QTreeView*>(QStringLiteral("TVConnected")));
        QVERIFY(pages->widget(0)->findChild<QTreeView*>(QStringLiteral("LVFiles")));
        for (const char* name : { "PnMiddle", "PnPreview", "WBPreview", "PnAd", "WBAd", "StatusBar1", "Panel1" })
            QVERIFY2(form->findChild<QWidget*>(QLatin1String(name)), name);

        auto headers = [&](const char* name) {
            auto* view = form->findChild<QTreeView*>(QLatin1String(name));
            QStringList captions;
            for (int i = 0; i < view->model()->columnCount(); ++i)
                captions << view->model()->headerData(i, Qt::Horizontal).toString();
            return captions;
        };
        QCOMPARE(headers("LVAdFlights"),
            (QStringList { QStringLiteral("広告名"), QStringLiteral("ネットワーク名"), QStringLiteral("タイプ"),
                QStringLiteral("PV"), QStringLiteral("CT"), QStringLiteral("率"), QStringLiteral("総収入") }));
        QCOMPARE(headers("LVFiles"),
            (QStringList { QStringLiteral("名前"), QStringLiteral("日付"), QStringLiteral("属性"),
                QStringLiteral("サイズ") }));

        const QStringList dialogs { QStringLiteral("FmNetworks"), QStringLiteral("FmBanner"),
            QStringLiteral("FmHosts"), QStringLiteral("FmOption"), QStringLiteral("FmEditIni"),
            QStringLiteral("FmMessage") };
        const QStringList titles { QStringLiteral("ネットワーク名設定"), QStringLiteral("バナー広告設定"),
            QStringLiteral("ホスト一覧"), QStringLiteral("オプション設定"), QString(),
            QStringLiteral("アフィリエイト登録に関する説明") };
        for (int i = 0; i < dialogs.size(); ++i) {
            auto* dialog = form->findChild<QDialog*>(dialogs[i]);
            QVERIFY2(dialog, qPrintable(dialogs[i]));
            QCOMPARE(dialog->windowTitle(), titles[i]);
        }
    }

    // Qt's own button texts are Japanese, so that a question that says
    // 「いいえ」で… has a いいえ button.
    void questionsHaveJapaneseButtons()
    {
        QVERIFY(InstallJapaneseQtTexts(*QCoreApplication::instance()));
        SetMessageHandler({});
        QStringList buttons;
        QTimer::singleShot(0, [&buttons] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            box->reject();
        });
        ShowMessage(nullptr, MessageType::Confirmation, QStringLiteral("保存しますか？（「いいえ」で破棄します）"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        buttons.sort();
        QCOMPARE(buttons,
            (QStringList {
                QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)"), QStringLiteral("キャンセル") }));
    }

    // A first start says what to do first over the empty lists; the hint
    // gives way to the first row and comes back with the last one gone.
    void emptyListsSayWhatToDoFirst()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const char* name : { "LVFilesHint", "LVAdFlightsHint" }) {
            auto* hint = form->findChild<QLabel*>(QLatin1String(name));
            QVERIFY2(hint && hint->isVisible(), name);
        }
        QVERIFY(form->findChild<QLabel*>(QStringLiteral("LVFilesHint"))->text().contains(QStringLiteral("接続")));
        form.reset();

        // A site registered but not connected: the hint says to connect, not to register.
        QTemporaryDir registered;
        {
            TIniList store;
            std::vector<std::unique_ptr<TSetup>> setups;
            setups.push_back(std::make_unique<TSetup>());
            setups.back()->Name = "site";
            setups.back()->Kind = skLocal;
            setups.back()->IniPath = registered.path().toStdString();
            SaveSetups(store, setups, 0);
            QVERIFY(SaveSettingsFile(store, registered.path().toStdString(), kMainSettingsFile).ok);
        }
        form = StartForm(registered);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* filesHint = form->findChild<QLabel*>(QStringLiteral("LVFilesHint"));
        QVERIFY(filesHint->isVisible());
        QVERIFY2(!filesHint->text().contains(QStringLiteral("登録")), qPrintable(filesHint->text()));
        QVERIFY(filesHint->text().contains(QStringLiteral("「接続」をクリック")));

        QStandardItemModel model;
        QTreeView view;
        view.setObjectName(QStringLiteral("View"));
        view.setModel(&model);
        EmptyHint hint(&view, &model, QStringLiteral("何もありません"));
        QVERIFY(hint.isShown());
        model.appendRow(new QStandardItem(QStringLiteral("row")));
        QVERIFY(!hint.isShown());
        model.removeRow(0);
        QVERIFY(hint.isShown());
        model.appendRow(new QStandardItem(QStringLiteral("row")));
        model.clear();
        QVERIFY(hint.isShown());
    }

    // The tool bar is one stop of Tab; Left and Right move inside it.
    void toolBarIsOneTabStop()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* bar = form->findChild<QToolBar*>(QStringLiteral("ToolBar2"));
        auto* setups = form->findChild<QWidget*>(QStringLiteral("CBSetups"));
        setups->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), setups);
        QTest::keyClick(setups, Qt::Key_Left);
        QCOMPARE(QApplication::focusWidget(), form->findChild<QWidget*>(QStringLiteral("TBHosts")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), setups);

        // A full round of Tab meets the bar once.
        QSet<QWidget*> seen;
        int inBar = 0;
        for (int step = 0; step < 60; ++step) {
            QWidget* at = QApplication::focusWidget();
            if (!at || seen.contains(at))
                break;
            seen.insert(at);
            inBar += bar->isAncestorOf(at) ? 1 : 0;
            QTest::keyClick(at, Qt::Key_Tab);
        }
        QCOMPARE(inBar, 1);
        QVERIFY(seen.size() > 2);
    }

    void toolBarOrder()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        auto* bar = form->findChild<QToolBar*>(QStringLiteral("ToolBar2"));
        QVERIFY(bar);
        QStringList order;
        for (QAction* a : bar->actions())
            order << (a->isSeparator() ? QStringLiteral("-") : bar->widgetForAction(a)->objectName());
        QCOMPARE(order.join(QLatin1Char(' ')),
            QStringLiteral("TBLogin TBOptions TBHosts CBSetups TBConnect TBDisconnect TBReconnect - "
                           "TBRefresh TBOpen TBPreview TBSave TBClose - TBDeleteAd TBRefreshAd - TBJump "
                           "TBAddAd - TBNew TBEdit TBDelete TBArchive TBReplaceAd TBSiteWide - TBHelp TBExit"));
        QCOMPARE(form->findChild<QToolButton*>(QStringLiteral("TBSave"))->defaultAction()->objectName(),
            QStringLiteral("FileSave"));
        QCOMPARE(
            form->findChild<QToolButton*>(QStringLiteral("TBExit"))->toolTip(), QStringLiteral("プログラム終了"));
        QCOMPARE(form->findChild<QComboBox*>(QStringLiteral("CBSetups"))->width(), 162);
    }

    void actions_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<QString>("hint");
        auto row = [](const char* name, const char* category, const QString& caption, const QKeySequence& key,
                       const QString& hint) {
            QTest::newRow(name) << QString::fromLatin1(category) << caption << key << hint;
        };
        row("RefreshDir", "Directory", QStringLiteral("最新の情報に更新(&R)"),
            QKeySequence(QStringLiteral("Ctrl+R")), QStringLiteral("ディレクトリを更新する"));
        row("DeleteAd", "AdFlight", QStringLiteral("ファイルから削除(&D)"), QKeySequence(),
            QStringLiteral("広告文をファイルから削除する"));
        row("RefreshAd", "AdFlight", QStringLiteral("広告一覧を更新(&R)"), QKeySequence(QStringLiteral("F5")),
            QStringLiteral("ファイルの広告一覧を更新する"));
        row("FileOpen", "FileList", QStringLiteral("オープン(&O)"), QKeySequence(QStringLiteral("Ctrl+O")),
            QStringLiteral("ファイル・ディレクトリをオープンする"));
        row("FilePreview", "FileList", QStringLiteral("プレビュー(&P)"), QKeySequence(QStringLiteral("Ctrl+P")),
            QStringLiteral("ファイルをプレビューする"));
        row("FileSave", "OpeningFile", QStringLiteral("保存(&S)"), QKeySequence(QStringLiteral("Ctrl+S")),
            QStringLiteral("ファイルを保存する"));
        row("FileCloseAct", "OpeningFile", QStringLiteral("クローズ(&C)"), QKeySequence(QStringLiteral("Ctrl+F4")),
            QStringLiteral("ファイルをクローズする"));
        row("AddNormal", "AdList", QStringLiteral("ノーマル(&N)"), QKeySequence(QStringLiteral("Ctrl+N")),
            QStringLiteral("広告リストの現在の広告文をファイルにノーマルバナーを追加する"));
        row("AddRotation", "AdList", QStringLiteral("ローテーション(&R)"), QKeySequence(QStringLiteral("Ctrl+R")),
            QStringLiteral("広告リストの現在の広告文をファイルにローテーションバナーを追加する"));
        row("ReplaceAd", "AdList", QStringLiteral("ファイルの広告文を変更する(&U)"),
            QKeySequence(QStringLiteral("Ctrl+U")), QStringLiteral("広告文を広告リスト現在の広告文に変更する"));
        row("Jump", "AdList", QStringLiteral("現在の広告をサーチする(&F)"), QKeySequence(QStringLiteral("F3")),
            QStringLiteral("ファイルに現在の広告文をサーチする"));
        row("NewBanner", "AdList", QStringLiteral("広告を新規する(&N)"), QKeySequence(QStringLiteral("Ctrl+Ins")),
            QStringLiteral("広告リストに広告を新規する"));
        row("EditBanner", "AdList", QStringLiteral("広告を編集する(&E)"), QKeySequence(QStringLiteral("Ctrl+E")),
            QStringLiteral("広告リストに現在の広告を編集する"));
        row("DeleteBanner", "AdList", QStringLiteral("広告を削除する(&D)"),
            QKeySequence(QStringLiteral("Ctrl+Del")), QStringLiteral("広告リストに現在の広告を削除する"));
        row("ArchiveBanner", "AdList", QStringLiteral("広告を保管する(&S)"), QKeySequence(),
            QStringLiteral("広告リストに現在の広告を保管する"));
        row("EditCut", "Edit", QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")),
            QStringLiteral("Cut"));
        row("EditCopy", "Edit", QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")),
            QStringLiteral("Copy"));
        row("EditPaste", "Edit", QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")),
            QStringLiteral("Paste"));
    }

    void actions()
    {
        QFETCH(QString, category);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QFETCH(QString, hint);
        ActionList list;
        QAction* a = list.actionNamed(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(a);
        QCOMPARE(a->property("category").toString(), category);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), shortcut);
        QCOMPARE(a->toolTip(), hint);
    }

    void actionOrderAndLongHints()
    {
        ActionList list;
        QStringList names;
        for (QAction* a : list.actions())
            names << a->objectName();
        QCOMPARE(names.indexOf(QStringLiteral("RefreshDir")), 0);
        QVERIFY(names.indexOf(QStringLiteral("RefreshDir")) < names.indexOf(QStringLiteral("AddRotation")));
        QCOMPARE(names.size(), 18);
        QCOMPARE(list.action(Command::EditCopy)->statusTip(),
            QStringLiteral("Copies the selection and puts it on the Clipboard"));
    }

    void sharedShortcutGoesToTheFirstEnabledAction()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QAction* refresh = form->actionList()->action(Command::RefreshDir);
        QAction* rotation = form->actionList()->action(Command::AddRotation);
        // The command state enables both on a page with a folder and a banner;
        // here they are enabled by hand.
        refresh->setEnabled(true);
        rotation->setEnabled(true);
        QSignalSpy refreshSpy(refresh, &QAction::triggered);
        QSignalSpy rotationSpy(rotation, &QAction::triggered);

        QTest::keyClick(form.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(refreshSpy.count(), 1);
        QCOMPARE(rotationSpy.count(), 0);
        refresh->setEnabled(true); // the refresh found no folder and updated the state
        QTest::keyClick(form.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(refreshSpy.count(), 2);
        QCOMPARE(rotationSpy.count(), 0);

        refresh->setEnabled(false);
        QTest::keyClick(form.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(refreshSpy.count(), 2);
        QCOMPARE(rotationSpy.count(), 1);

        form->actionList()->action(Command::FileSave)->setEnabled(true);
        QSignalSpy saveSpy(form->actionList()->action(Command::FileSave), &QAction::triggered);
        QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saveSpy.count(), 1);
    }

    void popupMenus()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        auto items = [&](const char* name) {
            return MenuItems(form->findChild<QMenu*>(QLatin1String(name))).join(QLatin1Char(' '));
        };
        QCOMPARE(items("PMDirectory"), QStringLiteral("MIRefresh"));
        // On/off items show their tick, not an image in its place.
        int checkable = 0;
        for (QAction* action : form->findChild<QMenu*>(QStringLiteral("PMOptions"))->actions()) {
            if (action->isCheckable()) {
                ++checkable;
                QVERIFY2(!action->isIconVisibleInMenu(), qPrintable(action->objectName()));
            }
        }
        QCOMPARE(checkable, 3);
        QCOMPARE(items("PMFile"), QStringLiteral("MIOpen MIPreview"));
        QCOMPARE(items("PMAdEdit"),
            QStringLiteral("MIJump MIAddAd(MIAddNormal1,MIAddRotation1) MIReplaceAd - MINew "
                           "MIEdit MIDelete MIArchive"));
        QCOMPARE(items("PMAds"), QStringLiteral("MIDeleteAd - MIRefreshAd"));
        QCOMPARE(items("PMOpeningFile"),
            QStringLiteral("MIPreview2 - MISave MIClose - "
                           "MIAddAd1(MIAddNormal2,MIAddRotation2) MIReplaceAd1"));
        QCOMPARE(items("PMAddAdMenu"), QStringLiteral("MIAddNormal MIAddRotation"));
        QCOMPARE(
            items("PMOptions"), QStringLiteral("MIAdPreview MIMonitor MIAd MINetwork MIUpdateNetwork MIOption"));
        QCOMPARE(items("PMLogin"), QString());

        // A linked item shows its action and triggers it.
        auto* save = form->findChild<QAction*>(QStringLiteral("MISave"));
        QAction* fileSave = form->actionList()->action(Command::FileSave);
        QCOMPARE(save->text(), fileSave->text());
        QCOMPARE(save->shortcut(), fileSave->shortcut());
        fileSave->setEnabled(true);
        QSignalSpy spy(fileSave, &QAction::triggered);
        save->trigger();
        QCOMPARE(spy.count(), 1);
        fileSave->setEnabled(false);
        QVERIFY(!save->isEnabled());

        const QStringList checks { QStringLiteral("MIAdPreview"), QStringLiteral("MIMonitor"),
            QStringLiteral("MIAd") };
        for (const QString& name : checks) {
            auto* item = form->findChild<QAction*>(name);
            QVERIFY(item->isCheckable());
            QVERIFY(item->isChecked());
        }
        QCOMPARE(form->findChild<QAction*>(QStringLiteral("MIMonitor"))->text(), QStringLiteral("クリップボード"));
        QVERIFY(!form->findChild<QAction*>(QStringLiteral("MINetwork"))->isCheckable());
    }

    void menusOpenAtTheButtonCorner()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const auto& [buttonName, menuName] :
            { std::pair { "TBOptions", "PMOptions" }, std::pair { "TBAddAd", "PMAddAdMenu" } }) {
            auto* button = form->findChild<QToolButton*>(QLatin1String(buttonName));
            auto* menu = form->findChild<QMenu*>(QLatin1String(menuName));
            button->setEnabled(true); // the add button needs a page and a banner
            QTest::mouseClick(button, Qt::LeftButton);
            QTRY_VERIFY(menu->isVisible());
            const QPoint corner = button->mapToGlobal(QPoint(button->width() - 5, button->height() - 5));
            // Qt keeps a menu on the screen: one that would cross its right edge ends there.
            const int right = button->screen()->geometry().right();
            QCOMPARE(menu->pos().y(), corner.y());
            QCOMPARE(menu->pos().x(), std::min(corner.x(), right + 1 - menu->width()));
            menu->close();
        }
    }

    void firstRunCreatesFilesAndSecondRunRestores()
    {
        QTemporaryDir dir;
        {
            auto form = StartForm(dir);
            QVERIFY(!form->quitRequested());
            for (const char* name : { "Pagewick.ini", "ads.ini", "siteinfo.ini" })
                QVERIFY2(QFile::exists(dir.filePath(QLatin1String(name))), name);
            QCOMPARE(form->geometry(), QGuiApplication::primaryScreen()->availableGeometry());
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QCOMPARE(form->findChild<QWidget*>(QStringLiteral("TVConnected"))->width(), 217);
            // The designed 127 pixels give way to the room a 468x60 banner needs with its page's margins.
            QVERIFY(form->findChild<QWidget*>(QStringLiteral("WBPreview"))->width() >= 468 + 2 * 8);

            // The user hides the preview, turns off the clipboard monitor and widens the tree.
            form->findChild<QAction*>(QStringLiteral("MIAdPreview"))->trigger();
            form->findChild<QAction*>(QStringLiteral("MIMonitor"))->trigger();
            auto* splitter = form->findChild<QSplitter*>(QStringLiteral("Splitter1"));
            splitter->setSizes({ 300, splitter->width() - 300 });
            QVERIFY(!form->findChild<QWidget*>(QStringLiteral("PnPreview"))->isVisible());
            QVERIFY(form->close());
            form->shutDown();
        }
        const std::string main = Plain(dir.filePath(QStringLiteral("Pagewick.ini")));
        QVERIFY2(main.find("PreviewAd=0\r\n") != std::string::npos, main.c_str());
        QVERIFY(main.find("ClipMonitor=0\r\n") != std::string::npos);
        QVERIFY(main.find("Ad=1\r\n") != std::string::npos);
        QVERIFY(main.find("[TVConnected]\r\n") != std::string::npos);
        QVERIFY(main.find("width=300\r\n") != std::string::npos);
        QVERIFY(main.find("DefautIndex=-1\r\n") != std::string::npos);
        QVERIFY(main.find("LastAdIndex=0\r\n") != std::string::npos);
        QVERIFY(main.find("v2=") == std::string::npos);
        // No stored sort: the list starts sorted by name, descending, and keeps that mark.
        QVERIFY2(main.find("SortColumn=1\r\n") != std::string::npos, main.c_str());
        QVERIFY(main.starts_with("; NoTitle\r\n"));

        auto form = StartForm(dir);
        QVERIFY(!form->findChild<QAction*>(QStringLiteral("MIAdPreview"))->isChecked());
        QVERIFY(!form->findChild<QAction*>(QStringLiteral("MIMonitor"))->isChecked());
        QVERIFY(form->findChild<QAction*>(QStringLiteral("MIAd"))->isChecked());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(!form->findChild<QWidget*>(QStringLiteral("PnPreview"))->isVisible());
        // The ad band shows only once there is a service to show in it.
        QVERIFY(!form->findChild<QWidget*>(QStringLiteral("PnAd"))->isVisible());
        QCOMPARE(form->findChild<QWidget*>(QStringLiteral("TVConnected"))->width(), 300);
    }

    // The scratch files live in a private folder of this run (0700, files
    // 0600) under the scratch folder, and go with it at exit.
    void scratchFilesAreMadeAndDeleted()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        const std::string folder = form->workspace().Scratch.Path();
        QVERIFY(QString::fromStdString(folder).startsWith(dir.path() + QStringLiteral("/pagewick-")));
        struct stat st { };
        QCOMPARE(::stat(folder.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0700u);
        for (const std::string& f : form->workspace().ScratchFiles) {
            QVERIFY(QString::fromStdString(f).startsWith(QString::fromStdString(folder) + QStringLiteral("/pwh")));
            QCOMPARE(::stat(f.c_str(), &st), 0);
            QCOMPARE(st.st_mode & 07777, 0600u);
        }
        QVERIFY(QFile::exists(QString::fromStdString(form->workspace().ScratchFiles[0]))); // the login page
        form->shutDown();
        QVERIFY(!QFileInfo::exists(QString::fromStdString(folder)));
    }

    // A settings file that stops loading early is kept whole beside itself
    // before anything can be saved over it, and the user is told.
    void damagedSettingsFileIsKeptAndReported()
    {
        QTemporaryDir dir;
        std::string image = "[Setups]\r\nCount=0\r\n";
        image += std::string(1, '\0') + std::string(5000, 'x');
        ScrambleFileImage(image);
        QVERIFY(WriteFileAtomically(dir.filePath(QStringLiteral("Pagewick.ini")).toStdString(), image).ok);
        auto form = StartForm(dir);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.front().contains(QStringLiteral("壊れています")));
        form->shutDown();
        const QStringList copies = QDir(dir.path()).entryList({ QStringLiteral("Pagewick.ini.damaged-*") });
        QCOMPARE(copies.size(), 1);
        std::string kept;
        QVERIFY(ReadWholeFile(dir.filePath(copies.front()).toStdString(), kept).ok);
        QCOMPARE(kept, image);
    }

    void uncreatableSettingsFileEndsTheProgramWithoutWriting()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("no-such-folder"));
        TMainForm form(missing, dir.path(), net::CurlFtpClientFactory());
        form.startUp();
        QVERIFY(form.quitRequested());
        QCOMPARE(m_messages.size(), 3);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("イニシャルファイル[Pagewick.ini]は存在しません")));
        QVERIFY(m_messages[2].contains(QStringLiteral("[siteinfo.ini]")));
        form.shutDown();
        QVERIFY(!QFile::exists(missing));
    }

    // Screen readers and test tools find every tool button, the selector,
    // the lists, the tree and the web panes by a name without mnemonics.
    void everyControlHasAnAccessibleName()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        QList<QWidget*> controls;
        for (QToolButton* button :
            form->findChild<QToolBar*>(QStringLiteral("ToolBar2"))->findChildren<QToolButton*>())
            if (button->objectName().startsWith(QStringLiteral("TB")))
                controls << button;
        QCOMPARE(controls.size(), 23);
        for (const char* name :
            { "CBSetups", "LVFiles", "LVAdFlights", "TVConnected", "WBPreview", "WBAd", "PCMain" })
            controls << form->findChild<QWidget*>(QLatin1String(name));
        static const QRegularExpression mnemonic(QStringLiteral("&|\\([A-Z]\\)"));
        for (QWidget* control : controls) {
            QVERIFY2(control, "control missing");
            const QString name = control->accessibleName();
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
            QVERIFY2(!name.contains(mnemonic), qPrintable(control->objectName() + QStringLiteral(": ") + name));
        }
        QCOMPARE(
            form->findChild<QToolButton*>(QStringLiteral("TBSave"))->accessibleName(), QStringLiteral("保存"));
    }

    void exitButtonClosesTheWindow()
    {
        QTemporaryDir dir;
        auto form = StartForm(dir);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("TBExit")), Qt::LeftButton);
        QTRY_VERIFY(!form->isVisible());
    }

private:
    QStringList m_messages;
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
