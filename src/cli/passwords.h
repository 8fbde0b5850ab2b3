#pragma once

// How the commands reach the passwords: through the store the settings name
// (the file or the keyring), never straight from the records.

#include "cli/cli.h"
#include "networks/network.h"
#include "settings/secretstore.h"
#include "sites/setup.h"

namespace pw {
class TIniList;
}

namespace pw::cli {

// Puts the password kept for the setup (login) into its record. A keyring
// that cannot be read, or a setup that asks for its password each time, is
// reported on standard error and gives kExitFailure.
int FillSetupPasswordFor(const Context& c, const TIniList& store, TSetup& setup);
int FillLoginPasswordFor(const Context& c, const TIniList& store, TNetwork& network, LoginEntry& login);

// A password from standard input: its first line (without the line end),
// converted as data unless --raw. An empty line is an empty password; input
// that ends before any line (nothing at all) is reported on standard error
// and gives false.
bool ReadPasswordInput(const Context& c, SecureString& password);

} // namespace pw::cli
