#pragma once

#include "base/result.h"
#include "base/sjistext.h"
#include "networks/fieldmap.h"
#include "networks/network.h"
#include "settings/inilist.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// One registration profile: the data agencies ask for at signup. Named by its
// SetupName, which is also the key of the logins stored for it at each network.
class TSiteInfo {
public:
    std::string SetupName;
    std::string EMail;
    std::string SiteName;
    std::string SiteKana;
    std::string SiteUrl;
    std::string SiteDesc;
    std::string PV;
    std::string Name1;
    std::string Name2;
    std::string KanaName1;
    std::string KanaName2;
    std::string Phone;
    std::string Fax;
    std::string Zip;
    int32_t Addr1 = 0; // index into the prefecture list, 0 = none chosen
    std::string Addr2;
    std::string Addr3;
    std::string Addr4;
    std::string Company;
    std::string KanaCompany;
    std::string BankName;
    std::string BranchName;
    std::string Account;
    std::string AccountName;
    std::string AccountKana;
    int32_t AccountType = 0; // 0 ordinary, 1 current account
    int32_t AffType = 0; // 0 private person, 1 corporation

    // Copies every field but SetupName.
    void CopyFrom(const TSiteInfo& source);
};

using SiteInfoList = std::vector<std::unique_ptr<TSiteInfo>>;

inline const std::string_view kDefaultSiteInfoName = "基本設定"_sjis;
inline const std::string_view kUnnamedSiteInfoPrefix = "設定"_sjis;

// The entries of the prefecture choice: "------" then the 47 prefectures.
extern const std::array<std::string_view, 48> kPrefectures;
// The entries of the account type choice: 普通, 当座.
extern const std::array<std::string_view, 2> kAccountTypes;
// The entries of the affiliate type choice: 個人, 法人.
extern const std::array<std::string_view, 2> kAffTypes;
// The single entry of the country choice: 日本.
extern const std::array<std::string_view, 1> kCountries;
// The value of NameM: one full-width blank.
inline const std::string_view kNameSeparator = "\u3000"_sjis; // U+3000 IDEOGRAPHIC SPACE

// Replaces `list` by the profiles of the profile file's store. Never leaves the
// list empty: a missing, zero or negative count gives the one default profile.
void LoadSiteInfos(const TIniList& store, SiteInfoList& list);
// Writes "Count" and every profile's section. Sections beyond the new count stay.
void SaveSiteInfos(TIniList& store, const SiteInfoList& list);

// How a profile field is used by a network's signup form.
enum class FieldUse { Unused, Optional, Required };

// The use of `field` by the network's parsed Regist map: the last rule naming
// the field decides; unused when the network has no Forms.
FieldUse FieldRole(const TNetwork& network, ProfileField field);

// 1 (corporation) when the company name, blanks trimmed, is non-empty; else 0.
int32_t DeriveAffType(std::string_view company);

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string TrimBlanks(std::string_view text);

// Renames a profile and carries its logins over to the new name at every
// network. The name is trimmed; an empty or unchanged name does nothing; a name
// that another profile has is refused with the message the user is shown.
Status RenameSiteInfo(SiteInfoList& profiles, NetworkList& networks, TSiteInfo& profile, std::string_view newName);

// The profile named `name` (exact comparison), or nullptr.
TSiteInfo* FindSiteInfo(const SiteInfoList& profiles, std::string_view name);

// Removes the profile's login from every network (done when the profile is deleted).
void RemoveProfileLogins(NetworkList& networks, std::string_view profileName);

} // namespace pw
