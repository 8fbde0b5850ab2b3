#include "networks/siteinfo.h"

#include "base/sjistext.h"
#include "settings/recordio.h"

#include <algorithm>

namespace pw {

const std::array<std::string_view, 48> kPrefectures = {
    "------",
    "北海道"_sjis,
    "青森県"_sjis,
    "岩手県"_sjis,
    "宮城県"_sjis,
    "秋田県"_sjis,
    "山形県"_sjis,
    "福島県"_sjis,
    "茨城県"_sjis,
    "栃木県"_sjis,
    "群馬県"_sjis,
    "埼玉県"_sjis,
    "千葉県"_sjis,
    "東京都"_sjis,
    "神奈川県"_sjis,
    "新潟県"_sjis,
    "富山県"_sjis,
    "石川県"_sjis,
    "福井県"_sjis,
    "山梨県"_sjis,
    "長野県"_sjis,
    "岐阜県"_sjis,
    "静岡県"_sjis,
    "愛知県"_sjis,
    "三重県"_sjis,
    "滋賀県"_sjis,
    "京都府"_sjis,
    "大阪府"_sjis,
    "兵庫県"_sjis,
    "奈良県"_sjis,
    "和歌山県"_sjis,
    "鳥取県"_sjis,
    "島根県"_sjis,
    "岡山県"_sjis,
    "広島県"_sjis,
    "山口県"_sjis,
    "徳島県"_sjis,
    "香川県"_sjis,
    "愛媛県"_sjis,
    "高知県"_sjis,
    "福岡県"_sjis,
    "佐賀県"_sjis,
    "長崎県"_sjis,
    "熊本県"_sjis,
    "大分県"_sjis,
    "宮崎県"_sjis,
    "鹿児島県"_sjis,
    "沖縄県"_sjis,
};

const std::array<std::string_view, 2> kAccountTypes = {
    "普通"_sjis,
    "当座"_sjis,
};

const std::array<std::string_view, 2> kAffTypes = {
    "個人"_sjis,
    "法人"_sjis,
};

const std::array<std::string_view, 1> kCountries = {
    "日本"_sjis,
};

namespace {

constexpr std::string_view kSiteInfoSection = "SiteInfo";

const std::string_view kRenameClash = "登録情報設定名は使われています、別の設定名を入力してください。"_sjis;

// The stored fields of a profile in writing order (see settings/recordio.h).
// A profile without a name is called after its place `n` in the file.
template <class Io, class Profile> void VisitSiteInfoFields(Io& io, Profile& p, size_t n)
{
    io.Text("SetupName", p.SetupName, std::string(kUnnamedSiteInfoPrefix) + std::to_string(n));
    io.Text("EMail", p.EMail);
    io.Text("SiteName", p.SiteName);
    io.Text("SiteKana", p.SiteKana);
    io.Text("SiteUrl", p.SiteUrl);
    io.Text("SiteDesc", p.SiteDesc);
    io.Text("PV", p.PV);
    io.Text("Name2", p.Name2);
    io.Text("Name1", p.Name1);
    io.Text("KanaName1", p.KanaName1);
    io.Text("KanaName2", p.KanaName2);
    io.Text("Phone", p.Phone);
    io.Text("Fax", p.Fax);
    io.Text("Zip", p.Zip);
    io.Number("Addr1", p.Addr1, 0);
    io.Text("Addr2", p.Addr2);
    io.Text("Addr3", p.Addr3);
    io.Text("Addr4", p.Addr4);
    io.Text("Company", p.Company);
    io.Text("KanaCompany", p.KanaCompany);
    io.Text("BankName", p.BankName);
    io.Text("BranchName", p.BranchName);
    io.Text("Account", p.Account);
    io.Text("AccountName", p.AccountName);
    io.Text("AccountKana", p.AccountKana);
    io.Number("AccountType", p.AccountType, 0);
    io.Number("AffType", p.AffType, 0);
}

std::string SiteSection(size_t n)
{
    return "Site" + std::to_string(n);
}

} // namespace

void TSiteInfo::CopyFrom(const TSiteInfo& source)
{
    std::string name = std::move(SetupName);
    *this = source;
    SetupName = std::move(name);
}

void LoadSiteInfos(const TIniList& store, SiteInfoList& list)
{
    list.clear();
    const int count = CappedCount(store, store.ReadInteger(kSiteInfoSection, "Count", 0));
    if (count <= 0) {
        // A negative count is read as 0: the list is never left without a profile.
        auto profile = std::make_unique<TSiteInfo>();
        profile->SetupName = kDefaultSiteInfoName;
        list.push_back(std::move(profile));
        return;
    }
    for (size_t n = 1; n <= static_cast<size_t>(count); ++n) {
        auto profile = std::make_unique<TSiteInfo>();
        ReadRecord(store, SiteSection(n), *profile, [n](auto& io, auto& p) { VisitSiteInfoFields(io, p, n); });
        list.push_back(std::move(profile));
    }
}

void SaveSiteInfos(TIniList& store, const SiteInfoList& list)
{
    store.WriteInteger(kSiteInfoSection, "Count", static_cast<int>(list.size()));
    for (size_t n = 1; n <= list.size(); ++n)
        WriteRecord(
            store, SiteSection(n), *list[n - 1], [n](auto& io, auto& p) { VisitSiteInfoFields(io, p, n); });
}

FieldUse FieldRole(const TNetwork& network, ProfileField field)
{
    FieldUse use = FieldUse::Unused;
    if (!network.Forms || field == ProfileField::None)
        return use;
    for (const RegistForm& form : *network.Forms)
        for (const auto& entry : form.Fields)
            if (entry->Control == field)
                use = entry->Required ? FieldUse::Required : FieldUse::Optional;
    return use;
}

std::string TrimBlanks(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return std::string(text.substr(begin, end - begin));
}

int32_t DeriveAffType(std::string_view company)
{
    return TrimBlanks(company).empty() ? 0 : 1;
}

TSiteInfo* FindSiteInfo(const SiteInfoList& profiles, std::string_view name)
{
    for (const auto& profile : profiles)
        if (profile->SetupName == name)
            return profile.get();
    return nullptr;
}

Status RenameSiteInfo(SiteInfoList& profiles, NetworkList& networks, TSiteInfo& profile, std::string_view newName)
{
    const std::string name = TrimBlanks(newName);
    if (name.empty() || name == profile.SetupName)
        return Status::Ok();
    if (TSiteInfo* other = FindSiteInfo(profiles, name); other && other != &profile)
        return Status::Fail(std::string(kRenameClash));
    RenameProfileLogins(networks, profile.SetupName, name);
    profile.SetupName = name;
    return Status::Ok();
}

void RemoveProfileLogins(NetworkList& networks, std::string_view profileName)
{
    for (auto& network : networks)
        RemoveLogin(*network, profileName);
}

} // namespace pw
