#include "formserver.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/mainwindow.h"
#include "gui/options/fmoption.h"
#include "gui/options/optionsarea.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QSignalSpy>

#include <functional>

using namespace pw;
using namespace pw::gui;

namespace {

std::unique_ptr<TMainForm> StartForm(const QString& folder)
{
    auto form = std::make_unique<TMainForm>(folder, folder, net::CurlFtpClientFactory());
    form->createDialogs();
    form->startUp();
    return form;
}

template <typename T>
T* Child(QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

// GETs `address` through `network` and returns the body, or "error: ...".
QByteArray Get(QNetworkAccessManager* network, const QString& address)
{
    QNetworkReply* reply = network->get(QNetworkRequest(QUrl(address)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!done.wait(15000))
        return "error: no answer";
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return "error: " + reply->errorString().toUtf8();
    return reply->readAll();
}

int ProxyCount(const pw::test::FormServer& proxy)
{
    QNetworkAccessManager direct;
    direct.setProxy(QNetworkProxy::NoProxy);
    return Get(&direct, proxy.url(QStringLiteral("__count"))).toInt();
}

// Opens the options dialog from its menu item; `edit` works on it and closes it.
void RunOptionsDialog(TMainForm& form, const std::function<void(TFmOption*)>& edit)
{
    auto* dialog = form.findChild<TFmOption*>();
    bool ran = false;
    QTimer::singleShot(0, dialog, [&] {
        ran = true;
        edit(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    form.findChild<QAction*>(QStringLiteral("MIOption"))->trigger();
    QVERIFY(ran);
}

} // namespace

class OptionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        QVERIFY(m_proxy.startProxy());
    }

    void init()
    {
        m_messages.clear();
        SetMessageHandler([this](MessageType, const QString& text) {
            m_messages << text;
            return QMessageBox::Ok;
        });
    }

    // The proxy goes into ads.ini and into the program's web client; off, the
    // client connects directly; cancelled edits are forgotten; a restart
    // applies the stored proxy before the first request.
    void proxyStoredAndApplied()
    {
        QTemporaryDir folder;
        const QString page = m_server.url(QStringLiteral("form.html"));
        {
            auto form = StartForm(folder.path());
            QNetworkAccessManager* network = form->options()->network();
            RunOptionsDialog(*form, [](TFmOption* d) {
                QVERIFY(!Child<QCheckBox>(d, "CBProxy")->isChecked());
                QVERIFY(!Child<QLineEdit>(d, "EdProxyServer")->isEnabled());
                QCOMPARE(Child<QLineEdit>(d, "EdPort")->text(), QStringLiteral("8080"));
                QVERIFY(Child<QLineEdit>(d, "EdServiceURL")->text().isEmpty());
            });
            const int before = ProxyCount(m_proxy);
            QVERIFY(Get(network, page).contains("<form"));
            QCOMPARE(ProxyCount(m_proxy), before);

            RunOptionsDialog(*form, [this](TFmOption* d) {
                Child<QCheckBox>(d, "CBProxy")->setChecked(true);
                QVERIFY(Child<QLineEdit>(d, "EdPort")->isEnabled());
                Child<QLineEdit>(d, "EdProxyServer")->setText(QStringLiteral("127.0.0.1"));
                Child<QLineEdit>(d, "EdPort")->setText(QString::number(m_proxy.port()));
                Child<QLineEdit>(d, "EdServiceURL")->setText(QStringLiteral("https://example.org/pagewick/"));
                Child<QPushButton>(d, "BitBtn1")->click();
            });
            QVERIFY(Get(network, page).contains("<form"));
            QCOMPARE(ProxyCount(m_proxy), before + 1);
            QCOMPARE(form->options()->serviceUrl(), QStringLiteral("https://example.org/pagewick/"));

            // Cancelled edits change nothing and are gone at the next opening.
            RunOptionsDialog(*form, [](TFmOption* d) {
                Child<QLineEdit>(d, "EdProxyServer")->setText(QStringLiteral("10.0.0.1"));
                Child<QCheckBox>(d, "CBProxy")->setChecked(false);
                Child<QPushButton>(d, "BitBtn2")->click();
            });
            RunOptionsDialog(*form, [](TFmOption* d) {
                QVERIFY(Child<QCheckBox>(d, "CBProxy")->isChecked());
                QCOMPARE(Child<QLineEdit>(d, "EdProxyServer")->text(), QStringLiteral("127.0.0.1"));
            });
            QVERIFY(Get(network, page).contains("<form"));
            QCOMPARE(ProxyCount(m_proxy), before + 2);
        }
        TIniList ads, main;
        QVERIFY(LoadSettingsFile(ads, folder.path().toStdString(), kBannerFile).ok);
        QVERIFY(ads.ReadBool("Setups", "HttpProxy", false));
        QCOMPARE(ads.ReadString("Setups", "HttpProxyServer", ""), std::string("127.0.0.1"));
        QCOMPARE(ads.ReadInteger("Setups", "HttpProxyPort", 0), int(m_proxy.port()));
        QVERIFY(LoadSettingsFile(main, folder.path().toStdString(), kMainSettingsFile).ok);
        QCOMPARE(main.ReadString("Setups", "ServiceURL", ""), std::string("https://example.org/pagewick/"));

        auto form = StartForm(folder.path());
        QNetworkAccessManager* network = form->options()->network();
        const int before = ProxyCount(m_proxy);
        QVERIFY(Get(network, page).contains("<form"));
        QCOMPARE(ProxyCount(m_proxy), before + 1);

        // Off again: direct, the port still stored from the disabled field.
        RunOptionsDialog(*form, [](TFmOption* d) {
            Child<QCheckBox>(d, "CBProxy")->setChecked(false);
            Child<QLineEdit>(d, "EdPort")->setText(QStringLiteral("3128"));
            Child<QPushButton>(d, "BitBtn1")->click();
        });
        QVERIFY(Get(network, page).contains("<form"));
        QCOMPARE(ProxyCount(m_proxy), before + 1);
        TIniList stored;
        QVERIFY(LoadSettingsFile(stored, folder.path().toStdString(), kBannerFile).ok);
        QVERIFY(!stored.ReadBool("Setups", "HttpProxy", true));
        QCOMPARE(stored.ReadInteger("Setups", "HttpProxyPort", 0), 3128);
        QVERIFY(m_messages.isEmpty());
    }

    // A port that is not a number is refused; nothing is stored.
    void badPortRefused()
    {
        QTemporaryDir folder;
        auto form = StartForm(folder.path());
        RunOptionsDialog(*form, [](TFmOption* d) {
            Child<QCheckBox>(d, "CBProxy")->setChecked(true);
            Child<QLineEdit>(d, "EdProxyServer")->setText(QStringLiteral("127.0.0.1"));
            Child<QLineEdit>(d, "EdPort")->setText(QStringLiteral("80x"));
            Child<QPushButton>(d, "BitBtn1")->click();
            QVERIFY(d->isVisible());
        });
        QCOMPARE(m_messages, QStringList({QStringLiteral("'80x' is not a valid integer value")}));
        QVERIFY(!form->workspace().IniListAd.ReadBool("Setups", "HttpProxy", false));
        QCOMPARE(form->options()->network()->proxy().type(), QNetworkProxy::NoProxy);
    }

private:
    pw::test::FormServer m_server;
    pw::test::FormServer m_proxy;
    QStringList m_messages;
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
