#include "networks/network.h"

#include "networks/networkfields.h"
#include "settings/secretstore.h"

#include <algorithm>

namespace pw {

namespace {

constexpr std::string_view kNetworksSection = "Networks";

std::string NetworkSection(size_t k)
{
    return "Network" + std::to_string(k);
}

} // namespace

TLoginInfo::~TLoginInfo()
{
    WipeString(Password);
}

TLoginInfo* TNetwork::FindLogin(std::string_view name) const
{
    for (const LoginEntry& entry : Logins)
        if (entry.Name == name)
            return entry.Info.get();
    return nullptr;
}

TLoginInfo& TNetwork::SetLogin(std::string_view name, std::string_view user, std::string_view password)
{
    TLoginInfo* info = FindLogin(name);
    if (!info) {
        Logins.push_back({ std::string(name), std::make_unique<TLoginInfo>() });
        info = Logins.back().Info.get();
        info->Network = this;
    }
    info->User = user;
    info->Password = password;
    return *info;
}

void TNetwork::RenameLogin(std::string_view from, std::string_view to)
{
    if (from == to)
        return;
    auto source = std::find_if(Logins.begin(), Logins.end(), [&](const LoginEntry& e) { return e.Name == from; });
    if (source == Logins.end())
        return;
    // A login already stored under the new name gives way to the renamed one.
    auto clash = std::find_if(Logins.begin(), Logins.end(), [&](const LoginEntry& e) { return e.Name == to; });
    source->Name = to;
    if (clash != Logins.end())
        Logins.erase(clash);
}

void LoadNetworks(const TIniList& store, NetworkList& list)
{
    list.clear();
    const int count = CappedCount(store, store.ReadInteger(kNetworksSection, "Count", 0));
    for (int k = 1; k <= count; ++k) {
        auto network = std::make_unique<TNetwork>();
        ReadRecord(store, NetworkSection(static_cast<size_t>(k)), *network,
            [](auto& io, auto& n) { VisitNetworkFields(io, n, [&] { VisitNetworkLogins(io, n); }); });
        list.push_back(std::move(network));
    }
}

void SaveNetworks(TIniList& store, const NetworkList& list)
{
    store.WriteInteger(kNetworksSection, "Count", static_cast<int>(list.size()));
    for (size_t k = 1; k <= list.size(); ++k) {
        WriteRecord(store, NetworkSection(k), *list[k - 1],
            [](auto& io, auto& n) { VisitNetworkFields(io, n, [&] { VisitNetworkLogins(io, n); }); });
    }
}

void RemoveLogin(TNetwork& network, std::string_view profileName)
{
    auto it = std::find_if(
        network.Logins.begin(), network.Logins.end(), [&](const LoginEntry& e) { return e.Name == profileName; });
    if (it != network.Logins.end())
        network.Logins.erase(it);
}

void RenameProfileLogins(NetworkList& list, std::string_view from, std::string_view to)
{
    for (auto& network : list)
        network->RenameLogin(from, to);
}

} // namespace pw
