#pragma once

#include "gui/common/webview.h"

#include <QHash>
#include <QJsonObject>
#include <QVariant>
#include <QWidget>

namespace pw::gui {

// A separate browser window that the program opens and drives: the signup
// window, the login and preview windows. Scripts run in the page's main frame
// or in its frames of the same origin, and their results come back.
class BrowserWindow : public QWidget {
    Q_OBJECT
public:
    explicit BrowserWindow(QWidget* parent = nullptr, const WebView::Options& options = {});
    ~BrowserWindow() override;

    enum ReadyState { Uninitialized = 0, Loading = 1, Complete = 4 };

    struct ScriptResult {
        bool ok = false;
        QVariant value;
        QString error;
    };

    // Each call on a window that the user has closed fails.
    bool makeVisible();
    bool navigate(const QString& address, History history);
    bool showMaximised();
    bool bringToFront();
    ReadyState readyState() const;
    bool isClosed() const { return m_closed; }

    // Waits, running the event loop, until the page has loaded or the time is up.
    bool waitUntilReady(int timeoutMs);

    // Runs `body`, the body of a JavaScript function, in the frame at
    // `framePath` (indexes into window.frames from the top; empty for the main
    // frame) and returns what it returns (JSON values). Scripts run in an
    // isolated world: they share the page's DOM, not its script variables. A
    // path through a frame of another origin than the top document's fails.
    ScriptResult runScript(const QString& body, const QList<int>& framePath = {}, int timeoutMs = 5000);

    // The view's widget (a QWebEngineView) and the address it shows.
    QWidget* view() const { return m_view->widget(); }
    QUrl url() const { return m_view->url(); }

    static QString closedError();

signals:
    void closed();
    void loadFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    WebView* m_view = nullptr;
    ReadyState m_readyState = Uninitialized;
    bool m_closed = false;
    int m_nextId = 1;
    QHash<int, QJsonObject> m_replies;
};

} // namespace pw::gui
