#include "gui/networks/signupchecker.h"

#include "gui/common/browserwindow.h"
#include "gui/networks/websignupwindow.h"
#include "networks/signupfill.h"

#include <QTimer>

#include <algorithm>

namespace pw::gui {

SignupChecker::SignupChecker(NetworkList& networks, ValuesSource values, QObject* parent)
    : QObject(parent)
    , m_networks(networks)
    , m_values(std::move(values))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(2000);
    connect(m_timer, &QTimer::timeout, this, &SignupChecker::check);
}

// The main window frees the networks before its dialogs: nothing here may
// touch a network, only the adapters.
SignupChecker::~SignupChecker() = default;

void SignupChecker::start()
{
    m_timer->start();
}

void SignupChecker::stop()
{
    m_timer->stop();
}

bool SignupChecker::isRunning() const
{
    return m_timer->isActive();
}

void SignupChecker::open(TNetwork& network, const QString& address)
{
    if (BrowserWindow* open = window(network)) {
        if (open->bringToFront())
            return;
        drop(&network);
    }
    auto* browser = new BrowserWindow;
    browser->setObjectName(QStringLiteral("SignupWindow"));
    browser->setAttribute(Qt::WA_DeleteOnClose);
    auto adapter = std::make_unique<WebSignupWindow>(browser);
    network.SignupBrowser = adapter.get();
    m_windows[&network] = std::move(adapter);
    browser->makeVisible();
    browser->navigate(address, History::Add);
    browser->showMaximised();
}

BrowserWindow* SignupChecker::window(const TNetwork& network) const
{
    const auto found = m_windows.find(const_cast<TNetwork*>(&network));
    return found == m_windows.end() ? nullptr : found->second->window();
}

void SignupChecker::forgetRemovedNetworks()
{
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        const bool listed = std::any_of(
            m_networks.begin(), m_networks.end(), [&](const auto& network) { return network.get() == it->first; });
        it = listed ? std::next(it) : m_windows.erase(it);
    }
}

void SignupChecker::check()
{
    if (m_checking)
        return;
    m_checking = true;
    const std::unique_ptr<SignupValues> values = m_values();
    const std::vector<SignupWindow*> gone = FillSignupForms(m_networks, *values);
    for (SignupWindow* closed : gone) {
        const auto found = std::find_if(
            m_windows.begin(), m_windows.end(), [&](const auto& entry) { return entry.second.get() == closed; });
        if (found != m_windows.end())
            m_windows.erase(found);
    }
    m_checking = false;
}

void SignupChecker::drop(TNetwork* network)
{
    const auto found = m_windows.find(network);
    if (found == m_windows.end())
        return;
    network->SignupBrowser = nullptr;
    m_windows.erase(found);
}

} // namespace pw::gui
