#pragma once

#include "catalogue/banner.h"
#include "networks/network.h"
#include "networks/siteinfo.h"
#include "settings/inilist.h"
#include "settings/secretstore.h"
#include "shell/scratchfiles.h"
#include "sites/connection.h"
#include "sites/ftpclient.h"
#include "sites/setup.h"

#include <QString>

#include <array>
#include <memory>
#include <string>

namespace pw::gui {

// Everything the window works on during one run: the three settings stores
// and the records read from them, the transfer buffer that every download
// and upload uses, and the open connections. The main window owns one and
// hands it to its areas.
struct Workspace {
    Workspace(std::string settingsFolder, FtpClientFactory factory, SiteFeedback& feedback)
        : SettingsFolder(std::move(settingsFolder))
        , Tree(std::move(factory), feedback)
    {
    }

    std::string SettingsFolder;
    TIniList IniListSetup; // Pagewick.ini: general settings, site setups, networks
    TIniList IniListAd; // ads.ini: the banner catalogue, proxy options
    TIniList IniListSiteInfo; // siteinfo.ini: registration profiles
    SetupList Setups;
    NetworkList Networks;
    SiteInfoList Profiles;
    BannerList Banners;
    TransferBuffer Buffer;
    ConnectionTree Tree;
    // The private folder of the scratch files, and the files: the login page,
    // the banner preview and the banner editor's preview.
    ScratchFolder Scratch;
    std::array<std::string, 3> ScratchFiles;
    // The installed network definitions version ("v2"): read at start-up,
    // raised when the user takes newer definitions.
    int NetworkVersion = 1;
    // Where the passwords of the setups and logins are kept: the file until
    // the start-up or the options choose the keyring.
    std::unique_ptr<SecretStore> Secrets = std::make_unique<FileSecretStore>();
};

// The online service's address as stored in Pagewick.ini, trimmed; empty when
// none is set.
QString StoredServiceUrl(const Workspace& workspace);

} // namespace pw::gui
