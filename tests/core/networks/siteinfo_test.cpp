#include "networks/siteinfo.h"
#include "text/codec.h"

#include "core/networks/textstore.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::TextStore;

TEST(SiteInfoConstants, DecodeToTheirJapaneseText)
{
    EXPECT_EQ(codec::DecodeSjis(kDefaultSiteInfoName), "基本設定");
    EXPECT_EQ(codec::DecodeSjis(kUnnamedSiteInfoPrefix), "設定");
    EXPECT_EQ(codec::DecodeSjis(kNameSeparator), "\u3000");
    EXPECT_EQ(codec::DecodeSjis(kAccountTypes[0]) + codec::DecodeSjis(kAccountTypes[1]), "普通当座");
    EXPECT_EQ(codec::DecodeSjis(kAffTypes[0]) + codec::DecodeSjis(kAffTypes[1]), "個人法人");
    EXPECT_EQ(codec::DecodeSjis(kCountries[0]), "日本");

    std::string all;
    for (std::string_view p : kPrefectures)
        all += codec::DecodeSjis(p) + ",";
    EXPECT_EQ(all,
        "------,北海道,青森県,岩手県,宮城県,秋田県,山形県,福島県,茨城県,栃木県,群馬県,埼玉県,千葉県,"
        "東京都,神奈川県,新潟県,富山県,石川県,福井県,山梨県,長野県,岐阜県,静岡県,愛知県,三重県,滋賀県,"
        "京都府,大阪府,兵庫県,奈良県,和歌山県,鳥取県,島根県,岡山県,広島県,山口県,徳島県,香川県,愛媛県,"
        "高知県,福岡県,佐賀県,長崎県,熊本県,大分県,宮崎県,鹿児島県,沖縄県,");
}

TEST(LoadSiteInfos, NoUsableCountGivesTheDefaultProfile)
{
    // A negative count is read like 0: the list always has a profile.
    for (const char* text :
        { "", "[SiteInfo]\r\nCount=0\r\n", "[SiteInfo]\r\nCount=-3\r\n", "[SiteInfo]\r\nCount=x\r\n" }) {
        SiteInfoList list;
        LoadSiteInfos(TextStore(text), list);
        ASSERT_EQ(list.size(), 1u) << text;
        EXPECT_EQ(list[0]->SetupName, kDefaultSiteInfoName);
        EXPECT_EQ(list[0]->EMail, "");
        EXPECT_EQ(list[0]->Addr1, 0);
    }
}

TEST(LoadSiteInfos, DefaultProfileSavesAsCountOne)
{
    SiteInfoList list;
    LoadSiteInfos(TextStore(""), list);
    TextStore store("");
    SaveSiteInfos(store, list);
    EXPECT_EQ(store.ReadInteger("SiteInfo", "Count", 0), 1);
    EXPECT_EQ(store.ReadString("Site1", "SetupName", ""), kDefaultSiteInfoName);
}

TEST(LoadSiteInfos, UnnamedProfilesAndBadIntegers)
{
    SiteInfoList list;
    LoadSiteInfos(
        TextStore("[SiteInfo]\r\nCount=3\r\n\r\n[Site1]\r\nSetupName=A\r\nAddr1=13\r\nAccountType=1\r\n\r\n"
                  "[Site2]\r\nEMail=b@x\r\n\r\n[Site3]\r\nSetupName=\r\nAddr1=tokyo\r\nAffType=\r\n"),
        list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->Addr1, 13);
    EXPECT_EQ(list[0]->AccountType, 1);
    EXPECT_EQ(codec::DecodeSjis(list[1]->SetupName), "設定2");
    EXPECT_EQ(list[1]->EMail, "b@x");
    EXPECT_EQ(codec::DecodeSjis(list[2]->SetupName), "設定3");
    EXPECT_EQ(list[2]->Addr1, 0);
}

