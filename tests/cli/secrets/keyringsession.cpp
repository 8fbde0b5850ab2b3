#include "cli/secrets/keyringsession.h"

#include "support/command.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace pw::test {

namespace {

std::string BusConfig(const std::string& socket)
{
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path="
        + socket
        + "</listen>\n"
          "  <auth>EXTERNAL</auth>\n"
          "  <policy context=\"default\">\n"
          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
          "    <allow eavesdrop=\"true\"/>\n"
          "    <allow own=\"*\"/>\n"
          "  </policy>\n"
          "</busconfig>\n";
}

} // namespace

void KeyringSession::WithoutBus(const std::string& folder)
{
    namespace fs = std::filesystem;
    for (const char* sub : { "home", "data", "run" })
        fs::create_directories(folder + "/" + sub);
    ::chmod((folder + "/run").c_str(), 0700);
    ::setenv("HOME", (folder + "/home").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (folder + "/run").c_str(), 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

bool KeyringSession::Start(const std::string& folder)
{
    WithoutBus(folder);

    const std::string config = folder + "/bus.conf";
    std::ofstream(config) << BusConfig(folder + "/bus");
    if (!m_bus.Start({ "/usr/bin/dbus-daemon", "--nofork", "--config-file=" + config, "--print-address" })) {
        error = "dbus-daemon did not start";
        return false;
    }
    const std::string address = m_bus.ReadLine(10);
    if (address.empty()) {
        error = "dbus-daemon printed no address";
        return false;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    // The password on standard input creates and unlocks the login keyring.
    // Redirected rather than piped, so the daemon is the child itself and
    // pausing or stopping the child reaches it.
    const std::string password = folder + "/keyring-password";
    std::ofstream(password) << "session pw";
    if (!m_keyring.Start({ "/bin/sh", "-c",
            "exec /usr/bin/gnome-keyring-daemon --foreground --unlock --components=secrets < '" + password
                + "'" })) {
        error = "gnome-keyring-daemon did not start";
        return false;
    }
    // Ready once an item can be written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (RunShell("printf probe | secret-tool store --label probe application pagewick-probe 2>/dev/null")
                .status
            == 0) {
            RunShell("secret-tool clear application pagewick-probe 2>/dev/null");
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error = "the keyring did not answer";
    return false;
}

std::string KeyringItems()
{
    return RunShell("secret-tool search --all application pagewick 2>&1").out;
}

std::string KeyringSecret(const std::string& id)
{
    return RunShell("secret-tool lookup application pagewick id '" + id + "' 2>/dev/null").out;
}

} // namespace pw::test
