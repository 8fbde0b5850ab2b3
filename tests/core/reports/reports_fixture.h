#pragma once

#include "catalogue/banner.h"
#include "text/codec.h"

#include <memory>
#include <string>
#include <string_view>

namespace pw::test {

// Program text (Shift_JIS) of a UTF-8 literal.
inline std::string Sjis(std::string_view utf8)
{
    return codec::EncodeSjis(utf8).bytes;
}

// A catalogue of four banners on two networks, as a webmaster might have it:
// names in Japanese, the networks' program IDs inside the HTML.
struct ReportCatalogue {
    std::unique_ptr<TNetwork> a8 = std::make_unique<TNetwork>();
    std::unique_ptr<TNetwork> vc = std::make_unique<TNetwork>();
    BannerList banners;

    ReportCatalogue()
    {
        a8->Name = "A8.net";
        vc->Name = Sjis("バリューコマース");
        Add("楽天トラベル", a8.get(),
            "<a href=\"https://px.a8.net/svt/ejp?a8mat=3T1ABC+s00000012345001\">楽天トラベル</a>");
        Add("じゃらん", a8.get(), "<a href=\"https://px.a8.net/svt/ejp?a8mat=3T1ABC+s00000012345002\">予約</a>");
        Add("Yahoo!ショッピング", vc.get(),
            "<a href=\"//ck.jp.ap.valuecommerce.com/servlet/referral?sid=3512345&pid=887654321\">Y!</a>");
        Add("ふるさと納税", vc.get(),
            "<a href=\"//ck.jp.ap.valuecommerce.com/servlet/referral?sid=3512345&pid=8876543210\">納税</a>");
    }

    TAdBanner& Add(std::string_view name, TNetwork* network, std::string_view html)
    {
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = static_cast<int32_t>(banners.Rows.size()) + 1;
        banner->SpaceName = Sjis(name);
        banner->Network = network;
        banner->BannerHTML = Sjis(html);
        banners.Rows.push_back(std::move(banner));
        return *banners.Rows.back();
    }
    TAdBanner& Row(int i) { return *banners.Rows[i]; }
};

} // namespace pw::test
