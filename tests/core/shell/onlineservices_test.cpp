#include "shell/onlineservices.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pw;

namespace {

// A run of events and the state after each.
struct Step {
    enum Kind { Start, Online, Offline, Received, Failed, NoConnection } kind;
    OnlineState state;
    bool enabled;
    int interval;
    bool fetch = false;
    bool localAd = false;
    bool serviceAd = false;
};

OnlineActions Apply(OnlineServices& s, Step::Kind kind)
{
    switch (kind) {
    case Step::Start:
        s.Start();
        return {};
    case Step::Online:
        return s.OnlineChanged(true);
    case Step::Offline:
        return s.OnlineChanged(false);
    case Step::Received:
        return s.VersionReceived("1.1,1", 1, false);
    case Step::Failed:
        return s.VersionFailed();
    case Step::NoConnection:
        s.ConnectionFailed();
        return {};
    }
    return {};
}

} // namespace

TEST(OnlineServices, Transitions)
{
    using S = OnlineState;
    const int quick = kQuickCheckInterval, slow = kRetryCheckInterval;
    const struct {
        const char* name;
        std::vector<Step> steps;
    } runs[] = {
        { "ServedAtOnce",
            { { Step::Start, S::Waiting, true, quick }, { Step::Online, S::Fetching, false, quick, true },
                { Step::Received, S::Served, false, quick, false, false, true },
                // Final: the monitor stays off, later events change nothing.
                { Step::Offline, S::Served, false, quick }, { Step::Online, S::Served, false, quick } } },
        { "ErrorStatusThenRetry",
            { { Step::Start, S::Waiting, true, quick }, { Step::Online, S::Fetching, false, quick, true },
                { Step::Failed, S::Retrying, true, slow, false, true },
                // Still online: nothing happens until the machine goes off and on again.
                { Step::Offline, S::Retrying, true, slow, false, true },
                { Step::Online, S::Fetching, false, slow, true },
                // A second failure does not show the local page again.
                { Step::Failed, S::Retrying, true, slow, false, false },
                { Step::Offline, S::Retrying, true, slow, false, true },
                { Step::Online, S::Fetching, false, slow, true },
                { Step::Received, S::Served, false, quick, false, false, true } } },
        { "NoConnectionStops",
            { { Step::Start, S::Waiting, true, quick }, { Step::Online, S::Fetching, false, quick, true },
                { Step::NoConnection, S::Stopped, false, quick }, { Step::Offline, S::Stopped, false, quick },
                { Step::Online, S::Stopped, false, quick } } },
        { "NothingBeforeStart",
            { { Step::Online, S::Starting, false, quick }, { Step::Received, S::Starting, false, quick },
                { Step::Start, S::Waiting, true, quick } } },
    };
    for (const auto& run : runs) {
        OnlineServices s;
        EXPECT_EQ(s.State(), S::Starting);
        EXPECT_FALSE(s.MonitorEnabled());
        for (size_t i = 0; i < run.steps.size(); ++i) {
            const Step& step = run.steps[i];
            const OnlineActions a = Apply(s, step.kind);
            SCOPED_TRACE(testing::Message() << run.name << " step " << i);
            EXPECT_EQ(s.State(), step.state);
            EXPECT_EQ(s.MonitorEnabled(), step.enabled);
            EXPECT_EQ(s.DispatchInterval(), step.interval);
            EXPECT_EQ(a.FetchVersionFile, step.fetch);
            EXPECT_EQ(a.ShowLocalAd, step.localAd);
            EXPECT_EQ(a.ShowServiceAd, step.serviceAd);
        }
    }
}

TEST(OnlineServices, VersionFileQuestions)
{
    const struct {
        const char* body;
        int networkVersion;
        bool declined;
        std::optional<int> askNetwork;
        bool askProgram;
        std::optional<std::string> error;
    } cases[] = {
        { "1.1,1", 1, false, std::nullopt, false, std::nullopt },
        { "1.2,1", 1, false, std::nullopt, true, std::nullopt },
        { "1.2,1", 1, true, std::nullopt, false, std::nullopt },
        { "1.1,3", 2, false, 3, false, std::nullopt },
        { "1.1,2", 2, false, std::nullopt, false, std::nullopt },
        { "1.3,5", 1, false, 5, true, std::nullopt },
        { "1.1,1\r\n", 1, false, std::nullopt, false, "'1\r\n' is not a valid integer value" },
        { "7", 1, false, 7, false, "'' is not a valid floating point value" },
        { "x.y,4", 1, false, 4, false, "'x.y' is not a valid floating point value" },
        { "1.2,", 1, false, std::nullopt, false, "'' is not a valid integer value" },
    };
    for (const auto& c : cases) {
        OnlineServices s;
        s.Start();
        s.OnlineChanged(true);
        const OnlineActions a = s.VersionReceived(c.body, c.networkVersion, c.declined);
        SCOPED_TRACE(c.body);
        EXPECT_TRUE(a.ShowServiceAd);
        EXPECT_EQ(a.AskNetworkUpdate, c.askNetwork);
        EXPECT_EQ(a.AskNewProgram, c.askProgram);
        EXPECT_EQ(a.Error, c.error);
    }
}

TEST(OnlineServices, OwnAddressRule)
{
    EXPECT_FALSE(IsOnlineAddress(""));
    EXPECT_FALSE(IsOnlineAddress("127.0.0.1"));
    EXPECT_TRUE(IsOnlineAddress("192.168.1.20"));
}
