// Fuzzes the merge of a definitions text into a network list with system and
// user networks, then saves, reloads and rebuilds the login menu and the login
// pages.

#include "networks/definitions.h"
#include "networks/login.h"
#include "networks/network.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace pw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NetworkList networks;
    for (const char* code : { "P", "", "Q", "*P" }) {
        networks.push_back(std::make_unique<TNetwork>());
        networks.back()->System = code;
        networks.back()->Name = std::string("N") + code;
        networks.back()->SetLogin("Basic", "u", "p");
        networks.back()->LoginURL = "https://p.example/login";
    }
    TNetwork* current = networks[2].get();
    const std::string text(reinterpret_cast<const char*>(data), size);
    TIniList scratch;
    int version = 1;
    const Status merged = ImportNetworks(scratch, text, networks, version, &current);
    if (!merged && networks.size() != 4)
        std::abort(); // a refused text changes nothing

    // User networks are never touched.
    bool userKept = false;
    for (const auto& n : networks)
        userKept |= n->System.empty() && n->Name == "N" && n->FindLogin("Basic");
    if (!userKept)
        std::abort();
    if (current) {
        bool found = false;
        for (const auto& n : networks)
            found |= n.get() == current;
        if (!found)
            std::abort(); // the dialog's current network must not dangle
    }

    // Stored logins are never moved to another host by a merge, and the login
    // page carries nothing from FieldOthers but hidden inputs.
    for (const auto& n : networks) {
        if (!n->Logins.empty() && LoginHost(n->LoginURL) != "p.example")
            std::abort();
        const std::string others = FilterFieldOthers(n->FieldOthers).Html;
        for (size_t at = others.find('<'); at != std::string::npos; at = others.find('<', at + 1))
            if (others.compare(at, 19, "<input type=hidden ") != 0)
                std::abort();
        for (const TLoginEntry& login : n->Logins)
            BuildLoginPage(*login.Info);
    }

    BuildLoginMenu(networks);
    TIniList store;
    store.LoadFromText("");
    SaveNetworks(store, networks);
    NetworkList again;
    LoadNetworks(store, again);
    if (again.size() != networks.size())
        std::abort();
    ExportNetworksText(scratch, networks, version);
    return 0;
}