TSiteInfo FullProfile()
{
    TSiteInfo p;
    p.SetupName = "S";
    std::string* texts[] = { &p.EMail, &p.SiteName, &p.SiteKana, &p.SiteUrl, &p.SiteDesc, &p.PV, &p.Name1,
        &p.Name2, &p.KanaName1, &p.KanaName2, &p.Phone, &p.Fax, &p.Zip, &p.Addr2, &p.Addr3, &p.Addr4, &p.Company,
        &p.KanaCompany, &p.BankName, &p.BranchName, &p.Account, &p.AccountName, &p.AccountKana };
    int i = 0;
    for (std::string* t : texts)
        *t = "v" + std::to_string(++i);
    p.Addr1 = 47;
    p.AccountType = 1;
    p.AffType = 1;
    return p;
}

void ExpectSameValues(const TSiteInfo& a, const TSiteInfo& b)
{
    EXPECT_EQ(a.EMail, b.EMail);
    EXPECT_EQ(a.Name1, b.Name1);
    EXPECT_EQ(a.Name2, b.Name2);
    EXPECT_EQ(a.Zip, b.Zip);
    EXPECT_EQ(a.Addr1, b.Addr1);
    EXPECT_EQ(a.Addr2, b.Addr2);
    EXPECT_EQ(a.Account, b.Account);
    EXPECT_EQ(a.AccountKana, b.AccountKana);
    EXPECT_EQ(a.AccountType, b.AccountType);
    EXPECT_EQ(a.AffType, b.AffType);
}

TEST(SaveSiteInfos, KeyOrderAndRoundTrip)
{
    SiteInfoList list;
    list.push_back(std::make_unique<TSiteInfo>(FullProfile()));
    TextStore store("");
    SaveSiteInfos(store, list);
    // New keys go directly below the header: the text shows the writing order reversed.
    EXPECT_EQ(store.SaveToText(),
        "; NoTitle\r\n\r\n\r\n[SiteInfo]\r\nCount=1\r\n\r\n[Site1]\r\nAffType=1\r\nAccountType=1\r\n"
        "AccountKana=v23\r\nAccountName=v22\r\nAccount=v21\r\nBranchName=v20\r\nBankName=v19\r\n"
        "KanaCompany=v18\r\nCompany=v17\r\nAddr4=v16\r\nAddr3=v15\r\nAddr2=v14\r\nAddr1=47\r\nZip=v13\r\n"
        "Fax=v12\r\nPhone=v11\r\nKanaName2=v10\r\nKanaName1=v9\r\nName1=v7\r\nName2=v8\r\nPV=v6\r\n"
        "SiteDesc=v5\r\nSiteUrl=v4\r\nSiteKana=v3\r\nSiteName=v2\r\nEMail=v1\r\nSetupName=S\r\n");
    SiteInfoList again;
    LoadSiteInfos(store, again);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->SetupName, "S");
    ExpectSameValues(*again[0], *list[0]);
}

TEST(SaveSiteInfos, DeletedProfileSectionStaysButIsNotLoaded)
{
    SiteInfoList list;
    for (const char* name : { "A", "B", "C" }) {
        list.push_back(std::make_unique<TSiteInfo>());
        list.back()->SetupName = name;
    }
    TextStore store("");
    SaveSiteInfos(store, list);
    list.erase(list.begin() + 1);
    SaveSiteInfos(store, list);
    EXPECT_TRUE(store.SectionExists("Site3"));
    SiteInfoList again;
    LoadSiteInfos(store, again);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1]->SetupName, "C");
}

TEST(SiteInfo, CopyFromTakesEverythingButTheName)
{
    const TSiteInfo source = FullProfile();
    TSiteInfo copy;
    copy.SetupName = "New";
    copy.CopyFrom(source);
    EXPECT_EQ(copy.SetupName, "New");
    ExpectSameValues(copy, source);
    EXPECT_EQ(copy.KanaCompany, source.KanaCompany);
}

