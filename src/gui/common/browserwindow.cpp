#include "gui/common/browserwindow.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QJsonDocument>
#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace pw::gui {

namespace {

constexpr auto kReplyMark = "__PWR__";

// Injected into every frame before its scripts run. Each frame learns its
// index path by looking itself up in its parent's frames (this works across
// origins), runs commands addressed to it, and passes the others down with
// postMessage. Replies go out through the console, which reaches the window
// from any frame and any world. Commands must carry the window's nonce.
QString AgentScript(const QString& nonce)
{
    return QStringLiteral(R"JS(
(function () {
  const NONCE = "%1";
  if (window.__pwAgent === NONCE) return;
  window.__pwAgent = NONCE;
  function myPath() {
    const parts = [];
    let w = window;
    while (w !== w.parent) {
      const p = w.parent;
      let index = -1;
      for (let i = 0; i < p.frames.length; ++i) {
        if (p.frames[i] === w) { index = i; break; }
      }
      parts.unshift(index);
      w = p;
    }
    return parts.join('/');
  }
  function reply(r) { console.log('%2' + NONCE + JSON.stringify(r)); }
  window.addEventListener('message', function (ev) {
    const m = ev.data;
    if (!m || typeof m !== 'object' || m.__pw !== NONCE) return;
    const here = myPath();
    if (m.target === here) {
      try {
        const v = (new Function(m.code))();
        reply({ id: m.id, ok: true, value: v === undefined ? null : v });
      } catch (e) {
        reply({ id: m.id, ok: false, error: String(e) });
      }
      return;
    }
    let rest = null;
    if (here === '') rest = m.target;
    else if (m.target.startsWith(here + '/')) rest = m.target.slice(here.length + 1);
    if (rest === null) return;
    const next = parseInt(rest.split('/')[0], 10);
    if (next >= 0 && next < window.frames.length) window.frames[next].postMessage(m, '*');
    else reply({ id: m.id, ok: false, error: 'no frame ' + m.target });
  });
})();
)JS")
        .arg(nonce, QLatin1String(kReplyMark));
}

} // namespace

// Picks the agent's replies out of the console messages.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    BrowserPage(const QString& nonce, QObject* parent)
        : QWebEnginePage(parent)
        , m_prefix(QLatin1String(kReplyMark) + nonce)
    {
    }

signals:
    void reply(const QJsonObject& reply);

protected:
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel level, const QString& message, int line, const QString& source) override
    {
        if (message.startsWith(m_prefix)) {
            const QJsonDocument doc = QJsonDocument::fromJson(message.mid(m_prefix.size()).toUtf8());
            if (doc.isObject())
                emit reply(doc.object());
            return;
        }
        QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }

private:
    QString m_prefix;
};

BrowserWindow::BrowserWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("BrowserWindow"));
    resize(1024, 768);
    m_nonce = QString::number(QRandomGenerator::system()->generate64(), 36);
    m_page = new BrowserPage(m_nonce, this);
    m_view = new QWebEngineView(this);
    m_view->setPage(m_page);

    QWebEngineScript agent;
    agent.setName(QStringLiteral("pagewick-agent"));
    agent.setSourceCode(AgentScript(m_nonce));
    agent.setInjectionPoint(QWebEngineScript::DocumentCreation);
    agent.setRunsOnSubFrames(true);
    agent.setWorldId(QWebEngineScript::ApplicationWorld);
    m_page->scripts().insert(agent);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    connect(m_page, &BrowserPage::reply, this, &BrowserWindow::onReply);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_readyState = Loading; });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool) { m_readyState = Complete; });
    connect(m_view, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
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
    LoadAddress(m_view, address, history);
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
    connect(m_view, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
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

    QStringList parts;
    for (int index : framePath)
        parts << QString::number(index);
    const int id = m_nextId++;
    const QJsonObject command { { QStringLiteral("__pw"), m_nonce },
        { QStringLiteral("target"), parts.join(QLatin1Char('/')) }, { QStringLiteral("id"), id },
        { QStringLiteral("code"), body } };
    const QString json = QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &BrowserWindow::closed, &loop, &QEventLoop::quit);

    if (framePath.isEmpty()) {
        // The main frame answers directly through the callback.
        const QString code = QStringLiteral("(function(){try{const v=(function(){%1\n})();"
                                            "return {ok:true,value:v===undefined?null:v};}"
                                            "catch(e){return {ok:false,error:String(e)};}})()")
                                 .arg(body);
        // The callback may come after a time-out, when this call has returned.
        QPointer<BrowserWindow> self(this);
        QPointer<QEventLoop> waiting(&loop);
        m_page->runJavaScript(code, QWebEngineScript::ApplicationWorld, [self, waiting, id](const QVariant& v) {
            if (!self || !waiting)
                return;
            self->m_replies.insert(id, QJsonObject::fromVariantMap(v.toMap()));
            waiting->quit();
        });
    } else {
        connect(m_page, &BrowserPage::reply, &loop, [&loop, id](const QJsonObject& r) {
            if (r.value(QStringLiteral("id")).toInt() == id)
                loop.quit();
        });
        m_page->runJavaScript(
            QStringLiteral("window.postMessage(%1,'*');").arg(json), QWebEngineScript::ApplicationWorld);
    }
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

void BrowserWindow::onReply(const QJsonObject& reply)
{
    m_replies.insert(reply.value(QStringLiteral("id")).toInt(), reply);
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

#include "browserwindow.moc"
