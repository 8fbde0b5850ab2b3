#include "networks/siteinfo.h"

#include "settings/recordio.h"

#include <algorithm>

namespace pw {

const std::array<std::string_view, 48> kPrefectures = {
    "------",
    "\x96k\x8A"
    "C\x93\xB9", // 北海道
    "\x90\xC2\x90X\x8C\xA7", // 青森県
    "\x8A\xE2\x8E\xE8\x8C\xA7", // 岩手県
    "\x8B{\x8F\xE9\x8C\xA7", // 宮城県
    "\x8FH\x93"
    "c\x8C\xA7", // 秋田県
    "\x8ER\x8C`\x8C\xA7", // 山形県
    "\x95\x9F\x93\x87\x8C\xA7", // 福島県
    "\x88\xEF\x8F\xE9\x8C\xA7", // 茨城県
    "\x93\xC8\x96\xD8\x8C\xA7", // 栃木県
    "\x8CQ\x94n\x8C\xA7", // 群馬県
    "\x8D\xE9\x8B\xCA\x8C\xA7", // 埼玉県
    "\x90\xE7\x97t\x8C\xA7", // 千葉県
    "\x93\x8C\x8B\x9E\x93s", // 東京都
    "\x90_\x93\xDE\x90\xEC\x8C\xA7", // 神奈川県
    "\x90V\x8A\x83\x8C\xA7", // 新潟県
    "\x95x\x8ER\x8C\xA7", // 富山県
    "\x90\xCE\x90\xEC\x8C\xA7", // 石川県
    "\x95\x9F\x88\xE4\x8C\xA7", // 福井県
    "\x8ER\x97\x9C\x8C\xA7", // 山梨県
    "\x92\xB7\x96\xEC\x8C\xA7", // 長野県
    "\x8A\xF2\x95\x8C\x8C\xA7", // 岐阜県
    "\x90\xC3\x89\xAA\x8C\xA7", // 静岡県
    "\x88\xA4\x92m\x8C\xA7", // 愛知県
    "\x8EO\x8F"
    "d\x8C\xA7", // 三重県
    "\x8E\xA0\x89\xEA\x8C\xA7", // 滋賀県
    "\x8B\x9E\x93s\x95{", // 京都府
    "\x91\xE5\x8D\xE3\x95{", // 大阪府
    "\x95\xBA\x8C\xC9\x8C\xA7", // 兵庫県
    "\x93\xDE\x97\xC7\x8C\xA7", // 奈良県
    "\x98"
    "a\x89\xCC\x8ER\x8C\xA7", // 和歌山県
    "\x92\xB9\x8E\xE6\x8C\xA7", // 鳥取県
    "\x93\x87\x8D\xAA\x8C\xA7", // 島根県
    "\x89\xAA\x8ER\x8C\xA7", // 岡山県
    "\x8DL\x93\x87\x8C\xA7", // 広島県
    "\x8ER\x8C\xFB\x8C\xA7", // 山口県
    "\x93\xBF\x93\x87\x8C\xA7", // 徳島県
    "\x8D\x81\x90\xEC\x8C\xA7", // 香川県
    "\x88\xA4\x95Q\x8C\xA7", // 愛媛県
    "\x8D\x82\x92m\x8C\xA7", // 高知県
    "\x95\x9F\x89\xAA\x8C\xA7", // 福岡県
    "\x8D\xB2\x89\xEA\x8C\xA7", // 佐賀県
    "\x92\xB7\x8D\xE8\x8C\xA7", // 長崎県
    "\x8C"
    "F\x96{\x8C\xA7", // 熊本県
    "\x91\xE5\x95\xAA\x8C\xA7", // 大分県
    "\x8B{\x8D\xE8\x8C\xA7", // 宮崎県
    "\x8E\xAD\x8E\x99\x93\x87\x8C\xA7", // 鹿児島県
    "\x89\xAB\x93\xEA\x8C\xA7", // 沖縄県
};

const std::array<std::string_view, 2> kAccountTypes = {
    "\x95\x81\x92\xCA", // 普通
    "\x93\x96\x8D\xC0", // 当座
};

const std::array<std::string_view, 2> kAffTypes = {
    "\x8C\xC2\x90l", // 個人
    "\x96@\x90l", // 法人
};

const std::array<std::string_view, 1> kCountries = {
    "\x93\xFA\x96{", // 日本
};

namespace {

constexpr std::string_view kSiteInfoSection = "SiteInfo";

constexpr std::string_view kRenameClash
    = "\x93o\x98^"
      "\x8F\xEE\x95\xF1\x90\xDD\x92\xE8\x96\xBC\x82\xCD\x8Eg\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7"
      "\x81"
      "A\x95\xCA\x82\xCC\x90\xDD\x92\xE8\x96\xBC\x82\xF0\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
      "\x82\xA2\x81"
      "B"; // 登録情報設定名は使われています、別の設定名を入力してください。

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
    for (const TRegistForm& form : *network.Forms)
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
