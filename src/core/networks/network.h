#pragma once

#include "base/sjistext.h"
#include "networks/fieldmap.h"
#include "settings/inilist.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class TNetwork;
class SignupWindow; // a browser window showing a network's signup form (signup fill)

// One stored login of a network. Its name (the registration profile it belongs
// to) is the key under which the network holds it.
class TLoginInfo {
public:
    TLoginInfo() = default;
    TLoginInfo(const TLoginInfo&) = default;
    TLoginInfo& operator=(const TLoginInfo&) = default;
    ~TLoginInfo();

    TNetwork* Network = nullptr; // the network that holds it; not owned
    std::string User;
    std::string Password;
    // The stable id of the password in the keyring ("SecretId<n>"); it stays
    // when the network or the profile is renamed. Empty until needed.
    std::string SecretId;
};

// A login of a network under its profile name.
struct LoginEntry {
    std::string Name;
    std::unique_ptr<TLoginInfo> Info;
};

// Stands for "no number" in TRegistField::Number.
inline constexpr int32_t kNoNumber = INT32_MAX;

// One rule of a network's field map: fill this form element from that profile
// field.
class TRegistField {
public:
    bool Required = false;
    bool Mirror = false;
    bool Continued = false; // a later member of a chain
    std::string Source; // profile field name or quoted literal
    std::string Target; // form element name
    std::string Expected;
    std::string GuardName;
    ProfileField Control = ProfileField::None;
    int32_t Number = kNoNumber;
    TRegistField* Next = nullptr; // next member of the chain; not owned
    std::optional<std::vector<int32_t>> Pairs;
    std::string RemoveText;
    char Cut = '\0'; // '<', '>', '{' or '\0' for none
};

// The rules of one page form, in text order.
struct RegistForm {
    std::string Name;
    std::vector<std::unique_ptr<TRegistField>> Fields;
};

// An affiliate network with its login form, marker text, signup field map and
// the user's stored logins.
class TNetwork {
public:
    TNetwork() = default;
    TNetwork(const TNetwork&) = delete;
    TNetwork& operator=(const TNetwork&) = delete;

    std::string Name;
    std::string LoginURL;
    std::string Character; // marker text of the network's ad snippets
    std::string FieldUser;
    std::string FieldPassword;
    std::string FieldOthers;
    std::string SignupURL;
    std::string System; // non-empty for a network from the definitions file
    std::string RegistURL;
    std::string Regist;
    std::vector<LoginEntry> Logins; // empty: no logins
    SignupWindow* SignupBrowser = nullptr; // not owned, not stored
    std::optional<std::vector<RegistForm>> Forms; // the parsed Regist text

    bool IsSystem() const { return !System.empty(); }

    // The login stored under `name` (exact comparison), or nullptr.
    TLoginInfo* FindLogin(std::string_view name) const;
    // Stores user and password under `name`, replacing an existing login.
    TLoginInfo& SetLogin(std::string_view name, std::string_view user, std::string_view password);
    // Renames the login stored under `from`, if any. An existing login under
    // `to` is replaced.
    void RenameLogin(std::string_view from, std::string_view to);
};

using NetworkList = std::vector<std::unique_ptr<TNetwork>>;

// Default values of the stored form.
inline const std::string_view kDefaultNetworkName = "未設定"_sjis;
inline const std::string_view kDefaultLoginName = "サイト"_sjis;
inline constexpr std::string_view kDefaultFieldUser = "user";
inline constexpr std::string_view kDefaultFieldPassword = "password";

// CappedCount (settings/inilist.h) limits the stored counts.

// Replaces `list` by the networks of section "Networks" / "Network<k>" of the
// main settings store. Forms and SignupBrowser start absent.
void LoadNetworks(const TIniList& store, NetworkList& list);
// Writes "Count" and every network's section into the store. Sections and
// login keys beyond the new counts are left as they are.
void SaveNetworks(TIniList& store, const NetworkList& list);

// Rebuilds network.Forms from network.Regist.
void ParseRegist(TNetwork& network);
// Empties Forms; creates it empty when absent and Regist is longer than one
// character.
void ClearForms(TNetwork& network);
// Removes the login stored under the profile name, if any.
void RemoveLogin(TNetwork& network, std::string_view profileName);
// Carries the logins of a renamed profile over to its new name at every network.
void RenameProfileLogins(NetworkList& list, std::string_view from, std::string_view to);

} // namespace pw
