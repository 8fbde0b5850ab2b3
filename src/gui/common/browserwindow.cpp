#include "gui/common/browserwindow.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace pw::gui {

namespace {

// Runs a function body in the frame at a path of frame indexes, from the top
// document's isolated world. Each step must be a frame of the top document's
// origin: the program never reaches into a frame of another origin, and
// nothing travels through a channel the page can see.
QString FrameScript(const QString& body, const QList<int>& framePath)
{
    QStringList parts;
    for (int index : framePath)
        parts << QString::number(index);
    return QStringLiteral("(function () {\n"
                          "  try {\n"
                          "    let w = window;\n"
                          "    for (const i of [%1]) {\n"
                          "      const f = w.frames[i];\n"
                          "      if (!f) return { ok: false, error: 'no frame [%1]' };\n"
                          "      let same = false;\n"
                          "      try { same = f.origin === window.origin && !!f.document; } catch (e) {}\n"
                          "      if (!same) return { ok: false, error: 'the frame [%1] is of another origin' };\n"
                          "      w = f;\n"
                          "    }\n"
                          "    const v = (function (window, document) {\n%2\n}).call(w, w, w.document);\n"
                          "    return { ok: true, value: v === undefined ? null : v };\n"
                          "  } catch (e) {\n"
                          "    return { ok: false, error: String(e) };\n"
                          "  }\n"
                          "})()")
        .arg(parts.join(QLatin1Char(',')), body);
}

} // namespace

BrowserWindow::BrowserWindow(QWidget* parent, const WebView::Options& options)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("BrowserWindow"));
    resize(1024, 768);
    WebView::Events events;
    events.loadStarted = [this] { m_readyState = Loading; };
    events.loadFinished = [this](bool ok) {
        m_readyState = Complete;
        emit loadFinished(ok);
    };
    events.titleChanged = [this](const QString& title) { setWindowTitle(title); };
    m_view = NewWebView(this, options, std::move(events));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view->widget());
}

BrowserWindow::~BrowserWindow() = default;

QString BrowserWindow::closedError()
{
    return QStringLiteral("ブラウザのウィンドウは閉じられています。");
}

bool BrowserWindow::makeVisible()
{
    if (m_closed)
        return false;
    show();
    return true;
}

bool BrowserWindow::navigate(const QString& address, History history)
{
    if (m_closed)
        return false;
    m_readyState = Loading;
    m_view->load(address, history);
    return true;
}

bool BrowserWindow::showMaximised()
{
    if (m_closed)
        return false;
    showMaximized();
    return true;
}

bool BrowserWindow::bringToFront()
{
    if (m_closed)
        return false;
    show();
    raise();
    activateWindow();
    return true;
}

BrowserWindow::ReadyState BrowserWindow::readyState() const
{
    return m_readyState;
}

bool BrowserWindow::waitUntilReady(int timeoutMs)
{
    if (m_closed)
        return false;
    if (m_readyState == Complete)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &BrowserWindow::loadFinished, &loop, &QEventLoop::quit);
    connect(this, &BrowserWindow::closed, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return !m_closed && m_readyState == Complete;
}

BrowserWindow::ScriptResult BrowserWindow::runScript(
    const QString& body, const QList<int>& framePath, int timeoutMs)
{
    if (m_closed)
        return { false, {}, closedError() };

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &BrowserWindow::closed, &loop, &QEventLoop::quit);

    // The callback may come after a time-out, when this call has returned.
    const int id = m_nextId++;
    QPointer<BrowserWindow> self(this);
    QPointer<QEventLoop> waiting(&loop);
    m_view->runScript(FrameScript(body, framePath), [self, waiting, id](const QVariant& v) {
        if (!self || !waiting)
            return;
        self->m_replies.insert(id, QJsonObject::fromVariantMap(v.toMap()));
        waiting->quit();
    });
    if (!m_replies.contains(id)) {
        timer.start(timeoutMs);
        loop.exec();
    }

    if (m_closed)
        return { false, {}, closedError() };
    if (!m_replies.contains(id))
        return { false, {}, QStringLiteral("The page did not answer the script in time.") };
    const QJsonObject r = m_replies.take(id);
    if (r.isEmpty())
        return { false, {}, QStringLiteral("The page did not run the script.") };
    if (!r.value(QStringLiteral("ok")).toBool())
        return { false, {}, r.value(QStringLiteral("error")).toString() };
    return { true, r.value(QStringLiteral("value")).toVariant(), {} };
}

void BrowserWindow::closeEvent(QCloseEvent* event)
{
    m_closed = true;
    m_readyState = Uninitialized;
    m_view->stop();
    event->accept();
    emit closed();
}

} // namespace pw::gui
