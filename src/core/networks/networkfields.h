#pragma once

// The stored fields of a network, shared by the main settings file and the
// definitions file (see settings/recordio.h).

#include "networks/network.h"
#include "settings/recordio.h"

#include <memory>
#include <string>

namespace pw {

inline std::string NumberedKey(std::string_view key, size_t n)
{
    return std::string(key) + std::to_string(n);
}

// A network's fields in writing order. `logins()` stands where
// "LoginInfoCount" and the numbered logins go: the settings file holds them
// (VisitNetworkLogins), the definitions file only a count of 0.
template <class Io, class Network, class Logins> void VisitNetworkFields(Io& io, Network& network, Logins logins)
{
    io.Text("Name", network.Name, kDefaultNetworkName);
    io.Text("LoginURL", network.LoginURL);
    io.Text("Character", network.Character);
    logins();
    io.Text("FieldUser", network.FieldUser, kDefaultFieldUser);
    io.Text("FieldPassword", network.FieldPassword, kDefaultFieldPassword);
    io.Text("FieldOthers", network.FieldOthers);
    io.Text("SignupURL", network.SignupURL);
    io.Text("System", network.System);
    io.Text("Regist", network.Regist);
    io.Text("RegistURL", network.RegistURL);
}

// The stored logins of a network: a count, then name, user and password of
// each under numbered keys.
template <class Io, class Network> void VisitNetworkLogins(Io& io, Network& network)
{
    io.Items(
        "LoginInfoCount", network.Logins,
        [&network] {
            LoginEntry entry { {}, std::make_unique<TLoginInfo>() };
            if constexpr (Io::kReading) // only reading makes logins
                entry.Info->Network = &network;
            return entry;
        },
        [&io](auto& login, size_t n) {
            io.Text(NumberedKey("Name", n), login.Name, kDefaultLoginName);
            io.Text(NumberedKey("User", n), login.Info->User);
            io.Text(NumberedKey("Password", n), login.Info->Password);
            io.OptionalText(NumberedKey("SecretId", n), login.Info->SecretId);
        });
}

} // namespace pw
