#include "networks/fieldmap.h"

#include <array>

namespace pw {

namespace {

constexpr std::array<std::string_view, kProfileFieldCount> kNames = {
    "User",
    "Password",
    "EMail",
    "SiteName",
    "SiteKana",
    "SiteUrl",
    "PV",
    "SiteDesc",
    "Name1",
    "NameM",
    "Name2",
    "KanaName1",
    "KanaName2",
    "Phone",
    "Fax",
    "Zip",
    "Addr1",
    "Addr2",
    "Addr3",
    "Addr4",
    "Company",
    "AffType",
    "KanaCompany",
    "BankName",
    "BranchName",
    "AccountNumber",
    "AccountName",
    "AccountKanaName",
    "AccountType",
    "Country",
};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

std::string_view FieldMapName(ProfileField field)
{
    const int index = static_cast<int>(field);
    if (index < 0 || index >= kProfileFieldCount)
        return {};
    return kNames[static_cast<size_t>(index)];
}

ProfileField LookupField(std::string_view name)
{
    for (int i = 0; i < kProfileFieldCount; ++i)
        if (EqualsNoCase(kNames[static_cast<size_t>(i)], name))
            return static_cast<ProfileField>(i);
    return ProfileField::None;
}

bool IsListField(ProfileField field)
{
    return field == ProfileField::Addr1 || field == ProfileField::AccountType || field == ProfileField::AffType
        || field == ProfileField::Country;
}

} // namespace pw
