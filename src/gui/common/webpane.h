#pragma once

#include <QWebEngineView>

#include <string>

namespace pw::gui {

class UntrustedPage;

enum class History { Add, Skip };

// A local file path or a web address as a URL.
QUrl AddressToUrl(const QString& address);

// Loads an address into a view. With History::Skip the view's history keeps
// only the page shown, so the load leaves no entry to go back to.
void LoadAddress(QWebEngineView* view, const QString& address, History history);

// An embedded browser pane (the banner preview and the ad panel): shows a
// local file or a web address, reloads, and has no context menu of its own.
// It takes the focus from a click only: Tab passes it by, since a page would
// keep every further Tab for its own links.
class WebPane : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebPane(QWidget* parent = nullptr);

    void navigate(const QString& address, History history = History::Add);
    void refresh();

    // Shows HTML the user did not write (Shift_JIS banner code) in an untrusted
    // page (gui/common/untrustedweb.h); the pane keeps no history of it.
    void showUntrusted(const std::string& shiftJisHtml);
    // The HTML showUntrusted showed last.
    const std::string& untrustedHtml() const { return m_untrustedHtml; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::string m_untrustedHtml;
    UntrustedPage* m_untrustedPage = nullptr;
};

} // namespace pw::gui
