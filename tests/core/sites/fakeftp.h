#pragma once

// An in-memory server behind the FtpClient interface, for the connection and
// document logic. Folders and files live in maps keyed by absolute path; the
// listing is produced in the Unix long form.

#include "sites/ftpclient.h"

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pw::test {

struct FakeServer {
    std::string user = "web";
    std::string password = "secret";
    std::string home = "/home/web";
    std::set<std::string> folders { "/", "/home", "/home/web" };
    std::map<std::string, std::string> files;
    bool down = false; // every call fails as a lost connection
    bool refuseRename = false; // RNFR/RNTO answered with 550
    bool refuseRenameOver = false; // RNTO to an existing file answered with 550
    std::string refuseRenameFrom; // a rename of this path answered with 550
    bool refuseChmod = false; // SITE CHMOD answered with 500
    std::map<std::string, unsigned> modes; // set by SITE CHMOD
    std::string failStoreOf; // a STOR of this path breaks the connection
    bool failList = false; // LIST fails as a TLS data connection that cannot be opened
    std::string extraListing; // appended to every LIST answer
    std::string peerFingerprint; // non-empty: the peer is trusted only with this fingerprint
    int connects = 0;
    std::vector<std::string> log; // commands in order

    void AddFolder(const std::string& path)
    {
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            folders.insert(path.substr(0, slash));
        folders.insert(path);
    }
    void AddFile(const std::string& path, const std::string& content)
    {
        AddFolder(path.substr(0, path.rfind('/')).empty() ? "/" : path.substr(0, path.rfind('/')));
        files[path] = content;
    }
};

class FakeFtpClient : public FtpClient {
public:
    FakeFtpClient(std::shared_ptr<FakeServer> server, FtpClientSettings settings)
        : m_server(std::move(server))
        , m_settings(std::move(settings))
    {
    }

    FtpResult Connect() override
    {
        if (m_server->down)
            return Lost();
        if (!m_server->peerFingerprint.empty()) {
            const std::string& trusted = m_settings.Protocol == SiteProtocol::Sftp ? m_settings.TrustedHostKey
                                                                                   : m_settings.TrustedCertificate;
            if (trusted != m_server->peerFingerprint) {
                FtpResult result = FtpResult::Fail(FtpFailure::UntrustedPeer, "certificate problem");
                result.Fingerprint = m_server->peerFingerprint;
                result.FingerprintChanged = !trusted.empty();
                return result;
            }
        }
        ++m_server->connects;
        m_server->log.push_back("USER " + m_settings.User);
        if (m_settings.User != m_server->user || m_settings.Password != m_server->password)
            return FtpResult::Fail(FtpFailure::LoginDenied, "530 Login incorrect.");
        m_connected = true;
        m_current = m_server->home;
        return {};
    }
    FtpResult ChangeDir(const std::string& path) override
    {
        if (!Alive())
            return Lost();
        const std::string target = Absolute(path);
        m_server->log.push_back("CWD " + target);
        if (!m_server->folders.count(target))
            return FtpResult::Fail(FtpFailure::Refused, "550 " + path + ": No such file or directory.");
        m_current = target;
        return {};
    }
    FtpResult CurrentDir(std::string& path) override
    {
        if (!Alive())
            return Lost();
        path = m_current;
        return {};
    }
    FtpResult List(std::string& listing) override
    {
        if (!Alive())
            return Lost();
        m_server->log.push_back("LIST " + m_current);
        listing.clear();
        if (m_server->failList)
            return FtpResult::Fail(FtpFailure::Other, "425 Unable to build data connection: TLS handshake failed");
        const std::string prefix = m_current == "/" ? "/" : m_current + "/";
        for (const std::string& folder : m_server->folders) {
            if (IsDirectChild(folder, prefix))
                listing += "drwxr-xr-x   2 web  web   4096 Dec  3  2001 " + folder.substr(prefix.size()) + "\r\n";
        }
        for (const auto& [file, content] : m_server->files) {
            if (IsDirectChild(file, prefix))
                listing += "-rw-r--r--   1 web  web   " + std::to_string(content.size()) + " Jan 15 10:30 "
                    + file.substr(prefix.size()) + "\r\n";
        }
        listing += m_server->extraListing;
        return {};
    }
    FtpResult Retrieve(const std::string& path, TransferBuffer& buffer) override
    {
        if (!Alive())
            return Lost();
        m_server->log.push_back("RETR " + path);
        auto it = m_server->files.find(Absolute(path));
        if (it == m_server->files.end())
            return FtpResult::Fail(FtpFailure::Refused, "550 No such file.");
        buffer.Bytes = it->second;
        return {};
    }
    FtpResult Store(const std::string& path, const TransferBuffer& buffer) override
    {
        if (!Alive())
            return Lost();
        m_server->log.push_back("STOR " + path);
        if (path == m_server->failStoreOf) {
            m_server->files[Absolute(path)] = buffer.Bytes.substr(0, buffer.Bytes.size() / 2);
            m_connected = false;
            return Lost();
        }
        m_server->files[Absolute(path)] = buffer.Bytes;
        return {};
    }
    FtpResult Rename(const std::string& from, const std::string& to) override
    {
        if (!Alive())
            return Lost();
        m_server->log.push_back("RNFR " + from + " RNTO " + to);
        if (m_server->refuseRename || (m_server->refuseRenameOver && m_server->files.count(Absolute(to)))
            || Absolute(from) == m_server->refuseRenameFrom)
            return FtpResult::Fail(FtpFailure::Refused, "550 Rename refused.");
        auto it = m_server->files.find(Absolute(from));
        if (it == m_server->files.end())
            return FtpResult::Fail(FtpFailure::Refused, "550 No such file.");
        m_server->files[Absolute(to)] = it->second;
        m_server->files.erase(it);
        return {};
    }
    FtpResult Delete(const std::string& path) override
    {
        if (!Alive())
            return Lost();
        m_server->log.push_back("DELE " + path);
        m_server->files.erase(Absolute(path));
        return {};
    }
    FtpResult SetMode(const std::string& path, unsigned mode) override
    {
        if (!Alive())
            return Lost();
        char octal[8];
        std::snprintf(octal, sizeof octal, "%03o", mode);
        m_server->log.push_back(std::string("SITE CHMOD ") + octal + " " + path);
        if (m_server->refuseChmod)
            return FtpResult::Fail(FtpFailure::Refused, "500 Unknown SITE command.");
        m_server->modes[Absolute(path)] = mode;
        return {};
    }
    void Quit() override
    {
        m_server->log.push_back("QUIT");
        m_connected = false;
    }
    bool Connected() const override { return m_connected; }

    const FtpClientSettings& Settings() const { return m_settings; }

private:
    bool Alive() const { return m_connected && !m_server->down; }
    static FtpResult Lost() { return FtpResult::Fail(FtpFailure::ConnectionLost, "Couldn't connect to server"); }
    std::string Absolute(const std::string& path) const
    {
        if (!path.empty() && path[0] == '/')
            return path;
        return m_current == "/" ? "/" + path : m_current + "/" + path;
    }
    static bool IsDirectChild(const std::string& path, const std::string& prefix)
    {
        return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0
            && path.find('/', prefix.size()) == std::string::npos;
    }

    std::shared_ptr<FakeServer> m_server;
    FtpClientSettings m_settings;
    bool m_connected = false;
    std::string m_current;
};

// A factory that makes clients of the fake server and remembers the last one.
struct FakeFactory {
    std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
    std::vector<FtpClientSettings> made;

    FtpClientFactory Make()
    {
        return [this](const FtpClientSettings& settings) -> std::unique_ptr<FtpClient> {
            made.push_back(settings);
            return std::make_unique<FakeFtpClient>(server, settings);
        };
    }
};

} // namespace pw::test
