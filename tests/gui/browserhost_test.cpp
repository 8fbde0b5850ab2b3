#include "formserver.h"
#include "gui/common/browserwindow.h"
#include "gui/common/webpane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace pw::gui;

class BrowserHostTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_a.start());
        QVERIFY(m_b.start());
    }

    void mainFrameScripts()
    {
        BrowserWindow window;
        QVERIFY(window.makeVisible());
        QVERIFY(window.navigate(m_a.url(QStringLiteral("form.html")), History::Skip));
        QVERIFY(window.waitUntilReady(20000));
        QCOMPARE(window.readyState(), BrowserWindow::Complete);

        auto run = [&](const QString& body) { return window.runScript(body); };
        QCOMPARE(run(QStringLiteral("return document.forms['f1'].elements['email'].value;")).value.toString(),
            QStringLiteral("a@example.jp"));
        QVERIFY(run(QStringLiteral("document.forms['f1'].elements['email'].value='b@example.jp';")).ok);
        QCOMPARE(run(QStringLiteral("return document.forms['f1'].elements['email'].value;")).value.toString(),
            QStringLiteral("b@example.jp"));
        QCOMPARE(run(QStringLiteral("return document.forms.length;")).value.toInt(), 2);
        QCOMPARE(run(QStringLiteral("return document.forms['f1'].elements['plan'].value;")).value.toString(),
            QStringLiteral("b"));
        const auto object = run(QStringLiteral("return {n: 1, s: 'x', list: [1, 2]};"));
        QVERIFY(object.ok);
        QCOMPARE(object.value.toMap().value(QStringLiteral("s")).toString(), QStringLiteral("x"));

        // Scripts run apart from the page's own variables, and errors come back as errors.
        QCOMPARE(run(QStringLiteral("return typeof pageVar;")).value.toString(), QStringLiteral("undefined"));
        const auto failed = run(QStringLiteral("throw new Error('boom');"));
        QVERIFY(!failed.ok);
        QVERIFY(failed.error.contains(QStringLiteral("boom")));
    }

    void sameOriginFrames()
    {
        BrowserWindow window;
        window.makeVisible();
        window.navigate(m_a.url(QStringLiteral("frameset.html")), History::Skip);
        QVERIFY(window.waitUntilReady(20000));
        QTRY_COMPARE_WITH_TIMEOUT(
            window.runScript(QStringLiteral("return window.frames.length;")).value.toInt(), 2, 10000);

        // Through the frame itself and through the main frame's window.frames.
        QVERIFY(
            window
                .runScript(
                    QStringLiteral("document.forms['reg'].elements['url'].value='https://site.example/';"), { 1 })
                .ok);
        QCOMPARE(
            window
                .runScript(QStringLiteral("return window.frames[1].document.forms['reg'].elements['url'].value;"))
                .value.toString(),
            QStringLiteral("https://site.example/"));
        // A Shift_JIS frame gives its values as Unicode.
        QCOMPARE(window.runScript(QStringLiteral("return document.forms['reg'].elements['site'].value;"), { 1 })
                     .value.toString(),
            QStringLiteral("サイト名"));
        QCOMPARE(window.runScript(QStringLiteral("return document.readyState;"), { 0 }).value.toString(),
            QStringLiteral("complete"));
        QVERIFY(!window.runScript(QStringLiteral("return 1;"), { 5 }).ok);
    }

    // A frame of another origin is out of reach: scripts run only in the top
    // document and frames of its origin, and the page never sees them.
    void crossOriginFrames()
    {
        BrowserWindow window;
        window.makeVisible();
        window.navigate(m_a.url(QStringLiteral("xorigin.html#%1").arg(m_b.port())), History::Skip);
        QVERIFY(window.waitUntilReady(20000));
        QTRY_COMPARE_WITH_TIMEOUT(
            window.runScript(QStringLiteral("return window.frames.length && document.readyState;"))
                .value.toString(),
            QStringLiteral("complete"), 10000);

        // Neither from the top document nor by a path into the frame.
        QVERIFY(!window.runScript(QStringLiteral("return window.frames[0].document.forms.length;")).ok);
        for (const QList<int>& path : { QList<int> { 0 }, QList<int> { 0, 0 } }) {
            const auto refused
                = window.runScript(QStringLiteral("document.forms['inner'].elements['code'].value='x';"), path);
            QVERIFY(!refused.ok);
            QVERIFY2(refused.error.contains(QLatin1String("another origin")), qPrintable(refused.error));
        }
        // The page's own listener heard nothing of those calls.
        QVariant heard;
        bool done = false;
        qobject_cast<QWebEngineView*>(window.view())
            ->page()
            ->runJavaScript(
                QStringLiteral("typeof window.heard === 'undefined' ? 0 : window.heard"), [&](const QVariant& v) {
                    heard = v;
                    done = true;
                });
        QTRY_VERIFY(done);
        QCOMPARE(heard.toInt(), 0);
    }

    // The program's own local pages share one renderer process; an untrusted
    // banner never shares one with them.
    void localPagesShareOneRenderer()
    {
        auto pid = [](QWidget* view) { return qobject_cast<QWebEngineView*>(view)->page()->renderProcessPid(); };
        BrowserWindow help;
        BrowserWindow login;
        for (BrowserWindow* window : { &help, &login }) {
            window->makeVisible();
            window->navigate(QStringLiteral(PAGEWICK_TEST_DATA "/browser/menu.html"), History::Skip);
            QVERIFY(window->waitUntilReady(20000));
        }
        QVERIFY(pid(help.view()) > 0);
        QCOMPARE(pid(login.view()), pid(help.view()));

        WebPane pane;
        pane.show();
        QSignalSpy loaded(&pane, &WebPane::loadFinished);
        pane.showUntrusted("<html><body>ad</body></html>");
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 20000);
        QVERIFY(pid(pane.view()) > 0);
        QVERIFY(pid(pane.view()) != pid(help.view()));
    }

    void historyAndClosedWindow()
    {
        BrowserWindow window;
        window.makeVisible();
        window.navigate(m_a.url(QStringLiteral("menu.html")), History::Add);
        QVERIFY(window.waitUntilReady(20000));
        window.navigate(m_a.url(QStringLiteral("form.html")), History::Add);
        QVERIFY(window.waitUntilReady(20000));
        QVERIFY(qobject_cast<QWebEngineView*>(window.view())->history()->canGoBack());
        window.navigate(m_a.url(QStringLiteral("menu.html")), History::Skip);
        QVERIFY(window.waitUntilReady(20000));
        QTRY_VERIFY(!qobject_cast<QWebEngineView*>(window.view())->history()->canGoBack());

        QVERIFY(window.bringToFront());
        window.close();
        QVERIFY(window.isClosed());
        const auto result = window.runScript(QStringLiteral("return 1;"));
        QVERIFY(!result.ok);
        QCOMPARE(result.error, BrowserWindow::closedError());
        QVERIFY(!window.navigate(m_a.url(QStringLiteral("form.html")), History::Skip));
        QVERIFY(!window.makeVisible());
        QVERIFY(!window.waitUntilReady(100));
    }

    void paneShowsLocalFilesWithoutContextMenu()
    {
        WebPane pane;
        pane.resize(300, 200);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QSignalSpy loaded(&pane, &WebPane::loadFinished);
        pane.navigate(QStringLiteral(PAGEWICK_TEST_DATA "/browser/menu.html"), History::Skip);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 20000);
        QVERIFY(loaded.first().first().toBool());
        QCOMPARE(pane.url().scheme(), QStringLiteral("file"));
        QCOMPARE(pane.contextMenuPolicy(), Qt::PreventContextMenu);

        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), pane.mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(&pane, &event);
        if (QWidget* proxy = pane.focusProxy())
            QApplication::sendEvent(proxy, &event);
        QTest::qWait(200);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!(qobject_cast<QMenu*>(w) && w->isVisible()), "a context menu opened");

        pane.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 2, 20000);
    }

private:
    // Two servers of the test pages, for pages and frames of two origins.
    pw::test::FormServer m_a;
    pw::test::FormServer m_b;
};

QTEST_MAIN(BrowserHostTest)
#include "browserhost_test.moc"
