#pragma once

// Real servers for the network tests, started on 127.0.0.1 and stopped when
// the object goes: pyftpdlib (FTP, and FTPS with a throwaway certificate) and
// OpenSSH sshd (SFTP, with a throwaway host key and a key login for the
// current user).

#include <string>
#include <sys/types.h>
#include <vector>

namespace pw::test {

// A child process whose standard output can be read line by line.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::vector<std::string>& argv);
    // The next line of the child's standard output ("" at its end or after `seconds`).
    std::string ReadLine(int seconds);
    // Ends the process and every process below it (a server's sessions).
    void Stop();
    void Pause();
    void Resume();
    bool Running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_pending;
};

// Runs a command and returns its standard output; empty on failure.
std::string RunCommand(const std::string& command);
// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();
// Whether something accepts connections on 127.0.0.1:port within `seconds`.
bool WaitForPort(int port, int seconds);

struct FtpServer {
    std::string home;
    std::string user = "tester";
    std::string password = "s3cret pw";
    int port = 0;
    std::string certificate; // FTPS: the PEM file (certificate and key)
    std::string permissions = "elradfmwMT"; // pyftpdlib's letters; without "f" renames are refused
    std::string address = "127.0.0.1"; // where it listens ("::1" for IPv6)
    // Faults of ftp_server.py, for example {"--stall-retr-after", "1000"}.
    std::vector<std::string> faults;
    int rate = 0; // bytes per second on data connections; 0: no limit
    ChildProcess process;

    // Starts pyftpdlib serving `home`; with a certificate file, explicit FTPS.
    bool Start(const std::string& homeFolder, const std::string& pemFile = "", int fixedPort = 0);
    void Stop() { process.Stop(); }
};

struct SshServer {
    std::string folder; // config, keys and pid file
    int port = 0;
    std::string user; // the current user
    std::string clientKey; // private key file for the login
    std::string hostKeySha256; // "SHA256:" fingerprint without the prefix, as ssh-keygen shows it
    std::string error; // why it did not start
    ChildProcess process;

    bool Start(const std::string& workFolder);
    void Stop() { process.Stop(); }
};

// Makes a self-signed certificate for 127.0.0.1 with its key in one PEM file;
// returns its public key pin, empty on failure.
std::string MakeCertificate(const std::string& pemFile);

} // namespace pw::test
