// The web-engine module: every use of Qt WebEngine in the program is here,
// behind gui/common/webview.h, so that the window loads the engine only when
// it first shows a page.

#include "gui/common/webview.h"
#include "gui/web/untrustedweb.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace pw::gui {

namespace {

class EngineView final : public QWebEngineView, public WebView {
public:
    EngineView(QWidget* parent, const Options& options, Events events)
        : QWebEngineView(parent)
        , m_pane(options.pane)
    {
        if (m_pane) {
            setContextMenuPolicy(Qt::PreventContextMenu);
            setFocusPolicy(Qt::ClickFocus);
        }
        if (options.localMayReachRemote) {
            settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
            settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        }
        if (events.loadStarted)
            connect(this, &QWebEngineView::loadStarted, this, std::move(events.loadStarted));
        if (events.loadFinished)
            connect(this, &QWebEngineView::loadFinished, this, std::move(events.loadFinished));
        if (events.titleChanged)
            connect(this, &QWebEngineView::titleChanged, this, std::move(events.titleChanged));
    }

    QWidget* widget() override { return this; }

    void load(const QString& address, History history) override
    {
        if (history == History::Skip) {
            // One connection per load: clear the history once this load is done.
            auto* connection = new QMetaObject::Connection;
            *connection = connect(this, &QWebEngineView::loadFinished, this, [this, connection](bool) {
                this->history()->clear();
                QObject::disconnect(*connection);
                delete connection;
            });
        }
        QWebEngineView::load(AddressToUrl(address));
    }

    void showUntrusted(const QByteArray& bytes, const QString& mimeType) override
    {
        if (!m_untrustedPage) {
            // Given before the view shows: a view shown without a page makes one.
            m_untrustedPage = new UntrustedPage(this);
            setPage(m_untrustedPage);
        }
        m_untrustedPage->show(bytes, mimeType);
    }

    void reload() override { QWebEngineView::reload(); }
    void stop() override { QWebEngineView::stop(); }
    QUrl url() const override { return QWebEngineView::url(); }

    void runScript(const QString& script, std::function<void(const QVariant&)> done) override
    {
        page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, std::move(done));
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (!m_pane) {
            QWebEngineView::contextMenuEvent(event);
            return;
        }
        // The right click is handled: nothing shows.
        event->accept();
    }

    bool event(QEvent* event) override
    {
        // The widget that draws the page comes with the first page, and takes
        // the focus in the pane's stead.
        if (m_pane && event->type() == QEvent::ChildPolished)
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
                child->setFocusPolicy(Qt::ClickFocus);
        return QWebEngineView::event(event);
    }

private:
    const bool m_pane;
    UntrustedPage* m_untrustedPage = nullptr;
};

} // namespace

} // namespace pw::gui

extern "C" __attribute__((visibility("default"))) pw::gui::WebView* pagewick_new_web_view(
    QWidget* parent, const pw::gui::WebView::Options* options, pw::gui::WebView::Events* events)
{
    // Before the first view, which starts the scene graph that draws it: the
    // engine renders pages in software and hands them over as images, so
    // that the window keeps its plain drawing instead of putting every frame
    // of the whole window through an OpenGL compositor (a software one, on
    // machines without a GPU). The program's pages are banners, its own
    // local pages and the networks' forms: none needs the GPU.
    static const bool softwareScene = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        return true;
    }();
    (void)softwareScene;
    return new pw::gui::EngineView(parent, *options, std::move(*events));
}
