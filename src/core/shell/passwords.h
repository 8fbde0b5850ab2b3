#pragma once

// The passwords of the setups and the network logins, and moving them between
// the settings file and the keyring.

#include "base/result.h"
#include "networks/network.h"
#include "settings/secretstore.h"
#include "sites/setup.h"

#include <string>
#include <string_view>
#include <vector>

namespace pw {

class TIniList;

// The password of a setup or a login as the stores see it. The label reads
// "Pagewick: FTP user@host" or "Pagewick: NETWORK PROFILE" (UTF-8).
SecretRef SetupSecretRef(TSetup& setup);
SecretRef LoginSecretRef(TNetwork& network, LoginEntry& login);

// Puts the stored password into setup.Password (login.Info->Password): from
// the keyring when it keeps it (empty when it holds none), as read from the
// file otherwise. A setup that asks each time gets an empty password.
Status FillSetupPassword(SecretStore& store, TSetup& setup);
Status FillLoginPassword(SecretStore& store, TNetwork& network, LoginEntry& login);

// Keeps `password` as the setup's (login's) password in `store`. For the
// keyring the record gets an id when it has none, the item is read back and
// compared, and the record's own field is emptied; for the file the field
// takes it. Either way the caller saves the records afterwards.
Status KeepSetupPassword(SecretStore& store, TSetup& setup, std::string_view password);
Status KeepLoginPassword(SecretStore& store, TNetwork& network, LoginEntry& login, std::string_view password);

// Whether a setup or login of the main settings store holds a password in the file.
bool HasPasswordsInFile(const TIniList& store);

// What a move did: the labels of the passwords that reached the target (all
// of them on success; on failure those written before it, which the settings
// file still holds as well).
struct PasswordMove {
    Status Result;
    std::vector<std::string> Moved;
    // After a failed move to the keyring: the file kept the keyring ids given
    // to its records (no password, which all stay in the file), because
    // copies under those ids may still be in the keyring; the next move
    // replaces them.
    bool IdsKept = false;
};

// Moves every password of the main settings store to `to`, and sets
// "PasswordStore" to it; then saves the store as `folder`/Pagewick.ini.
//
// To the keyring: the records that have none get their ids, saved first;
// then each password is written and read back equal; only when every one is
// in does the file lose them (password keys are emptied) in one save. To the
// file: every password is read from the keyring into its record, the file is
// saved, and only then the keyring items go. A failure anywhere leaves every
// password where it was and says which had moved; those copies are removed
// again where the keyring still answers, and then the store and the file are
// as they were (else see IdsKept).
PasswordMove MovePasswords(TIniList& store, const std::string& folder, SecretStore& keyring, PasswordPlace to);

// Writes the setups (networks) into the store as SaveSetups (SaveNetworks)
// does. With the keyring, every password the records hold in memory goes
// there (only when it differs from the item) and the store gets none; the
// records keep their passwords. An empty password in memory leaves the item
// alone. The error is the first keyring failure; the store is written anyway,
// without that password.
Status SaveSetupsWithSecrets(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups,
    int selectedIndex, const std::vector<std::unique_ptr<TConnection>>& openConnections, SecretStore& secrets);
Status SaveNetworksWithSecrets(TIniList& store, const NetworkList& networks, SecretStore& secrets);

// Fills the password of every setup (login) that has none in memory from the
// keyring, for the dialogs that show them. Stops at the first failure.
Status FillSetupPasswords(SecretStore& secrets, const std::vector<std::unique_ptr<TSetup>>& setups);
Status FillLoginPasswords(SecretStore& secrets, const NetworkList& networks);

// What the window does about the password place at start-up.
enum class PasswordStartStep {
    Nothing, // the place is chosen, or the file stays for now
    UseKeyring, // no password anywhere yet and a keyring answers: keep them there from now on
    AskToMove, // passwords in the file and a keyring answers: ask once whether to move them
};
PasswordStartStep DecidePasswordStart(const TIniList& store, bool keyringAnswers);

// The text that names the moved passwords, for messages ("" when none moved):
// program text, as Status errors are.
std::string MovedPasswordsText(const std::vector<std::string>& labels);

} // namespace pw
