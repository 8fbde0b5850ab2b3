#pragma once

#include "sites/setup.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pw {

// The limits every transfer works under. The program uses the defaults; tests
// set them smaller to reach them quickly.
struct TransferLimits {
    // A transfer that moves fewer than StallBytes in StallSeconds has stalled
    // and fails.
    long StallSeconds = 30;
    long StallBytes = 1024;
    // A folder listing and a file (either way) may not be larger than these.
    size_t MaxListingBytes = size_t { 64 } << 20;
    size_t MaxFileBytes = size_t { 512 } << 20;
};

// The one in-memory buffer that every download fills and every upload reads.
struct TransferBuffer {
    std::string Bytes;
};

// Takes a download's bytes as they arrive, so that a file of any size passes
// through a fixed amount of memory.
class TransferSink {
public:
    virtual ~TransferSink() = default;
    // The size the server reported for the file, before its first bytes (not
    // called when the server reported none).
    virtual void ExpectSize(uint64_t size) { (void)size; }
    // Takes the next bytes; false stops the transfer, and Error() says why.
    virtual bool Write(std::string_view bytes) = 0;
    virtual std::string Error() const { return {}; }
};

// Gives an upload's bytes as they are sent.
class TransferSource {
public:
    virtual ~TransferSource() = default;
    // The number of bytes to come, or -1 when it is not known in advance.
    virtual int64_t Size() const { return -1; }
    // Fills `buffer` with up to `capacity` bytes and sets `count` (0 at the
    // end); false on a read failure, and Error() says why.
    virtual bool Read(char* buffer, size_t capacity, size_t& count) = 0;
    // Starts again from the first byte, for a second store of the same bytes;
    // false when the source cannot.
    virtual bool Rewind() { return false; }
    virtual std::string Error() const { return {}; }
};

// A sink that fills a transfer buffer, reserving the reported size once.
class BufferSink : public TransferSink {
public:
    explicit BufferSink(TransferBuffer& buffer)
        : m_bytes(buffer.Bytes)
    {
        m_bytes.clear();
    }
    void ExpectSize(uint64_t size) override;
    bool Write(std::string_view bytes) override;

private:
    std::string& m_bytes;
};

// A source that reads a transfer buffer.
class BufferSource : public TransferSource {
public:
    explicit BufferSource(const TransferBuffer& buffer)
        : m_bytes(buffer.Bytes)
    {
    }
    int64_t Size() const override { return static_cast<int64_t>(m_bytes.size()); }
    bool Read(char* buffer, size_t capacity, size_t& count) override;
    bool Rewind() override
    {
        m_position = 0;
        return true;
    }

private:
    const std::string& m_bytes;
    size_t m_position = 0;
};

// Everything a client needs to reach a host.
struct FtpClientSettings {
    SiteProtocol Protocol = SiteProtocol::Ftp;
    std::string Host;
    int Port = 21;
    std::string User;
    std::string Password;
    bool Passive = true;
    std::string TrustedCertificate; // FTPS: public key pin, "sha256//base64"
    std::string TrustedHostKey; // SFTP: SHA-256 host key fingerprint, base64 without padding
    std::string KeyFile; // SFTP: private key file (Password is its passphrase)
    // FTPS: protect data connections too (PROT P). Off only for servers that
    // cannot do TLS on data connections.
    bool ProtectData = true;
    // Seconds: for opening the connection, and for a reply of the server.
    long ConnectTimeout = 15;
    long IdleTimeout = 30;
    TransferLimits Limits;
};

FtpClientSettings ClientSettingsOf(const TSetup& setup);

enum class FtpFailure {
    None,
    Refused, // the server answered with an error (no such file, permission...)
    LoginDenied, // user name or password refused
    ConnectionLost, // the connection broke, timed out or could not be opened
    UntrustedPeer, // FTPS certificate or SFTP host key not trusted; see Fingerprint
    Other,
};

struct FtpResult {
    bool ok = true;
    std::string error; // the server's reply or the library's message
    FtpFailure failure = FtpFailure::None;
    // UntrustedPeer: what the user may choose to trust, in the form the setup
    // stores it, and whether a different one was trusted before.
    std::string Fingerprint;
    bool FingerprintChanged = false;
    // The server did not answer or the transfer stalled (ConnectionLost).
    bool TimedOut = false;

    static FtpResult Ok() { return {}; }
    static FtpResult Fail(FtpFailure failure, std::string error)
    {
        return { false, std::move(error), failure, {}, false, false };
    }
    explicit operator bool() const { return ok; }
};

// Told during a call how many bytes have moved and how many are expected (0
// while not known); returning false cancels the call, which then fails. Runs
// on the thread that makes the call.
using TransferProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// What a server tells of one file without a listing: its size, and when it
// last changed in seconds since the epoch (UTC); -1 where it tells nothing.
struct FileStamp {
    std::int64_t Size = -1;
    std::int64_t Modified = -1;
};

// A session with one FTP, FTPS or SFTP server over one control connection.
// Paths are the server's paths (as the current-folder query gives them).
class FtpClient {
public:
    virtual ~FtpClient() = default;

    // Opens the connection and logs in.
    virtual FtpResult Connect() = 0;
    // Changes to a folder, absolute or relative to the current one.
    virtual FtpResult ChangeDir(const std::string& path) = 0;
    // The server's name of the current folder.
    virtual FtpResult CurrentDir(std::string& path) = 0;
    // The LIST text of the current folder.
    virtual FtpResult List(std::string& listing) = 0;
    // Downloads a file; the buffer then holds exactly its bytes.
    virtual FtpResult Retrieve(const std::string& path, TransferBuffer& buffer) = 0;
    // Stores the buffer's bytes as the file, replacing it.
    virtual FtpResult Store(const std::string& path, const TransferBuffer& buffer) = 0;
    // Streaming forms: downloads a file into a sink as its bytes arrive, and
    // stores a source's bytes as they are read. A failing sink or source stops
    // the transfer with its error. The defaults go through a transfer buffer;
    // clients that can stream override them.
    virtual FtpResult Retrieve(const std::string& path, TransferSink& sink);
    virtual FtpResult Store(const std::string& path, TransferSource& source);
    // The stamp of one file, asked without a listing (FTP: MDTM and SIZE on
    // the control connection; SFTP: stat). Fails where the server tells no
    // time; the default always does.
    virtual FtpResult Stamp(const std::string& path, FileStamp& stamp);
    // Retrieve, with the file's stamp asked before its first byte, so that a
    // change during the transfer shows as a later time. Where the server tells
    // no time the transfer still happens and the time stays -1.
    virtual FtpResult RetrieveStamped(const std::string& path, TransferBuffer& buffer, FileStamp& stamp);
    // Renames a file, over an existing one where the server allows it (some,
    // OpenSSH among them, refuse: Refused).
    virtual FtpResult Rename(const std::string& from, const std::string& to) = 0;
    virtual FtpResult Delete(const std::string& path) = 0;
    // Gives a file the permission bits `mode` (as chmod takes them). A client
    // that cannot refuses.
    virtual FtpResult SetMode(const std::string& path, unsigned mode)
    {
        (void)path;
        (void)mode;
        return FtpResult::Fail(FtpFailure::Refused, "setting permissions is not supported");
    }
    // Says goodbye and closes the connection.
    virtual void Quit() = 0;
    virtual bool Connected() const = 0;
    // Progress of the calls that follow (an empty function: none).
    virtual void SetProgress(TransferProgress progress) { (void)progress; }
};

using FtpClientFactory = std::function<std::unique_ptr<FtpClient>(const FtpClientSettings&)>;

} // namespace pw
