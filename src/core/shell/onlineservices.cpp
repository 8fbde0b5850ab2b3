#include "shell/onlineservices.h"

#include "networks/registnumber.h"

#include <charconv>

namespace pw {

namespace {

bool ParseFloat(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == end;
}

} // namespace

bool IsOnlineAddress(std::string_view ip)
{
    return !ip.empty() && ip != "127.0.0.1";
}

std::pair<std::string, std::string> SplitVersionFile(std::string_view body)
{
    const size_t comma = body.find(',');
    if (comma == std::string_view::npos)
        return { std::string(), std::string(body) };
    return { std::string(body.substr(0, comma)), std::string(body.substr(comma + 1)) };
}

void OnlineServices::Start()
{
    if (m_state != OnlineState::Starting)
        return;
    m_state = OnlineState::Waiting;
    m_enabled = true;
}

OnlineActions OnlineServices::OnlineChanged(bool online)
{
    OnlineActions actions;
    if (!m_enabled)
        return actions;
    if (online) {
        m_enabled = false;
        m_state = OnlineState::Fetching;
        actions.FetchVersionFile = true;
    } else {
        m_interval = kRetryCheckInterval;
        m_state = OnlineState::Retrying;
        actions.ShowLocalAd = true;
    }
    return actions;
}

OnlineActions OnlineServices::VersionReceived(std::string_view body, int networkVersion, bool declined)
{
    OnlineActions actions;
    if (m_state != OnlineState::Fetching)
        return actions;
    m_interval = kQuickCheckInterval;
    m_state = OnlineState::Served;
    actions.ShowServiceAd = true;
    if (m_questioned)
        return actions;
    m_questioned = true;
    const auto [program, definitions] = SplitVersionFile(body);
    int32_t n = 0;
    if (!ParseDecimal(definitions, n)) {
        actions.Error = "'" + definitions + "' is not a valid integer value";
        return actions;
    }
    if (n > networkVersion)
        actions.AskNetworkUpdate = n;
    double p = 0;
    if (!ParseFloat(program, p)) {
        actions.Error = "'" + program + "' is not a valid floating point value";
        return actions;
    }
    actions.AskNewProgram = p > kProgramVersion && !declined;
    return actions;
}

OnlineActions OnlineServices::VersionFailed()
{
    OnlineActions actions;
    if (m_state != OnlineState::Fetching)
        return actions;
    actions.ShowLocalAd = m_interval == kQuickCheckInterval;
    m_interval = kRetryCheckInterval;
    m_enabled = true;
    m_state = OnlineState::Retrying;
    return actions;
}

void OnlineServices::ConnectionFailed()
{
    if (m_state != OnlineState::Fetching)
        return;
    m_enabled = false;
    m_state = OnlineState::Stopped;
}

} // namespace pw
