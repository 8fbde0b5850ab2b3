// Fuzzes the merge of a definitions text into a network list with system and
// user networks, then saves, reloads and rebuilds the login menu.

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
    for (const char* code : {"P", "", "Q", "*P"}) {
        networks.push_back(std::make_unique<TNetwork>());
        networks.back()->System = code;
        networks.back()->Name = std::string("N") + code;
        networks.back()->SetLogin("Basic", "u", "p");
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
