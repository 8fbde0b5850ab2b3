#pragma once

#include "base/sjistext.h"
#include <optional>

#include "base/result.h"
#include "networks/network.h"
#include "settings/inilist.h"

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// The network definitions file, exchanged with the maker's service and written
// by the maintainer's export: the settings line form, scrambled as text.
inline constexpr std::string_view kDefinitionsFile = "nwks.txt";
// Path of the definitions file on the maker's service.
inline constexpr std::string_view kDefinitionsPath = "/pagewick/nwks.txt";

// Shown after a successful update: 広告代理店情報が更新されました。
inline const std::string_view kNetworksUpdatedMessage = "広告代理店情報が更新されました。"_sjis;
// Shown when a download holds no definitions: 広告代理店の定義がありません。
inline const std::string_view kNoDefinitionsMessage = "広告代理店の定義がありません。"_sjis;

// The unscrambled definitions text of the system networks (user networks are
// never exported), written into the emptied scratch store.
std::string ExportNetworksText(TIniList& scratch, const NetworkList& networks, int version);

// The maintainer's export: converts the version answer (a decimal integer, or
// the conversion error and no file), builds the text, scrambles it and writes
// `folder`/nwks.txt. When `warnings` is given it receives one line per network
// whose FieldOthers holds markup that the login page leaves out (see
// BuildLoginPage); the file is written all the same.
Status ExportNetworks(TIniList& scratch, const NetworkList& networks, std::string_view versionAnswer,
    const std::string& folder, std::vector<std::string>* warnings = nullptr);

// A login address that a merge did not take: the definition moves the login
// of a network that has stored logins to another host, so the stored
// passwords would be posted there.
struct LoginHostChange {
    TNetwork* Network = nullptr; // not owned
    std::string Name; // the network's name after the merge
    std::string OldURL; // kept
    std::string NewURL; // the definition's
};

// The host of an address as a browser would post to it, lower-cased ("" for
// an address without one: relative, or a scheme that has no host). Tabs and
// line breaks are removed and the ends trimmed, as browsers do; the host is
// what stands after the last '@' of the part between "//" and the first '/',
// '\', '?' or '#', without its port.
std::string LoginHost(std::string_view url);

// Where a login page posts to: the scheme (lower case), the host as LoginHost
// gives it, and the port (the scheme's own when none is written).
struct LoginOrigin {
    std::string Scheme;
    std::string Host;
    int Port = 0;
};

// The origin of an "http://" or "https://" address with a host; nullopt for
// anything else ("javascript:", "file:", "//host", a relative address, a port
// that is not a number from 1 to 65535). Only such addresses may receive a
// login: anything else would run in, or read from, the login page.
std::optional<LoginOrigin> PostableLoginOrigin(std::string_view url);

// True when a login posted to `newURL` could reach someone that `oldURL` did
// not: another host, https going down to http, or another port of the same
// scheme. Going up from http to https is not a move.
bool LoginMoves(std::string_view oldURL, std::string_view newURL);

// The refusal of a login address that is not postable, naming it
// (Shift_JIS, as every message of the core).
std::string UnsafeLoginURLMessage(std::string_view networkName, std::string_view url);

// Merges an unscrambled definitions text into the network list: updates the
// system networks it lists (in place, keeping their logins), appends new ones
// in file order, removes the system networks it does not list, and leaves user
// networks alone. Sets `networkVersion` from the file.
//
// A text without definitions (no "Count", a count of 0 or less, or no
// definition that carries a system code) is refused with
// kNoDefinitionsMessage and changes nothing. A definition without a system
// code is skipped. When `current` points at a network that is removed, it is
// set to nullptr.
//
// A definition whose login address is neither empty nor postable
// (PostableLoginOrigin) refuses the whole text with UnsafeLoginURLMessage and
// changes nothing.
//
// A definition that moves the login of a network with stored logins
// (LoginMoves: another host, a downgrade to http or another port; a network
// that had no address is free to get one) does not change that address; the
// rest of the definition is taken.
// `keptLoginURLs`, when given, receives one entry per address kept, so that
// the user can be asked (AcceptLoginHostChanges takes the new ones).
Status ImportNetworks(TIniList& scratch, std::string_view text, NetworkList& networks, int& networkVersion,
    TNetwork** current = nullptr, std::vector<LoginHostChange>* keptLoginURLs = nullptr);

// Gives the networks of `changes` that are still in the list their new login
// addresses (the user agreed to them). The caller saves the networks.
void AcceptLoginHostChanges(NetworkList& networks, const std::vector<LoginHostChange>& changes);

// The data steps of a successful download: unscrambles the body, merges it,
// stores the version as "v2" in section "Setups" and saves the networks into
// the main settings store. The caller rebuilds the login menu and writes the
// store to disk. A refused body changes neither the list nor the store. Login
// addresses moved to another host are kept as ImportNetworks does and
// reported in `keptLoginURLs`.
Status ApplyNetworkUpdate(TIniList& scratch, std::string body, NetworkList& networks, TIniList& mainStore,
    int& networkVersion, TNetwork** current = nullptr, std::vector<LoginHostChange>* keptLoginURLs = nullptr);

} // namespace pw
