#pragma once

// A private desktop session for keyring tests: a D-Bus session bus with no
// service activation (a killed keyring stays gone) and gnome-keyring-daemon
// serving the Secret Service with an unlocked login keyring, both under a
// throwaway HOME. The test process's environment points at them, so programs
// it starts use them.

#include "net/servers.h"

#include <string>

namespace pw::test {

class KeyringSession {
public:
    // Starts bus and keyring under `folder`; false with `error` set when they
    // do not come up.
    bool Start(const std::string& folder);
    // Ends the keyring daemon only (the bus stays).
    void StopKeyring() { m_keyring.Stop(); }
    void PauseKeyring() { m_keyring.Pause(); }
    // The same throwaway HOME with no session bus at all: nothing to reach.
    static void WithoutBus(const std::string& folder);

    std::string error;

private:
    ChildProcess m_bus;
    ChildProcess m_keyring;
};

// What secret-tool prints for a search over every item of the application.
std::string KeyringItems();
// The secret of the item with this id (secret-tool lookup); empty when none.
std::string KeyringSecret(const std::string& id);

} // namespace pw::test
