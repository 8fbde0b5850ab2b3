#pragma once

// The online services' state: whether the machine is online, the version file
// of the maker's service, the two questions it may raise, and which page the
// ad panel shows. Pure logic: the window runs the monitor's timer and the web
// requests, tells this class what happened, and carries out what it answers.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pw {

// The program's own version, compared with the version file's first field.
inline constexpr double kProgramVersion = 1.1;

// Paths below the service address.
// The key of the service's address among the options (section "Setups").
inline constexpr const char* kServiceUrlKey = "ServiceURL";
inline constexpr std::string_view kVersionFilePath = "newversion.txt";
inline constexpr std::string_view kAdPagePath = "ad.jsp";
inline constexpr std::string_view kDefinitionsFilePath = "nwks.txt";

// The most the window reads of each download, in bytes; a longer answer is
// cut off and dropped. The version file is two short fields; the definitions
// file is a few KiB per network.
inline constexpr size_t kVersionFileLimit = 16 * 1024;
inline constexpr size_t kDefinitionsFileLimit = 4 * 1024 * 1024;

// Monitor periods, in milliseconds.
inline constexpr int kQuickCheckInterval = 1000;
inline constexpr int kRetryCheckInterval = 60000;

enum class OnlineState {
    Starting, // before the window is shown
    Waiting, // monitor on, waiting for the machine to be online
    Fetching, // the version file is being fetched
    Served, // the version file came: the service's ad page is shown (final)
    Retrying, // the version file failed, or the machine went offline: the local page
    Stopped, // the service could not be reached at all (final)
};

// True for an own address that means "online": not empty and not the loopback.
bool IsOnlineAddress(std::string_view ip);

// What the window does after an event, in this order: show the ad page, run
// the network question (and on Yes the definitions download), then the
// program question. Errors are shown where they arise.
struct OnlineActions {
    bool FetchVersionFile = false;
    bool ShowLocalAd = false;
    bool ShowServiceAd = false;
    std::optional<int> AskNetworkUpdate; // the new definitions version
    bool AskNewProgram = false;
    std::optional<std::string> Error; // shown after the network question
};

class OnlineServices {
public:
    OnlineState State() const { return m_state; }
    bool MonitorEnabled() const { return m_enabled; }
    int DispatchInterval() const { return m_interval; }
    bool QuestionsHandled() const { return m_questioned; }

    // The window has been shown: the monitor starts.
    void Start();
    // The monitor found the machine online or offline (only called on a change).
    OnlineActions OnlineChanged(bool online);
    // The version file arrived with `body`. `networkVersion` is the installed
    // definitions version; `declined` is true once the user declined the new
    // program version.
    OnlineActions VersionReceived(std::string_view body, int networkVersion, bool declined);
    // The service answered the version request with an error status.
    OnlineActions VersionFailed();
    // No connection could be made for the version file: the services stop.
    void ConnectionFailed();

private:
    OnlineState m_state = OnlineState::Starting;
    bool m_enabled = false;
    int m_interval = kQuickCheckInterval;
    bool m_questioned = false;
};

// Splits a version file at its first comma: program version, definitions version.
std::pair<std::string, std::string> SplitVersionFile(std::string_view body);

} // namespace pw
