#include "net/servers.h"

#include "support/command.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pw::test {

bool ChildProcess::Start(const std::vector<std::string>& argv)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0 && !std::getenv("PAGEWICK_TEST_SERVER_LOG"))
            ::dup2(devNull, STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::setpgid(0, 0);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_pid = pid;
    m_out = pipeFds[0];
    return true;
}

std::string ChildProcess::ReadLine(int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const size_t newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || m_out < 0)
            return {};
        pollfd fd { m_out, POLLIN, 0 };
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char buffer[512];
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            return {};
        m_pending.append(buffer, static_cast<size_t>(n));
    }
}

namespace {

// The processes whose parent is `parent`, read from /proc.
std::vector<pid_t> ChildrenOf(pid_t parent)
{
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            children.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return children;
}

void KillDescendants(pid_t parent)
{
    for (pid_t child : ChildrenOf(parent)) {
        KillDescendants(child);
        ::kill(child, SIGKILL);
    }
}

} // namespace

void ChildProcess::Stop()
{
    if (m_pid > 0) {
        KillDescendants(m_pid);
        ::kill(m_pid, SIGCONT);
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    if (m_out >= 0) {
        ::close(m_out);
        m_out = -1;
    }
}

void ChildProcess::Pause()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGSTOP);
}

void ChildProcess::Resume()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
}

std::string RunCommand(const std::string& command)
{
    test::CommandOutcome run = test::RunShell(command);
    return run.status == 0 ? std::move(run.out) : std::string();
}

int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool WaitForPort(int port, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool FtpServer::Start(const std::string& homeFolder, const std::string& pemFile, int fixedPort)
{
    home = homeFolder;
    certificate = pemFile;
    std::vector<std::string> argv = { "/usr/bin/python3", PAGEWICK_SOURCE_DIR "/tests/net/ftp_server.py", "--home",
        home, "--user", user, "--password", password, "--port", std::to_string(fixedPort), "--perm", permissions,
        "--address", address, "--rate", std::to_string(rate) };
    argv.insert(argv.end(), faults.begin(), faults.end());
    if (!certificate.empty()) {
        argv.push_back("--cert");
        argv.push_back(certificate);
    }
    if (!process.Start(argv))
        return false;
    const std::string line = process.ReadLine(15);
    if (line.rfind("PORT ", 0) != 0) {
        process.Stop();
        return false;
    }
    port = std::atoi(line.c_str() + 5);
    return port > 0;
}

std::string MakeCertificate(const std::string& pemFile)
{
    const std::string output
        = RunCommand("/usr/bin/python3 '" PAGEWICK_SOURCE_DIR "/tests/net/make_cert.py' '" + pemFile + "'");
    return output.rfind("sha256//", 0) == 0 ? output.substr(0, output.find('\n')) : std::string();
}

bool SshServer::Start(const std::string& workFolder)
{
    folder = workFolder;
    if (::access("/usr/sbin/sshd", X_OK) != 0) {
        error = "/usr/sbin/sshd is not installed";
        return false;
    }
    const passwd* account = ::getpwuid(::getuid());
    if (!account) {
        error = "the current user has no account entry";
        return false;
    }
    user = account->pw_name;
    // sshd insists on its privilege separation folder.
    ::mkdir("/run/sshd", 0755);

    const std::string hostKey = folder + "/host_key";
    clientKey = folder + "/client_key";
    if (RunCommand("ssh-keygen -q -t ed25519 -N '' -f '" + hostKey + "' && ssh-keygen -q -t ed25519 -N '' -f '"
            + clientKey + "' && cp '" + clientKey + ".pub' '" + folder + "/authorized_keys' && echo ok")
        != "ok\n") {
        error = "ssh-keygen failed";
        return false;
    }
    const std::string fingerprint = RunCommand("ssh-keygen -l -E sha256 -f '" + hostKey + ".pub'");
    const size_t start = fingerprint.find("SHA256:");
    if (start == std::string::npos) {
        error = "no host key fingerprint";
        return false;
    }
    hostKeySha256 = fingerprint.substr(start + 7, fingerprint.find(' ', start) - start - 7);

    port = FreePort();
    std::ofstream config(folder + "/sshd_config");
    config << "Port " << port << "\nListenAddress 127.0.0.1\nHostKey " << hostKey << "\nPidFile " << folder
           << "/sshd.pid\nAuthorizedKeysFile " << folder << "/authorized_keys\nStrictModes no\nUsePAM no\n"
           << "PasswordAuthentication no\nKbdInteractiveAuthentication no\nPubkeyAuthentication yes\n"
           << "PermitRootLogin prohibit-password\nSubsystem sftp internal-sftp\nLogLevel ERROR\n";
    config.close();
    if (!process.Start({ "/usr/sbin/sshd", "-D", "-e", "-f", folder + "/sshd_config" })) {
        error = "sshd could not be run";
        return false;
    }
    if (!WaitForPort(port, 10)) {
        process.Stop();
        error = "sshd did not listen on port " + std::to_string(port);
        return false;
    }
    return true;
}

} // namespace pw::test
