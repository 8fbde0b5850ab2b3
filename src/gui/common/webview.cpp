#include "gui/common/webview.h"

#include "settings/settingsfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QOpenGLContext>
#include <QStringList>
#include <QTimer>

#include <dlfcn.h>

// Qt's own: the context every OpenGL context of the program shares with. The
// web engine declares them the same way, and reads the context when it
// starts; linked into the program, it would make one as the application
// starts, loading the OpenGL stack for a window that may never show a page.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

namespace pw::gui {

namespace {

constexpr const char* kEntryPoint = "pagewick_new_web_view";

// Where the module is: beside the program (the build tree), or in the
// program's library folder once installed. A module is code run with the
// user's rights, so one that another account could have planted or changed
// (a copy of the program in a shared folder) is refused: it must pass the
// rule of a portable Pagewick.ini, where root may own it too.
QStringList ModulePaths()
{
    const QString folder = QCoreApplication::applicationDirPath();
    return { folder + QStringLiteral("/libpagewick_web.so"),
        folder + QStringLiteral("/../") + QStringLiteral(PAGEWICK_WEB_MODULE_DIR "/libpagewick_web.so") };
}

QOpenGLContext* g_shareContext = nullptr;

void DeleteShareContext()
{
    qt_gl_set_global_share_context(nullptr);
    delete g_shareContext;
    g_shareContext = nullptr;
}

// The engine draws its pages in software (see gui/web/webmodule.cpp), so the
// process needs no OpenGL: the window system's (and, on machines without a
// GPU, the shader compiler behind it, some 30 MB) is never loaded. The engine
// still asks for the shared context, which stays an empty one.
void GoWithoutOpenGL()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (qt_gl_global_share_context())
        return;
    g_shareContext = new QOpenGLContext;
    qt_gl_set_global_share_context(g_shareContext);
    qAddPostRoutine(DeleteShareContext);
}

// Chromium starts a renderer process for each window or pane; the program's
// own local pages (help, the ad panel's page, the login pages) are one site to
// it, and so share one. Pages of other profiles (the untrusted banner views)
// never share a process with them.
void SetEngineFlags()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains("--process-per-site"))
        return;
    flags += flags.isEmpty() ? "--process-per-site" : " --process-per-site";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

struct Module {
    PagewickNewWebView make = nullptr;
    QString error;
};

const Module& LoadModule()
{
    static const Module module = [] {
        Module m;
        // Read when the engine starts, with the first page.
        SetEngineFlags();
        // Linked in already (the tests link it).
        if (void* linked = ::dlsym(RTLD_DEFAULT, kEntryPoint)) {
            m.make = reinterpret_cast<PagewickNewWebView>(linked);
            return m;
        }
        GoWithoutOpenGL();
        QStringList errors;
        QStringList refused;
        for (const QString& path : ModulePaths()) {
            if (!QFileInfo::exists(path)) {
                errors << path + QStringLiteral(": no such file");
                continue;
            }
            if (const std::string why
                = WhyUntrustedFile(QFile::encodeName(path).toStdString(), TrustedOwner::UserOrRoot);
                !why.empty()) {
                refused << path + QStringLiteral(" is not loaded: ") + QString::fromLocal8Bit(why.c_str());
                errors << refused.back();
                continue;
            }
            void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                errors << QString::fromLocal8Bit(::dlerror());
                continue;
            }
            if (void* entry = ::dlsym(handle, kEntryPoint)) {
                m.make = reinterpret_cast<PagewickNewWebView>(entry);
                for (const QString& text : refused)
                    qWarning("pagewick: the web view module %s", qPrintable(text));
                return m;
            }
            errors << path + QStringLiteral(": no entry point");
        }
        m.error = errors.join(QLatin1Char('\n'));
        qWarning("pagewick: the web view module did not load:\n%s", qPrintable(m.error));
        return m;
    }();
    return module;
}

// The stand-in for a view when the module is missing: it says so, loads
// nothing, and answers no script.
class MissingWebView final : public QLabel, public WebView {
public:
    MissingWebView(QWidget* parent, const QString& error, Events events)
        : QLabel(parent)
        , m_events(std::move(events))
    {
        setWordWrap(true);
        setAlignment(Qt::AlignCenter);
        setText(QStringLiteral("Webページを表示する部品を読み込めませんでした。Pagewickを入れ直してください。\n")
            + error);
    }

    QWidget* widget() override { return this; }
    void load(const QString& address, History) override
    {
        m_url = AddressToUrl(address);
        finishLater();
    }
    void showUntrusted(const QByteArray&, const QString&) override { finishLater(); }
    void reload() override { finishLater(); }
    void stop() override { }
    QUrl url() const override { return m_url; }
    void runScript(const QString&, std::function<void(const QVariant&)> done) override
    {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(QVariant()); });
    }

private:
    void finishLater()
    {
        QTimer::singleShot(0, this, [this] {
            if (m_events.loadFinished)
                m_events.loadFinished(false);
        });
    }

    Events m_events;
    QUrl m_url;
};

} // namespace

WebView* NewWebView(QWidget* parent, const WebView::Options& options, WebView::Events events)
{
    const Module& module = LoadModule();
    if (!module.make)
        return new MissingWebView(parent, module.error, std::move(events));
    return module.make(parent, &options, &events);
}

} // namespace pw::gui
