#pragma once

#include "catalogue/banner.h"

#include <memory>
#include <string>

namespace pw::test {

inline TAdBanner& AddRow(BannerList& list, std::string name, int32_t pv = 0, int32_t ct = 0, std::string type = {},
    TNetwork* network = nullptr)
{
    auto banner = std::make_unique<TAdBanner>();
    banner->Number = static_cast<int32_t>(list.Rows.size()) + 1;
    banner->SpaceName = std::move(name);
    banner->PV = pv;
    banner->CT = ct;
    banner->ClickRate = ComputeClickRate(pv, ct);
    banner->Type = std::move(type);
    banner->Network = network;
    list.Rows.push_back(std::move(banner));
    return *list.Rows.back();
}

inline std::unique_ptr<TNetwork> MakeNetwork(std::string name, std::string character = {})
{
    auto network = std::make_unique<TNetwork>();
    network->Name = std::move(name);
    network->Character = std::move(character);
    return network;
}

} // namespace pw::test
