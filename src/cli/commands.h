#pragma once

// The commands' entry points and help texts, each defined in the cmd_*.cpp
// file of its area; the command table in cli.cpp names them.

#include "cli/cli.h"

#include <string_view>

namespace pw::cli {

int RunAds(Context& c);
int RunBlock(Context& c);
int RunCatalogue(Context& c);
int RunConfigDir(Context& c);
int RunDetect(Context& c);
int RunEncoding(Context& c);
int RunListing(Context& c);
int RunLoginPage(Context& c);
int RunNetwork(Context& c);
int RunNetworks(Context& c);
int RunRegist(Context& c);
int RunReport(Context& c);
int RunSecrets(Context& c);
int RunSettings(Context& c);
int RunSite(Context& c);

extern const std::string_view kAdsUsage;
extern const std::string_view kBlockUsage;
extern const std::string_view kCatalogueUsage;
extern const std::string_view kConfigDirUsage;
extern const std::string_view kDetectUsage;
extern const std::string_view kEncodingUsage;
extern const std::string_view kListingUsage;
extern const std::string_view kLoginPageUsage;
extern const std::string_view kNetworkUsage;
extern const std::string_view kNetworksUsage;
extern const std::string_view kRegistUsage;
extern const std::string_view kReportUsage;
extern const std::string_view kSecretsUsage;
extern const std::string_view kSettingsUsage;
extern const std::string_view kSiteUsage;

} // namespace pw::cli
