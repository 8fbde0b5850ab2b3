#include "networks/definitions.h"

#include "base/files.h"
#include "networks/login.h"
#include "networks/networkfields.h"
#include "networks/registnumber.h"
#include "text/codec.h"

#include <algorithm>
#include <set>

namespace pw {

namespace {

constexpr std::string_view kNetworksSection = "Networks";

std::string NetworkSection(int k)
{
    return "Network" + std::to_string(k);
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string LoginHost(std::string_view url)
{
    std::string clean;
    for (const char c : url)
        if (c != '\t' && c != '\r' && c != '\n')
            clean.push_back(c);
    const auto first = clean.find_first_not_of(" \f\v");
    if (first == std::string::npos)
        return {};
    std::string_view rest = std::string_view(clean).substr(first);
    if (const auto scheme = rest.find("://"); scheme != std::string_view::npos
        && rest.substr(0, scheme).find_first_of("/?#\\") == std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    else if (rest.starts_with("//"))
        rest.remove_prefix(2);
    else
        return {};
    std::string_view authority = rest.substr(0, rest.find_first_of("/\\?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    if (host.starts_with('[')) {
        if (const auto close = host.find(']'); close != std::string_view::npos)
            host = host.substr(0, close + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    std::string lower;
    for (const char c : host)
        lower.push_back(Lower(c));
    while (!lower.empty() && lower.back() == ' ')
        lower.pop_back();
    return lower;
}

std::string ExportNetworksText(TIniList& scratch, const NetworkList& networks, int version)
{
    scratch.Clear();
    int n = 0;
    for (const auto& network : networks) {
        if (network->System.empty())
            continue;
        // Logins never leave the machine: the count is 0.
        WriteRecord(scratch, NetworkSection(++n), *network,
            [](auto& io, auto& d) { VisitNetworkFields(io, d, [&] { io.Number("LoginInfoCount", 0); }); });
    }
    scratch.WriteInteger(kNetworksSection, "Count", n);
    scratch.WriteInteger(kNetworksSection, "Version", version);
    return scratch.SaveToText();
}

Status ExportNetworks(TIniList& scratch, const NetworkList& networks, std::string_view versionAnswer,
    const std::string& folder, std::vector<std::string>* warnings)
{
    int32_t version = 0;
    if (!ParseDecimal(versionAnswer, version))
        return Status::Fail("'" + std::string(versionAnswer) + "' is not a valid integer value");
    std::string text = ExportNetworksText(scratch, networks, version);
    ScrambleText(text);
    if (Status written = WriteFileAtomically(JoinPath(folder, kDefinitionsFile), text); !written)
        return written;
    if (warnings) {
        for (const auto& network : networks) {
            if (network->System.empty())
                continue;
            const LoginFormFields fields = FilterFieldOthers(network->FieldOthers);
            if (fields.Dropped.empty())
                continue;
            std::string line = network->Name + ": the login page leaves out of FieldOthers:";
            for (const std::string& piece : fields.Dropped)
                line += " " + piece;
            warnings->push_back(std::move(line));
        }
    }
    return Status::Ok();
}

void AcceptLoginHostChanges(NetworkList& networks, const std::vector<LoginHostChange>& changes)
{
    for (const LoginHostChange& change : changes) {
        for (auto& network : networks) {
            if (network.get() == change.Network) {
                network->LoginURL = change.NewURL;
                break;
            }
        }
    }
}

std::optional<LoginOrigin> PostableLoginOrigin(std::string_view url)
{
    // Browsers drop tabs and line breaks anywhere and trim the ends, so
    // "java\tscript:" is still a script: judge the address they would see.
    std::string clean;
    for (const char c : url)
        if (c != '\t' && c != '\r' && c != '\n')
            clean.push_back(c);
    std::string_view rest = clean;
    while (!rest.empty() && static_cast<unsigned char>(rest.front()) <= ' ')
        rest.remove_prefix(1);
    std::string scheme;
    for (const char c : rest.substr(0, rest.find(':')))
        scheme.push_back(Lower(c));
    if ((scheme != "http" && scheme != "https") || !rest.substr(scheme.size()).starts_with("://"))
        return std::nullopt;
    LoginOrigin origin;
    origin.Scheme = scheme;
    origin.Host = LoginHost(rest);
    if (origin.Host.empty() || origin.Host.find_first_of(" \x7f") != std::string::npos)
        return std::nullopt;
    origin.Port = scheme == "https" ? 443 : 80;
    std::string_view authority = rest.substr(scheme.size() + 3);
    authority = authority.substr(0, authority.find_first_of("/\\?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    const auto close = authority.starts_with('[') ? authority.find(']') : 0;
    if (const auto colon = authority.find(':', close == std::string_view::npos ? 0 : close);
        colon != std::string_view::npos) {
        const std::string_view digits = authority.substr(colon + 1);
        if (!digits.empty()) {
            if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos)
                return std::nullopt;
            origin.Port = std::stoi(std::string(digits));
            if (origin.Port < 1 || origin.Port > 65535)
                return std::nullopt;
        }
    }
    return origin;
}

bool LoginMoves(std::string_view oldURL, std::string_view newURL)
{
    const std::string oldHost = LoginHost(oldURL);
    if (LoginHost(newURL) != oldHost)
        return true;
    const auto before = PostableLoginOrigin(oldURL);
    const auto after = PostableLoginOrigin(newURL);
    if (!before || !after)
        return false;
    if (before->Scheme == "https" && after->Scheme == "http")
        return true;
    return before->Scheme == after->Scheme && before->Port != after->Port;
}

std::string UnsafeLoginURLMessage(std::string_view networkName, std::string_view url)
{
    std::string message = codec::EncodeSjis("広告代理店「").bytes + std::string(networkName)
        + codec::EncodeSjis("」のログイン先「").bytes + std::string(url)
        + codec::EncodeSjis("」は http: または https: のアドレスではないので使えません。").bytes;
    return message;
}

Status ImportNetworks(TIniList& scratch, std::string_view text, NetworkList& networks, int& networkVersion,
    TNetwork** current, std::vector<LoginHostChange>* keptLoginURLs)
{
    scratch.Clear();
    scratch.LoadFromText(text);
    // Every definition needs a section header line, so a count beyond the
    // number of lines names sections that cannot exist.
    const int count = std::min<int64_t>(
        scratch.ReadInteger(kNetworksSection, "Count", 0), static_cast<int64_t>(scratch.LineCount()));
    bool anyCode = false;
    for (int k = 1; k <= count && !anyCode; ++k)
        anyCode = !scratch.ReadString(NetworkSection(k), "System", "").empty();
    if (count <= 0 || !anyCode)
        return Status::Fail(std::string(kNoDefinitionsMessage));

    // A login address that could run a script or read files refuses the whole
    // text, before anything changes.
    for (int k = 1; k <= count; ++k) {
        const std::string section = NetworkSection(k);
        if (scratch.ReadString(section, "System", "").empty())
            continue;
        const std::string loginURL = scratch.ReadString(section, "LoginURL", "");
        if (!loginURL.empty() && !PostableLoginOrigin(loginURL))
            return Status::Fail(
                UnsafeLoginURLMessage(scratch.ReadString(section, "Name", kDefaultNetworkName), loginURL));
    }

    networkVersion = scratch.ReadInteger(kNetworksSection, "Version", 1);
    // Networks the file lists. A second definition with the same code does not
    // match a network listed already; it becomes a network of its own.
    std::set<const TNetwork*> listed;
    for (int k = 1; k <= count; ++k) {
        const std::string section = NetworkSection(k);
        const std::string code = scratch.ReadString(section, "System", "");
        if (code.empty())
            continue;
        TNetwork* network = nullptr;
        for (auto& candidate : networks) {
            if (candidate->System == code && !listed.count(candidate.get())) {
                network = candidate.get();
                break;
            }
        }
        std::unique_ptr<TNetwork> added;
        if (!network) {
            added = std::make_unique<TNetwork>();
            network = added.get();
        }
        // The definition's fields over the network's (its System is `code`);
        // the logins stay as they are.
        std::string oldLoginURL = network->LoginURL;
        ReadRecord(scratch, section, *network, [](auto& io, auto& d) { VisitNetworkFields(io, d, [] {}); });
        if (!added && !network->Logins.empty() && !LoginHost(oldLoginURL).empty()
            && LoginMoves(oldLoginURL, network->LoginURL)) {
            if (keptLoginURLs)
                keptLoginURLs->push_back({ network, network->Name, oldLoginURL, network->LoginURL });
            network->LoginURL = std::move(oldLoginURL);
        }
        if (added)
            networks.push_back(std::move(added));
        listed.insert(network);
    }

    for (size_t i = networks.size(); i-- > 0;) {
        TNetwork* network = networks[i].get();
        if (network->System.empty() || listed.count(network))
            continue;
        if (current && *current == network)
            *current = nullptr;
        networks.erase(networks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return Status::Ok();
}

Status ApplyNetworkUpdate(TIniList& scratch, std::string body, NetworkList& networks, TIniList& mainStore,
    int& networkVersion, TNetwork** current, std::vector<LoginHostChange>* keptLoginURLs)
{
    ScrambleText(body);
    if (Status merged = ImportNetworks(scratch, body, networks, networkVersion, current, keptLoginURLs); !merged)
        return merged;
    mainStore.WriteInteger("Setups", "v2", networkVersion);
    SaveNetworks(mainStore, networks);
    return Status::Ok();
}

} // namespace pw
