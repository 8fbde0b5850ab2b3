#include "gui/common/webpane.h"

#include <QVBoxLayout>

namespace pw::gui {

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

QUrl WebPane::url() const
{
    return m_view ? m_view->url() : QUrl();
}

WebView* WebPane::ensureView()
{
    if (!m_view) {
        WebView::Events events;
        events.loadFinished = [this](bool ok) { emit loadFinished(ok); };
        m_view = NewWebView(this, WebView::Options { true, false }, std::move(events));
        // Shown by the layout once control returns to the event loop, after
        // the caller gave it its page.
        QWidget* widget = m_view->widget();
        widget->setAccessibleName(accessibleName());
        layout()->addWidget(widget);
        setFocusProxy(widget);
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
    ensureView()->load(address, history);
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
    ensureView()->showUntrusted(
        QByteArray::fromStdString(shiftJisHtml), QStringLiteral("text/html;charset=Shift_JIS"));
}

} // namespace pw::gui
