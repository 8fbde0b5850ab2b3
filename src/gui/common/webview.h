#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>

class QWidget;

namespace pw::gui {

enum class History { Add, Skip };

// A local file path or a web address as a URL. Inline: the module uses it too.
inline QUrl AddressToUrl(const QString& address)
{
    const QUrl url(address);
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
}

// A web view of the web engine. The engine lives in a module of its own
// (gui/web), loaded the first time a view is made: until then the program has
// none of its libraries, its OpenGL context or its processes. The interface
// is plain C++ so that it crosses the module's boundary without the
// window's own Qt classes.
class WebView {
public:
    struct Options {
        // A pane inside a window: no context menu, and the focus from a
        // click only, since a page would keep every Tab for its own links.
        bool pane = false;
        // The page is one of the program's own local files whose form posts
        // to a web address; it may reach the web but read no other file.
        bool localMayReachRemote = false;
    };
    struct Events {
        std::function<void()> loadStarted;
        std::function<void(bool ok)> loadFinished;
        std::function<void(const QString& title)> titleChanged;
    };

    // The view's widget, a child of the parent it was made with; it owns
    // this view.
    virtual QWidget* widget() = 0;
    // With History::Skip the view's history keeps only the page shown, so
    // the load leaves no entry to go back to.
    virtual void load(const QString& address, History history) = 0;
    // Shows HTML the user did not write in an untrusted page
    // (gui/web/untrustedweb.h), without a history entry.
    virtual void showUntrusted(const QByteArray& bytes, const QString& mimeType) = 0;
    virtual void reload() = 0;
    virtual void stop() = 0;
    // Empty until a page is shown.
    virtual QUrl url() const = 0;
    // Runs `script` in the main frame's isolated world; `done` gets its value
    // (an invalid one when the page did not run it).
    virtual void runScript(const QString& script, std::function<void(const QVariant&)> done) = 0;

protected:
    ~WebView() = default;
};

// Makes a view as a child of `parent`. Without the module, the view is a
// notice that says so, and loads nothing.
WebView* NewWebView(QWidget* parent, const WebView::Options& options, WebView::Events events);

} // namespace pw::gui

// The module's one entry point.
extern "C" {
using PagewickNewWebView = pw::gui::WebView* (*)(QWidget* parent, const pw::gui::WebView::Options* options,
    pw::gui::WebView::Events* events);
}
