#pragma once

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>

namespace pw::gui {

// HTML the user did not write (banner code from the networks, or anything
// copied as "ad code") is shown from an address that is not a file, in an
// off-the-record profile of its own whose pages may not read local files, and
// its requests leave only for the http(s) images, scripts, styles, fonts,
// media and frames an ad needs to show. WebSockets, XHR and fetch, pings,
// workers, plugins, navigation of the page itself and every other scheme are
// refused.

// The address untrusted HTML is shown at. It is never fetched: a request to
// its host is refused like any other the page does not need.
QUrl UntrustedPageBase();

// Whether a request of an untrusted page may leave.
bool UntrustedRequestAllowed(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type);

// A page in a profile of its own with the rules above. The profile is the
// page's child, so it outlives the page as the engine needs. The page
// navigates only where show() sends it: a script or a click cannot take it
// elsewhere (frames inside it go through the request rules).
class UntrustedPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit UntrustedPage(QObject* parent = nullptr);

    // Shows `bytes` of `mimeType` (e.g. "text/html;charset=Shift_JIS") at
    // UntrustedPageBase, without a history entry.
    void show(const QByteArray& bytes, const QString& mimeType);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    bool m_ownLoad = false;
};

} // namespace pw::gui
