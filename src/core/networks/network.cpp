#include "networks/network.h"

#include <algorithm>

namespace pw {

namespace {

constexpr std::string_view kNetworksSection = "Networks";

std::string NetworkSection(size_t k)
{
    return "Network" + std::to_string(k);
}

std::string Numbered(std::string_view key, size_t i)
{
    return std::string(key) + std::to_string(i);
}

} // namespace

TLoginInfo* TNetwork::FindLogin(std::string_view name) const
{
    for (const TLoginEntry& entry : Logins)
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
    auto source = std::find_if(Logins.begin(), Logins.end(), [&](const TLoginEntry& e) { return e.Name == from; });
    if (source == Logins.end())
        return;
    // A login already stored under the new name gives way to the renamed one.
    auto clash = std::find_if(Logins.begin(), Logins.end(), [&](const TLoginEntry& e) { return e.Name == to; });
    source->Name = to;
    if (clash != Logins.end())
        Logins.erase(clash);
}

void LoadNetworks(const TIniList& store, NetworkList& list)
{
    list.clear();
    const int count = CappedCount(store, store.ReadInteger(kNetworksSection, "Count", 0));
    for (int k = 1; k <= count; ++k) {
        const std::string section = NetworkSection(static_cast<size_t>(k));
        auto network = std::make_unique<TNetwork>();
        network->Name = store.ReadString(section, "Name", kDefaultNetworkName);
        network->LoginURL = store.ReadString(section, "LoginURL", "");
        network->Character = store.ReadString(section, "Character", "");
        const int logins = CappedCount(store, store.ReadInteger(section, "LoginInfoCount", 0));
        for (int i = 1; i <= logins; ++i) {
            auto info = std::make_unique<TLoginInfo>();
            info->Network = network.get();
            std::string name
                = store.ReadString(section, Numbered("Name", static_cast<size_t>(i)), kDefaultLoginName);
            info->User = store.ReadString(section, Numbered("User", static_cast<size_t>(i)), "");
            info->Password = store.ReadString(section, Numbered("Password", static_cast<size_t>(i)), "");
            network->Logins.push_back({ std::move(name), std::move(info) });
        }
        network->FieldUser = store.ReadString(section, "FieldUser", kDefaultFieldUser);
        network->FieldPassword = store.ReadString(section, "FieldPassword", kDefaultFieldPassword);
        network->FieldOthers = store.ReadString(section, "FieldOthers", "");
        network->SignupURL = store.ReadString(section, "SignupURL", "");
        network->System = store.ReadString(section, "System", "");
        network->Regist = store.ReadString(section, "Regist", "");
        network->RegistURL = store.ReadString(section, "RegistURL", "");
        list.push_back(std::move(network));
    }
}

void SaveNetworks(TIniList& store, const NetworkList& list)
{
    store.WriteInteger(kNetworksSection, "Count", static_cast<int>(list.size()));
    for (size_t k = 1; k <= list.size(); ++k) {
        const TNetwork& network = *list[k - 1];
        const std::string section = NetworkSection(k);
        store.WriteString(section, "Name", network.Name);
        store.WriteString(section, "LoginURL", network.LoginURL);
        store.WriteString(section, "Character", network.Character);
        store.WriteInteger(section, "LoginInfoCount", static_cast<int>(network.Logins.size()));
        for (size_t i = 1; i <= network.Logins.size(); ++i) {
            const TLoginEntry& login = network.Logins[i - 1];
            store.WriteString(section, Numbered("Name", i), login.Name);
            store.WriteString(section, Numbered("User", i), login.Info->User);
            store.WriteString(section, Numbered("Password", i), login.Info->Password);
        }
        store.WriteString(section, "FieldUser", network.FieldUser);
        store.WriteString(section, "FieldPassword", network.FieldPassword);
        store.WriteString(section, "FieldOthers", network.FieldOthers);
        store.WriteString(section, "SignupURL", network.SignupURL);
        store.WriteString(section, "System", network.System);
        store.WriteString(section, "Regist", network.Regist);
        store.WriteString(section, "RegistURL", network.RegistURL);
    }
}

void RemoveLogin(TNetwork& network, std::string_view profileName)
{
    auto it = std::find_if(
        network.Logins.begin(), network.Logins.end(), [&](const TLoginEntry& e) { return e.Name == profileName; });
    if (it != network.Logins.end())
        network.Logins.erase(it);
}

void RenameProfileLogins(NetworkList& list, std::string_view from, std::string_view to)
{
    for (auto& network : list)
        network->RenameLogin(from, to);
}

} // namespace pw
