#pragma once

#include "networks/network.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace pw {
class SignupValues;
}

namespace pw::gui {

class BrowserWindow;
class WebSignupWindow;

// The signup windows of the networks, and the fill that runs over them every
// two seconds while it is started (while the networks dialog shows). Each
// round fills the forms of every open signup window from the values the
// owner gives; a window the user has closed is let go without a word.
class SignupChecker : public QObject {
    Q_OBJECT
public:
    // `values` is asked for at every round: what the dialog shows then.
    using ValuesSource = std::function<std::unique_ptr<SignupValues>()>;

    SignupChecker(NetworkList& networks, ValuesSource values, QObject* parent = nullptr);
    ~SignupChecker() override;

    void start();
    void stop();
    bool isRunning() const;

    // Brings the signup window of `network` to the front, or opens a new one
    // at `address` when it has none or the user closed it.
    void open(TNetwork& network, const QString& address);
    // The signup window open for `network`, or nullptr.
    BrowserWindow* window(const TNetwork& network) const;
    // Lets go of the windows of networks that are no longer in the list.
    void forgetRemovedNetworks();

    // One round; does nothing while a round is running (scripts wait in a
    // nested event loop, where the next tick may come).
    void check();

private:
    void drop(TNetwork* network);

    NetworkList& m_networks;
    ValuesSource m_values;
    QTimer* m_timer = nullptr;
    bool m_checking = false;
    std::map<TNetwork*, std::unique_ptr<WebSignupWindow>> m_windows;
};

} // namespace pw::gui