TEST(SiteInfo, AffTypeFollowsTheTrimmedCompanyName)
{
    EXPECT_EQ(DeriveAffType(""), 0);
    EXPECT_EQ(DeriveAffType(" \t "), 0);
    EXPECT_EQ(DeriveAffType(" K "), 1);
    EXPECT_EQ(DeriveAffType("\x8A\x94"), 1); // 株
    EXPECT_EQ(TrimBlanks("  a b\r\n"), "a b");
}

TEST(FieldRole, LastRuleNamingAFieldDecides)
{
    TNetwork network;
    for (int i = 0; i < kProfileFieldCount; ++i)
        EXPECT_EQ(FieldRole(network, static_cast<ProfileField>(i)), FieldUse::Unused); // no Forms
    network.Regist = "a:EMail=*m;Zip=z;Name1=*n;b:Name1=x;Addr1=*p;Nonsense=*q; ";
    ParseRegist(network);
    EXPECT_EQ(FieldRole(network, ProfileField::EMail), FieldUse::Required);
    EXPECT_EQ(FieldRole(network, ProfileField::Zip), FieldUse::Optional);
    EXPECT_EQ(FieldRole(network, ProfileField::Name1), FieldUse::Optional); // the later rule wins
    EXPECT_EQ(FieldRole(network, ProfileField::Addr1), FieldUse::Required);
    EXPECT_EQ(FieldRole(network, ProfileField::Fax), FieldUse::Unused);
}

TEST(RenameSiteInfo, CarriesLoginsOverAtEveryNetwork)
{
    SiteInfoList profiles;
    for (const char* name : { "A", "B" }) {
        profiles.push_back(std::make_unique<TSiteInfo>());
        profiles.back()->SetupName = name;
    }
    NetworkList networks;
    for (int i = 0; i < 3; ++i)
        networks.push_back(std::make_unique<TNetwork>());
    networks[0]->SetLogin("A", "u0", "p0");
    networks[2]->SetLogin("B", "u2b", "p2b");
    networks[2]->SetLogin("A", "u2", "p2");

    ASSERT_TRUE(RenameSiteInfo(profiles, networks, *profiles[0], "  Z  ").ok);
    EXPECT_EQ(profiles[0]->SetupName, "Z");
    EXPECT_EQ(networks[0]->FindLogin("Z")->User, "u0");
    EXPECT_EQ(networks[0]->FindLogin("A"), nullptr);
    EXPECT_EQ(networks[1]->Logins.size(), 0u);
    EXPECT_EQ(networks[2]->FindLogin("Z")->User, "u2");
    EXPECT_EQ(networks[2]->Logins[0].Name, "B"); // order kept

    // A name in use is refused and nothing changes; an empty name does nothing.
    const Status clash = RenameSiteInfo(profiles, networks, *profiles[0], "B");
    EXPECT_FALSE(clash.ok);
    EXPECT_EQ(codec::DecodeSjis(clash.error), "登録情報設定名は使われています、別の設定名を入力してください。");
    EXPECT_TRUE(RenameSiteInfo(profiles, networks, *profiles[0], "   ").ok);
    EXPECT_EQ(profiles[0]->SetupName, "Z");
    EXPECT_EQ(networks[2]->FindLogin("Z")->User, "u2");
}

TEST(RemoveProfileLogins, DeletingAProfileDropsItsLoginsEverywhere)
{
    NetworkList networks;
    for (int i = 0; i < 2; ++i) {
        networks.push_back(std::make_unique<TNetwork>());
        networks.back()->SetLogin("A", "u", "p");
        networks.back()->SetLogin("B", "u", "p");
    }
    RemoveProfileLogins(networks, "A");
    for (const auto& n : networks) {
        EXPECT_EQ(n->FindLogin("A"), nullptr);
        EXPECT_NE(n->FindLogin("B"), nullptr);
    }
}

} // namespace
} // namespace pw
