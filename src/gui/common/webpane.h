#pragma once

#include "gui/common/webview.h"

#include <QWidget>

#include <optional>
#include <string>

namespace pw::gui {

// An embedded browser pane (the banner preview and the ad panel): shows a
// local file or a web address, reloads, and has no context menu of its own.
// It takes the focus from a click only: Tab passes it by, since a page would
// keep every further Tab for its own links.
//
// The web view inside is made for the first thing the pane shows while it is
// visible; a hidden pane keeps the last address or HTML for when it shows. A
// pane the user does not see, or that has nothing to show, so starts no web
// engine, none of its processes and none of their memory.
class WebPane : public QWidget {
    Q_OBJECT
public:
    explicit WebPane(QWidget* parent = nullptr);

    void navigate(const QString& address, History history = History::Add);
    void refresh();

    // Shows HTML the user did not write (Shift_JIS banner code) in an untrusted
    // page (gui/web/untrustedweb.h); the pane keeps no history of it.
    // Empty HTML shows a blank pane.
    void showUntrusted(const std::string& shiftJisHtml);
    // The HTML showUntrusted was given last.
    const std::string& untrustedHtml() const { return m_untrustedHtml; }

    // The view's widget (a QWebEngineView), and the address shown: null and
    // empty until the pane has shown something.
    QWidget* view() const { return m_view ? m_view->widget() : nullptr; }
    QUrl url() const;

signals:
    void loadFinished(bool ok);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Pending {
        bool untrusted; // the HTML in m_untrustedHtml, else address
        QString address;
        History history;
    };
    WebView* ensureView();

    WebView* m_view = nullptr;
    std::string m_untrustedHtml;
    std::optional<Pending> m_pending;
};

} // namespace pw::gui
