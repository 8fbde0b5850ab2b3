#include "gui/common/webpane.h"

#include "gui/common/untrustedweb.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>

namespace pw::gui {

QUrl AddressToUrl(const QString& address)
{
    const QUrl url(address);
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
}

void LoadAddress(QWebEngineView* view, const QString& address, History history)
{
    if (history == History::Skip) {
        // One connection per load: clear the history once this load is done.
        auto* connection = new QMetaObject::Connection;
        *connection = QObject::connect(view, &QWebEngineView::loadFinished, view, [view, connection](bool) {
            view->history()->clear();
            QObject::disconnect(*connection);
            delete connection;
        });
    }
    view->load(AddressToUrl(address));
}

namespace {

// The view of a pane: no context menu, and the focus from a click only.
class PaneView : public QWebEngineView {
public:
    explicit PaneView(QWidget* parent)
        : QWebEngineView(parent)
    {
        setContextMenuPolicy(Qt::PreventContextMenu);
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        // The right click is handled: nothing shows.
        event->accept();
    }

    bool event(QEvent* event) override
    {
        // The widget that draws the page comes with the first page, and takes
        // the focus in the view's stead.
        if (event->type() == QEvent::ChildPolished)
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
                child->setFocusPolicy(Qt::ClickFocus);
        return QWebEngineView::event(event);
    }
};

} // namespace

WebPane::WebPane(QWidget* parent)
    : QWidget(parent)
{
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::ClickFocus);
    // Blank, as an empty page is, until there is a view.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWebEnginePage* WebPane::page() const
{
    return m_view ? m_view->page() : nullptr;
}

QUrl WebPane::url() const
{
    return m_view ? m_view->url() : QUrl();
}

QWebEngineView* WebPane::ensureView()
{
    if (!m_view) {
        // Shown by the layout once control returns to the event loop, after
        // the caller gave it its page: a view shown without one makes one.
        m_view = new PaneView(this);
        m_view->setAccessibleName(accessibleName());
        connect(m_view, &QWebEngineView::loadFinished, this, &WebPane::loadFinished);
        layout()->addWidget(m_view);
        setFocusProxy(m_view);
    }
    return m_view;
}

void WebPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_pending)
        return;
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    if (pending.untrusted)
        showUntrusted(m_untrustedHtml);
    else
        navigate(pending.address, pending.history);
}

void WebPane::navigate(const QString& address, History history)
{
    if (!isVisible()) {
        m_pending = Pending { false, address, history };
        return;
    }
    LoadAddress(ensureView(), address, history);
}

void WebPane::refresh()
{
    if (m_view)
        m_view->reload();
}

void WebPane::showUntrusted(const std::string& shiftJisHtml)
{
    m_untrustedHtml = shiftJisHtml;
    if (shiftJisHtml.empty() && !m_view) {
        m_pending.reset();
        return;
    }
    if (!isVisible()) {
        m_pending = Pending { true, QString(), History::Skip };
        return;
    }
    if (!m_untrustedPage) {
        QWebEngineView* view = ensureView();
        m_untrustedPage = new UntrustedPage(view);
        view->setPage(m_untrustedPage);
    }
    m_untrustedPage->show(QByteArray::fromStdString(shiftJisHtml), QStringLiteral("text/html;charset=Shift_JIS"));
}

} // namespace pw::gui
