#include "gui/web/untrustedweb.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace pw::gui {

namespace {

class UntrustedRequestFilter : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!UntrustedRequestAllowed(info.requestUrl(), info.resourceType()))
            info.block(true);
    }
};

// Off the record: nothing of an untrusted page is kept on disk, and no cookie
// or cache is shared with the login and signup windows.
QWebEngineProfile* NewUntrustedProfile()
{
    auto* profile = new QWebEngineProfile;
    profile->setUrlRequestInterceptor(new UntrustedRequestFilter(profile));
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineSettings* settings = profile->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    return profile;
}

} // namespace

QUrl UntrustedPageBase()
{
    return QUrl(QStringLiteral("http://untrusted.pagewick.invalid/"));
}

bool UntrustedRequestAllowed(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type)
{
    using Info = QWebEngineUrlRequestInfo;
    const QString scheme = url.scheme().toLower();
    // The page's own content arrives as a data: load of the main frame; where
    // the main frame may go is decided by UntrustedPage, which lets only that
    // load through.
    if (type == Info::ResourceTypeMainFrame)
        return scheme == QLatin1String("data");
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    if (url.host().compare(UntrustedPageBase().host(), Qt::CaseInsensitive) == 0)
        return false;
    switch (type) {
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeStylesheet:
    case Info::ResourceTypeScript:
    case Info::ResourceTypeImage:
    case Info::ResourceTypeFontResource:
    case Info::ResourceTypeMedia:
        return true;
    default:
        return false;
    }
}

UntrustedPage::UntrustedPage(QObject* parent)
    : QWebEnginePage(NewUntrustedProfile(), parent)
{
    profile()->setParent(this);
}

void UntrustedPage::show(const QByteArray& bytes, const QString& mimeType)
{
    m_ownLoad = true;
    setContent(bytes, mimeType, UntrustedPageBase());
}

bool UntrustedPage::acceptNavigationRequest(const QUrl&, NavigationType, bool isMainFrame)
{
    if (!isMainFrame)
        return true;
    const bool own = m_ownLoad;
    m_ownLoad = false;
    return own;
}

} // namespace pw::gui
