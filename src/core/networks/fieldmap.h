#pragma once

#include <string_view>

namespace pw {

// The values a signup form can be filled from: the fields of a registration
// profile plus four values that are not stored in the profile (the login of
// the profile at the network on display, the blank between family and given
// name, and the country choice).
enum class ProfileField {
    None = -1,
    User,
    Password,
    EMail,
    SiteName,
    SiteKana,
    SiteUrl,
    PV,
    SiteDesc,
    Name1,
    NameM,
    Name2,
    KanaName1,
    KanaName2,
    Phone,
    Fax,
    Zip,
    Addr1,
    Addr2,
    Addr3,
    Addr4,
    Company,
    AffType,
    KanaCompany,
    BankName,
    BranchName,
    AccountNumber,
    AccountName,
    AccountKanaName,
    AccountType,
    Country,
};

inline constexpr int kProfileFieldCount = 30;

// Name of a field in the field map ("AccountNumber" for the account number).
std::string_view FieldMapName(ProfileField field);

// Looks a source name up in the field map without regard to ASCII letter case.
// Returns ProfileField::None for a name that is not in the map.
ProfileField LookupField(std::string_view name);

// True for the fields shown as a list choice (prefecture, account type,
// affiliate type, country): their index drives the list options of a fill rule.
bool IsListField(ProfileField field);

} // namespace pw
