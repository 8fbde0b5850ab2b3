#pragma once

#include "sites/ftpclient.h"

#include <memory>
#include <string>
#include <vector>

namespace pw::net {

// FtpClient on libcurl: one easy handle per session, so that one control
// connection (or one SSH session) carries every command. Before each
// operation the handle is reset and its options set again; libcurl keeps the
// connection across the reset. Folders travel in each request's URL, never as
// connection state.
//
// FTP and FTPS: the current folder is the server's answer to PWD after a
// CWD. FTPS is explicit TLS (AUTH TLS) capped at TLS 1.2, with the server's
// certificate verified against the system's authorities, or, once the user
// trusted it, its public key pinned. SFTP: the host key's SHA-256 fingerprint
// must match the trusted one.
//
// Time-outs: opening the connection fails after ConnectTimeout seconds, a
// reply that does not come within IdleTimeout seconds fails, and so does a
// transfer that stalls (Limits). Listings and files beyond the size limits
// fail with an error that names the limit.
class CurlFtpClient : public FtpClient {
public:
    explicit CurlFtpClient(FtpClientSettings settings);
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    FtpResult Connect() override;
    FtpResult ChangeDir(const std::string& path) override;
    FtpResult CurrentDir(std::string& path) override;
    FtpResult List(std::string& listing) override;
    FtpResult Retrieve(const std::string& path, TransferBuffer& buffer) override;
    FtpResult Store(const std::string& path, const TransferBuffer& buffer) override;
    FtpResult Retrieve(const std::string& path, TransferSink& sink) override;
    FtpResult Stamp(const std::string& path, FileStamp& stamp) override;
    FtpResult RetrieveStamped(const std::string& path, TransferBuffer& buffer, FileStamp& stamp) override;
    FtpResult Store(const std::string& path, TransferSource& source) override;
    FtpResult Rename(const std::string& from, const std::string& to) override;
    FtpResult Delete(const std::string& path) override;
    // SFTP: chmod; FTP: SITE CHMOD.
    FtpResult SetMode(const std::string& path, unsigned mode) override;
    void Quit() override;
    bool Connected() const override { return m_connected; }
    void SetProgress(TransferProgress progress) override { m_progress = std::move(progress); }

    // The URL of a folder or file path on this server (for tests and logs).
    std::string UrlOf(const std::string& path, bool folder) const;

private:
    struct Request;
    std::string BaseUrl() const;
    FtpResult Perform(Request& request);
    FtpResult RetrieveInto(const std::string& path, TransferSink& sink, FileStamp* stamp);
    std::string Absolute(const std::string& path) const;
    bool IsSftp() const { return m_settings.Protocol == SiteProtocol::Sftp; }

    FtpClientSettings m_settings;
    void* m_handle = nullptr; // CURL*
    // CURLM*: runs every request, and keeps the connection between them.
    void* m_multi = nullptr;
    bool m_connected = false;
    TransferProgress m_progress;
    std::string m_home; // the login folder
    std::string m_current; // the current folder, absolute
    std::vector<std::string> m_replies;
    std::string m_seenFingerprint; // of the last peer checked
    std::string m_folderListing; // SFTP: fetched by ChangeDir, handed out by the next List
    bool m_hasFolderListing = false;
};

// The factory the window and the command line give the connection logic.
FtpClientFactory CurlFtpClientFactory();

// SHA-256 fingerprints in the forms the setups store them.
std::string HostKeyFingerprint(const unsigned char* key, size_t length); // base64, no padding
std::string PublicKeyPin(const unsigned char* spkiDer, size_t length); // "sha256//" + base64

} // namespace pw::net
