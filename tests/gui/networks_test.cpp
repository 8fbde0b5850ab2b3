#include "formserver.h"

#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/mainwindow.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "networks/network.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace pw;
using namespace pw::gui;

namespace {

std::unique_ptr<TMainForm> StartForm(const QString& settings, const QString& scratch)
{
    auto form = std::make_unique<TMainForm>(settings, scratch, net::CurlFtpClientFactory());
    form->createDialogs();
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
        networks.back()->SetLogin(ToData(QStringLiteral("基本設定")), ToData(QStringLiteral("ユーザー名")),
                                  "a&b\"c<d>e");
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
        QVERIFY2(got.value(QStringLiteral("raw")).toString().contains(QStringLiteral("uid=%83%86%81%5B%83U%81%5B%96%BC")),
                 qPrintable(got.value(QStringLiteral("raw")).toString()));

        // The page file sits in the private scratch folder, for the owner only.
        const QString pageFile = QString::fromStdString(form->workspace().ScratchFiles[0]);
        QCOMPARE(QFileInfo(pageFile).absolutePath(), QFileInfo(scratch.path()).absoluteFilePath());
        QCOMPARE(QFileInfo(pageFile).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                                        QFile::WriteOther | QFile::ExeOwner),
                 QFile::Permissions());

        // The next login replaces the page.
        BrowserWindow* first = windows[0];
        subItems[1]->trigger();
        windows = WindowsNamed(QStringLiteral("LoginWindow"));
        QCOMPARE(windows.size(), 2);
        BrowserWindow* second = windows[0] == first ? windows[1] : windows[0];
        QTRY_VERIFY_WITH_TIMEOUT(!(got = Received(second)).isEmpty() &&
                                     got.value(QStringLiteral("path")).toString() == QStringLiteral("/enter"),
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
        CloseAll(QStringLiteral("LoginWindow"));
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

private:
    test::FormServer m_server;
    QStringList m_messages;
};

QTEST_MAIN(NetworksTest)
#include "networks_test.moc"
