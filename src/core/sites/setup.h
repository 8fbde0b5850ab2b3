#pragma once

#include "settings/inilist.h"
#include "text/pageencoding.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class TConnection;

// A setup is local folder or a remote host; the kind is never stored, it
// follows from Host.
enum TSetupKind { skLocal = 0, skFtp = 1 };

// How a remote host is reached. Stored as "ftp", "ftps" (explicit TLS) or
// "sftp" under the key "Protocol"; a missing or unknown value is plain FTP.
enum class SiteProtocol { Ftp, Ftps, Sftp };

std::string_view ProtocolKey(SiteProtocol protocol);
SiteProtocol ProtocolFromKey(std::string_view key);
// 21 for FTP and FTPS, 22 for SFTP.
int DefaultPort(SiteProtocol protocol);

// One FTP host or local folder.
class TSetup {
public:
    TSetup() = default;
    TSetup(const TSetup&) = default;
    TSetup(TSetup&&) = default;
    TSetup& operator=(const TSetup&) = default;
    TSetup& operator=(TSetup&&) = default;
    ~TSetup();

    std::string Name;
    std::string Host;
    std::string User;
    std::string Password;
    std::string IniPath;
    std::string RootURL;
    bool LastLoginPath = false;
    std::string LastPath;
    int Port = 21;
    TSetupKind Kind = skLocal;

    SiteProtocol Protocol = SiteProtocol::Ftp;
    // Passive data connections (the default); false uses active mode (PORT/EPRT).
    bool Passive = true;
    // FTPS: the server's public key the user chose to trust although the
    // certificate did not verify, as "sha256//" + base64 (empty: none).
    std::string TrustedCertificate;
    // SFTP: the SHA-256 fingerprint of the host key the user trusted, base64
    // without padding (empty: none yet).
    std::string TrustedHostKey;
    // SFTP: a private key file to log in with (Password is then its
    // passphrase, and password login stays possible). Empty: password only.
    std::string KeyFile;
    // Uploads store the page itself instead of a temporary file renamed over
    // it: only for servers that allow no rename, since a broken transfer then
    // leaves a cut-off page. Stored as "StoreDirectly"; off by default.
    bool StoreDirectly = false;
    // The encoding of the site's pages, stored under "Charset" as "auto"
    // (detected per page; also when the key is missing or unknown),
    // "shift_jis", "utf-8" or "euc-jp".
    PageCharset Charset = PageCharset::Auto;
    // The stable id of the setup's password, stored as "SecretId": the
    // keyring finds the password by it, so a renamed setup keeps it. Empty
    // until the password first goes to the keyring.
    std::string SecretId;
    // The password is asked for at each connection and never kept (shared
    // machines). Stored as "AskPassword"; off by default.
    bool AskPassword = false;
};

std::unique_ptr<TSetup> CopySetup(const TSetup& setup);

// Whether a host name can go into a server address: not empty, no blank or
// control character, no '/', '#', '@', '?' or '\\', and brackets only around
// a whole IPv6 address ("[::1]").
bool IsUsableHostName(std::string_view host);

struct SetupList {
    std::vector<std::unique_ptr<TSetup>> Setups;
    // The entry to select in the selector; -1 for none (also when the stored
    // index lies outside the list).
    int SelectedIndex = -1;
};

// Reads the setups from the main settings store.
SetupList LoadSetups(const TIniList& store);

// Writes the setups into the store (the caller saves the file). Before
// writing, a setup that jumps to its last folder takes the path of the folder
// last shown by its open connection, if it has one.
void SaveSetups(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups, int selectedIndex,
    const std::vector<std::unique_ptr<TConnection>>& openConnections);
// The same without open connections.
void SaveSetups(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups, int selectedIndex);

// The name given to a setup section that has none: "未設定".
extern const std::string_view kUnnamedSetup;

} // namespace pw
