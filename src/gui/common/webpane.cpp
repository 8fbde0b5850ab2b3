#include "gui/common/webpane.h"

#include "gui/common/untrustedweb.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
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

WebPane::WebPane(QWidget* parent)
    : QWebEngineView(parent)
{
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::ClickFocus);
}

bool WebPane::event(QEvent* event)
{
    // The widget that draws the page comes with the first page, and takes
    // the focus in the pane's stead.
    if (event->type() == QEvent::ChildPolished)
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->setFocusPolicy(Qt::ClickFocus);
    return QWebEngineView::event(event);
}

void WebPane::navigate(const QString& address, History history)
{
    LoadAddress(this, address, history);
}

void WebPane::refresh()
{
    reload();
}

void WebPane::showUntrusted(const std::string& shiftJisHtml)
{
    if (!m_untrustedPage) {
        m_untrustedPage = new UntrustedPage(this);
        setPage(m_untrustedPage);
    }
    m_untrustedHtml = shiftJisHtml;
    m_untrustedPage->show(QByteArray::fromStdString(shiftJisHtml), QStringLiteral("text/html;charset=Shift_JIS"));
}

void WebPane::contextMenuEvent(QContextMenuEvent* event)
{
    // The right click is handled: nothing shows.
    event->accept();
}

} // namespace pw::gui
