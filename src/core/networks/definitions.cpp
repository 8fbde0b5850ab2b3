#include "networks/definitions.h"

#include "base/files.h"
#include "networks/registnumber.h"

#include <algorithm>
#include <set>

namespace pw {

namespace {

constexpr std::string_view kNetworksSection = "Networks";

std::string NetworkSection(int k)
{
    return "Network" + std::to_string(k);
}

} // namespace

std::string ExportNetworksText(TIniList& scratch, const NetworkList& networks, int version)
{
    scratch.Clear();
    int n = 0;
    for (const auto& network : networks) {
        if (network->System.empty())
            continue;
        const std::string section = NetworkSection(++n);
        scratch.WriteString(section, "Name", network->Name);
        scratch.WriteString(section, "LoginURL", network->LoginURL);
        scratch.WriteString(section, "Character", network->Character);
        scratch.WriteInteger(section, "LoginInfoCount", 0);
        scratch.WriteString(section, "FieldUser", network->FieldUser);
        scratch.WriteString(section, "FieldPassword", network->FieldPassword);
        scratch.WriteString(section, "FieldOthers", network->FieldOthers);
        scratch.WriteString(section, "SignupURL", network->SignupURL);
        scratch.WriteString(section, "System", network->System);
        scratch.WriteString(section, "Regist", network->Regist);
        scratch.WriteString(section, "RegistURL", network->RegistURL);
    }
    scratch.WriteInteger(kNetworksSection, "Count", n);
    scratch.WriteInteger(kNetworksSection, "Version", version);
    return scratch.SaveToText();
}

Status ExportNetworks(TIniList& scratch, const NetworkList& networks, std::string_view versionAnswer,
                      const std::string& folder)
{
    int32_t version = 0;
    if (!ParseDecimal(versionAnswer, version))
        return Status::Fail("'" + std::string(versionAnswer) + "' is not a valid integer value");
    std::string text = ExportNetworksText(scratch, networks, version);
    ScrambleText(text);
    return WriteFileAtomically(JoinPath(folder, kDefinitionsFile), text);
}

Status ImportNetworks(TIniList& scratch, std::string_view text, NetworkList& networks, int& networkVersion,
                      TNetwork** current)
{
    scratch.Clear();
    scratch.LoadFromText(text);
    // Every definition needs a section header line, so a count beyond the
    // number of lines names sections that cannot exist.
    const int count = std::min<int64_t>(scratch.ReadInteger(kNetworksSection, "Count", 0),
                                        static_cast<int64_t>(scratch.LineCount()));
    bool anyCode = false;
    for (int k = 1; k <= count && !anyCode; ++k)
        anyCode = !scratch.ReadString(NetworkSection(k), "System", "").empty();
    if (count <= 0 || !anyCode)
        return Status::Fail(std::string(kNoDefinitionsMessage));

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
        network->Name = scratch.ReadString(section, "Name", kDefaultNetworkName);
        network->LoginURL = scratch.ReadString(section, "LoginURL", "");
        network->Character = scratch.ReadString(section, "Character", "");
        network->FieldUser = scratch.ReadString(section, "FieldUser", kDefaultFieldUser);
        network->FieldPassword = scratch.ReadString(section, "FieldPassword", kDefaultFieldPassword);
        network->FieldOthers = scratch.ReadString(section, "FieldOthers", "");
        network->SignupURL = scratch.ReadString(section, "SignupURL", "");
        network->Regist = scratch.ReadString(section, "Regist", "");
        network->RegistURL = scratch.ReadString(section, "RegistURL", "");
        if (added) {
            added->System = code;
            networks.push_back(std::move(added));
        }
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
                          int& networkVersion, TNetwork** current)
{
    ScrambleText(body);
    if (Status merged = ImportNetworks(scratch, body, networks, networkVersion, current); !merged)
        return merged;
    mainStore.WriteInteger("Setups", "v2", networkVersion);
    SaveNetworks(mainStore, networks);
    return Status::Ok();
}

} // namespace pw
