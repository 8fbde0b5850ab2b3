// Clipboard capture under a real X server: another process (xclip) puts ad
// code on the clipboard while the window is in the background, and the banner
// editor opens with it. Run under Xvfb (see CMakeLists.txt).

#include "catalogue/bannerstore.h"
#include "gui/banners/fmbanner.h"
#include "gui/common/actionlist.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/mainwindow.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace pw;
using namespace pw::gui;

namespace {
const char* const kShopHtml = "<a href=\"http://shop.example/\">shop</a>";
}

class ClipboardTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TMainForm> m_form;
    QProcess m_xclip;

    // Another program copies `text`: xclip owns the clipboard until it is stopped.
    void copyElsewhere(const QString& text)
    {
        stopXclip();
        m_xclip.start(QStringLiteral("xclip"),
            { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-quiet") });
        QVERIFY(m_xclip.waitForStarted());
        m_xclip.write(text.toUtf8());
        m_xclip.closeWriteChannel();
    }

    void stopXclip()
    {
        if (m_xclip.state() != QProcess::NotRunning) {
            m_xclip.kill();
            m_xclip.waitForFinished();
        }
    }

    // Waits for the banner editor, runs `steps` on it; true when it opened.
    bool whenEditorOpens(const std::function<void(TFmBanner&)>& steps, int timeoutMs = 5000)
    {
        bool opened = false;
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&, poll] {
            auto* dialog = m_form->findChild<TFmBanner*>(QStringLiteral("FmBanner"));
            if (!dialog || !dialog->isVisible())
                return;
            poll->stop();
            opened = true;
            steps(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        poll->start(20);
        (void)QTest::qWaitFor([&] { return opened; }, timeoutMs); // `opened` says which way it ended
        poll->deleteLater();
        return opened;
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            QSKIP("needs xclip");
        SetMessageHandler([](MessageType, const QString&) { return QMessageBox::Ok; });
        const std::string folder = m_dir.path().toStdString();
        BannerList banners;
        auto shop = std::make_unique<TAdBanner>();
        shop->Number = 1;
        shop->SpaceName = "shop";
        shop->BannerHTML = kShopHtml;
        banners.Rows.push_back(std::move(shop));
        TIniList ads;
        QVERIFY(SaveBanners(banners, ads, folder).ok);
        // The window is made but not shown: the program is in the background.
        m_form = std::make_unique<TMainForm>(m_dir.path(), m_dir.path(), net::CurlFtpClientFactory());
        m_form->startUp();
        QVERIFY(QGuiApplication::focusWindow() == nullptr);
    }

    void cleanupTestCase()
    {
        stopXclip();
        m_form.reset();
    }

    // New ad code opens as a new banner; a character Shift_JIS lacks becomes
    // a numeric character reference and the editor says so.
    void newAdCodeOpensANewBanner()
    {
        QAction* monitor = m_form->findChild<QAction*>(QStringLiteral("MIMonitor"));
        monitor->setChecked(true);
        const QString copied = QStringLiteral("<A HREF=\"https://ad.example/?id=1\">テスト€</A>");
        std::string html;
        QString note;
        copyElsewhere(copied);
        QVERIFY(whenEditorOpens([&](TFmBanner& dialog) {
            html = dialog.htmlText();
            note = dialog.findChild<QLabel*>(QStringLiteral("LbConverted"))->text();
            dialog.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();
        }));
        QCOMPARE(html, ToData(QStringLiteral("<A HREF=\"https://ad.example/?id=1\">テスト")) + "&#x20AC;</A>");
        QVERIFY2(note.contains(QStringLiteral("1")), qPrintable(note));
        QCOMPARE(m_form->workspace().Banners.Rows.size(), size_t(2));
        // Added in its place in the sorted list, and selected there.
        QCOMPARE(m_form->workspace().Banners.SelectedBanner()->BannerHTML, html);
    }

    // The HTML of a catalogue banner (in other letter case) opens that banner.
    void knownAdCodeOpensItsBanner()
    {
        m_form->findChild<QAction*>(QStringLiteral("MIMonitor"))->setChecked(true);
        QWidget* active = QApplication::activeWindow();
        if (active)
            active->hide(); // back to the background
        QTRY_VERIFY(QGuiApplication::focusWindow() == nullptr);
        QString name;
        copyElsewhere(QString::fromLatin1(kShopHtml).toUpper());
        QVERIFY(whenEditorOpens(
            [&](TFmBanner& dialog) { name = dialog.findChild<QLineEdit*>(QStringLiteral("EdSpace"))->text(); }));
        QCOMPARE(name, QStringLiteral("shop"));
        QCOMPARE(m_form->workspace().Banners.Rows.size(), size_t(2));
    }

    // With the monitor off, or for text that is no link, nothing opens.
    void ignoredCopies()
    {
        m_form->hide();
        QTRY_VERIFY(QGuiApplication::focusWindow() == nullptr);
        m_form->findChild<QAction*>(QStringLiteral("MIMonitor"))->setChecked(false);
        copyElsewhere(QStringLiteral("<a href=\"http://off.example/\">off</a>"));
        QVERIFY(!whenEditorOpens([](TFmBanner&) {}, 1000));
        m_form->findChild<QAction*>(QStringLiteral("MIMonitor"))->setChecked(true);
        copyElsewhere(QStringLiteral("just some text with http and = signs"));
        QVERIFY(!whenEditorOpens([](TFmBanner&) {}, 1000));
        QCOMPARE(m_form->workspace().Banners.Rows.size(), size_t(2));
    }
};

QTEST_MAIN(ClipboardTest)
#include "clipboard_test.moc"
