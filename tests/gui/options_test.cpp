#include "formserver.h"

#include "gui/common/browserwindow.h"
#include "gui/common/cappeddownload.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/webpane.h"
#include "gui/mainwindow.h"
#include "gui/options/fmoption.h"
#include "gui/options/optionsarea.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "networks/definitions.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "shell/onlineservices.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>

using namespace pw;
using namespace pw::gui;

namespace {

// The machine counts as online throughout.
std::unique_ptr<TMainForm> StartForm(const QString& folder)
{
    auto form = std::make_unique<TMainForm>(folder, folder, net::CurlFtpClientFactory(), [] { return true; });
    form->startUp();
    return form;
}

template <typename T> T* Child(QWidget* parent, const char* name)
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
        QCOMPARE(m_messages, QStringList({ QStringLiteral("'80x' is not a valid integer value") }));
        QVERIFY(!form->workspace().IniListAd.ReadBool("Setups", "HttpProxy", false));
        QCOMPARE(form->options()->network()->proxy().type(), QNetworkProxy::NoProxy);
    }

    // The version file and its questions, against a served folder.
    void onlineServices()
    {
        QTemporaryDir served;
        {
            NetworkList published;
            auto network = std::make_unique<TNetwork>();
            network->Name = ToData(QStringLiteral("公開ネット"));
            network->System = "P1";
            published.push_back(std::move(network));
            TIniList scratch;
            QVERIFY(ExportNetworks(scratch, published, "3", served.path().toStdString()).ok);
        }
        QVERIFY(QFile(served.filePath(QStringLiteral("ad.jsp"))).open(QIODevice::WriteOnly));
        pw::test::FormServer service;
        QVERIFY(service.start(served.path()));
        auto setVersionFile = [&](const QByteArray* body) {
            QFile file(served.filePath(QStringLiteral("newversion.txt")));
            if (!body) {
                file.remove();
                return;
            }
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(*body);
        };

        const QString networkQuestion
            = QStringLiteral("127.0.0.1から最新の広告ネットワーク情報をドウンロードします");
        const QString programQuestion = QStringLiteral("新しいバージョンが公開されました、");
        const struct Case {
            const char* name;
            const char* body; // nullptr: no version file (404)
            int v2;
            bool questioned;
            QMessageBox::StandardButton answer;
            QStringList messages; // beginnings
            const char* ad; // end of the ad panel's address
            OnlineState state;
            int v2After;
            bool questionedAfter;
        } cases[] = {
            { "Current", "1.1,1", 1, false, QMessageBox::No, {}, "ad.jsp", OnlineState::Served, 1, false },
            { "NewProgramDeclined", "1.2,1", 1, false, QMessageBox::No, { programQuestion }, "ad.jsp",
                OnlineState::Served, 1, true },
            { "NewProgramAlreadyDeclined", "1.3,1", 1, true, QMessageBox::No, {}, "ad.jsp", OnlineState::Served, 1,
                true },
            { "NewDefinitionsDeclined", "1.1,3", 2, false, QMessageBox::No, { networkQuestion }, "ad.jsp",
                OnlineState::Served, 2, false },
            { "NewDefinitionsTaken", "1.1,3", 2, false, QMessageBox::Yes,
                { networkQuestion, QStringLiteral("広告代理店情報が更新されました。") }, "ad.jsp",
                OnlineState::Served, 3, false },
            { "LineBreakAfterTheFields", "1.1,1\r\n", 1, false, QMessageBox::No, { QStringLiteral("'1") },
                "ad.jsp", OnlineState::Served, 1, false },
            { "ErrorStatus", nullptr, 1, false, QMessageBox::No, {}, "ad.html", OnlineState::Retrying, 1, false },
        };
        for (const Case& c : cases) {
            QTemporaryDir folder;
            auto form = StartForm(folder.path());
            form->show();
            OptionsArea* options = form->options();
            // Without a service the panel is hidden, and so has no page yet.
            QVERIFY(form->findChildren<QWebEnginePage*>().isEmpty());
            auto* pane = form->findChild<WebPane*>(QStringLiteral("WBAd"));
            const QByteArray body = c.body ? QByteArray(c.body) : QByteArray();
            setVersionFile(c.body ? &body : nullptr);
            TIniList& setup = form->workspace().IniListSetup;
            setup.WriteString("Setups", "ServiceURL", ToData(service.url(QString())));
            setup.WriteBool("Setups", "Questioned", c.questioned);
            QStringList messages;
            SetMessageHandler([&](MessageType type, const QString& text) {
                messages << text;
                return type == MessageType::Confirmation ? c.answer : QMessageBox::Ok;
            });
            form->workspace().NetworkVersion = c.v2;
            options->setAdPanelVisible(true);
            options->startOnlineServices();
            QCOMPARE(options->onlineServices().State(), OnlineState::Waiting);
            options->checkOnline();
            QCOMPARE(options->onlineServices().State(), c.state);
            QCOMPARE(messages.size(), c.messages.size());
            for (int i = 0; i < messages.size(); ++i)
                QVERIFY2(messages[i].startsWith(c.messages[i]), qPrintable(QLatin1String(c.name) + messages[i]));
            QTRY_VERIFY2_WITH_TIMEOUT(pane->url().toString().endsWith(QLatin1String(c.ad)),
                qPrintable(QLatin1String(c.name) + QLatin1Char(' ') + pane->url().toString()), 10000);
            if (pane->url().isLocalFile())
                QVERIFY(QFileInfo::exists(pane->url().toLocalFile()));
            QCOMPARE(form->workspace().NetworkVersion, c.v2After);
            QCOMPARE(setup.ReadBool("Setups", "Questioned", false), c.questionedAfter);
        }
        init();
    }

    // The version file is fetched at start-up without a click, so a service
    // that answers too much is dropped quietly, as an error status is: the
    // reply is cut at the cap and nothing beyond it is kept. A file of exactly
    // the cap is still read.
    void versionFileSizeCap()
    {
        QTemporaryDir served;
        QVERIFY(QFile(served.filePath(QStringLiteral("ad.jsp"))).open(QIODevice::WriteOnly));
        pw::test::FormServer service;
        QVERIFY(service.start(served.path()));
        // "1.1000…0,3": program 1.1 (current), definitions 3, padded with zeros.
        auto padded = [](qsizetype size) {
            QByteArray body = "1.1" + QByteArray(size - 5, '0') + ",3";
            Q_ASSERT(body.size() == size);
            return body;
        };
        const qsizetype cap = qsizetype(kVersionFileLimit);
        const QString question = QStringLiteral("127.0.0.1から最新の広告ネットワーク情報をドウンロードします");
        const struct Case {
            const char* name;
            qsizetype size; // 0: the endless answer
            bool asked;
            OnlineState state;
        } cases[] = {
            { "AtTheCap", cap, true, OnlineState::Served },
            { "OneOverTheCap", cap + 1, false, OnlineState::Retrying },
            { "Endless", 0, false, OnlineState::Retrying },
        };
        for (const Case& c : cases) {
            QString base = service.url(QString());
            if (c.size) {
                QFile file(served.filePath(QStringLiteral("newversion.txt")));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(padded(c.size));
            } else {
                base = service.url(QStringLiteral("__endless/"));
            }
            QTemporaryDir folder;
            auto form = StartForm(folder.path());
            OptionsArea* options = form->options();
            form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", ToData(base));
            QStringList messages;
            SetMessageHandler([&](MessageType, const QString& text) {
                messages << text.left(200);
                return QMessageBox::No;
            });
            form->workspace().NetworkVersion = 2;
            options->startOnlineServices();
            pw::test::ResetPeakResident();
            const std::int64_t memoryBefore = pw::test::PeakResidentBytes();
            QElapsedTimer clock;
            clock.start();
            options->checkOnline();
            QVERIFY2(clock.elapsed() < 15000, c.name);
            QVERIFY2(pw::test::PeakResidentBytes() - memoryBefore < 64 * 1024 * 1024, c.name);
            QVERIFY2(options->onlineServices().State() == c.state, c.name);
            QCOMPARE(messages.size(), c.asked ? 1 : 0);
            if (c.asked)
                QVERIFY2(messages[0].startsWith(question), qPrintable(messages[0]));
            if (!c.size) {
                const qint64 sent = service.endlessSent();
                QVERIFY2(sent >= 0 && sent < 32 * 1024 * 1024, qPrintable(QString::number(sent)));
            }
        }
        init();
    }

    // A service download ends at its total time even while bytes keep
    // trickling in, which the idle time-out alone never sees.
    void downloadEndsAtItsDeadline()
    {
        pw::test::FormServer service;
        QVERIFY(service.start());
        QNetworkAccessManager client;
        client.setProxy(QNetworkProxy::NoProxy);
        QElapsedTimer clock;
        clock.start();
        const CappedDownload got
            = DownloadCapped(client, QUrl(service.url(QStringLiteral("__trickle/x"))), 1024, 1500, 3000);
        QCOMPARE(got.Result, CappedDownload::Outcome::Failed);
        QVERIFY(got.Body.isEmpty());
        QVERIFY(!got.ErrorText.isEmpty());
        QVERIFY2(clock.elapsed() >= 2500 && clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    }

    // No service address: no request of any kind; a service that cannot be
    // reached: one error, then nothing more.
    void onlineServicesQuietWithoutService()
    {
        QTemporaryDir folder;
        auto form = StartForm(folder.path());
        OptionsArea* options = form->options();
        options->startOnlineServices();
        options->checkOnline();
        QCOMPARE(options->onlineServices().State(), OnlineState::Starting);
        QVERIFY(m_messages.isEmpty());
        // The help button opens the installed help page.
        form->findChild<QToolButton*>(QStringLiteral("TBHelp"))->click();
        BrowserWindow* help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow"))
                help = qobject_cast<BrowserWindow*>(w);
        QVERIFY(help);
        QVERIFY(help->isMaximized());
        QTRY_VERIFY_WITH_TIMEOUT(help->url().toString().endsWith(QLatin1String("/help/index.html")), 10000);
        QVERIFY(QFileInfo::exists(help->url().toLocalFile()));
        help->close();

        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        form->workspace().IniListSetup.WriteString(
            "Setups", "ServiceURL", ToData(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())));
        // Through the proxy when it is on: the proxy sees the version request.
        RunOptionsDialog(*form, [this](TFmOption* d) {
            Child<QCheckBox>(d, "CBProxy")->setChecked(true);
            Child<QLineEdit>(d, "EdProxyServer")->setText(QStringLiteral("127.0.0.1"));
            Child<QLineEdit>(d, "EdPort")->setText(QString::number(m_proxy.port()));
            Child<QPushButton>(d, "BitBtn1")->click();
        });
        const int before = ProxyCount(m_proxy);
        options->startOnlineServices();
        options->checkOnline();
        QCOMPARE(ProxyCount(m_proxy), before + 1);
        QCOMPARE(options->onlineServices().State(), OnlineState::Retrying); // the proxy answers 502

        // Direct to a server that never answers: one error, then the services stop.
        RunOptionsDialog(*form, [](TFmOption* d) {
            Child<QCheckBox>(d, "CBProxy")->setChecked(false);
            Child<QPushButton>(d, "BitBtn1")->click();
        });
        auto form2 = StartForm(folder.path());
        OptionsArea* fresh = form2->options();
        form2->workspace().IniListSetup.WriteString(
            "Setups", "ServiceURL", ToData(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())));
        fresh->startOnlineServices();
        m_messages.clear();
        fresh->checkOnline();
        QCOMPARE(fresh->onlineServices().State(), OnlineState::Stopped);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(!fresh->onlineServices().MonitorEnabled());
    }

    // A service address typed in the options starts the services at once:
    // the ad band appears, the monitor runs, the update item names the
    // address. Cleared, the band goes again.
    void serviceAddressTakesEffectAtOnce()
    {
        QTemporaryDir folder;
        auto form = StartForm(folder.path());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        OptionsArea* options = form->options();
        options->startOnlineServices();
        auto* band = form->findChild<QWidget*>(QStringLiteral("PnAd"));
        auto* update = form->findChild<QAction*>(QStringLiteral("MIUpdateNetwork"));
        QVERIFY(form->findChild<QAction*>(QStringLiteral("MIAd"))->isChecked());
        QVERIFY(!band->isVisible());
        QVERIFY(update->statusTip().contains(QStringLiteral("オプション設定")));
        QCOMPARE(options->onlineServices().State(), OnlineState::Starting);

        const QString address = m_server.url(QString());
        RunOptionsDialog(*form, [&](TFmOption* d) {
            Child<QLineEdit>(d, "EdServiceURL")->setText(address);
            Child<QPushButton>(d, "BitBtn1")->click();
        });
        QVERIFY(band->isVisible());
        QVERIFY(options->onlineServices().MonitorEnabled());
        QCOMPARE(options->onlineServices().State(), OnlineState::Waiting);
        QVERIFY2(update->statusTip().startsWith(address), qPrintable(update->statusTip()));
        // Not yet known to be online: help opens the page installed with the program.
        form->findChild<QToolButton*>(QStringLiteral("TBHelp"))->click();
        BrowserWindow* help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow") && w->isVisible())
                help = qobject_cast<BrowserWindow*>(w);
        QVERIFY(help);
        QTRY_VERIFY_WITH_TIMEOUT(help->url().toString().endsWith(QLatin1String("/help/index.html")), 10000);
        help->close();

        RunOptionsDialog(*form, [](TFmOption* d) {
            Child<QLineEdit>(d, "EdServiceURL")->clear();
            Child<QPushButton>(d, "BitBtn1")->click();
        });
        QVERIFY(!band->isVisible());
        QVERIFY(!options->onlineServices().MonitorEnabled());
        QVERIFY(update->statusTip().contains(QStringLiteral("オプション設定")));
        QVERIFY(m_messages.isEmpty());
    }

private:
    pw::test::FormServer m_server;
    pw::test::FormServer m_proxy;
    QStringList m_messages;
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
