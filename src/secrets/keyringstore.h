#pragma once

#include "settings/secretstore.h"

#include <memory>

namespace pw {

class TIniList;

// The Secret Service (GNOME Keyring, KeePassXC, KWallet) as a SecretStore.
// Items carry the attributes application=pagewick, kind=setup|login and
// id=<the record's SecretId>, which find them, and descriptive ones
// (protocol, user, host; network, profile). A locked keyring is unlocked
// through the service's own prompt; a prompt dismissed is an error.
std::unique_ptr<SecretStore> MakeKeyringStore();

// The store that keeps passwords by the setting of the main settings store:
// the keyring for "keyring", the file otherwise.
std::unique_ptr<SecretStore> OpenPasswordStore(const TIniList& store);

} // namespace pw
