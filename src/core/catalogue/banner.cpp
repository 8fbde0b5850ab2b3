#include "catalogue/banner.h"

#include "catalogue/adkind.h"
#include "text/sjis.h"

namespace pw {

float ComputeClickRate(int32_t pv, int32_t ct)
{
    if (pv == 0)
        return 0;
    return static_cast<float>(static_cast<double>(ct) * 100.0 / static_cast<double>(pv));
}

std::string BannerNetworkName(const TAdBanner& banner)
{
    return banner.Network ? banner.Network->Name : std::string(kNoNetworkName);
}

std::unique_ptr<TAdBanner> CreateBanner(std::string_view html, int64_t n, const NetworkList& networks)
{
    auto banner = std::make_unique<TAdBanner>();
    const AdKind detected = DetectAdKind(html, networks);
    banner->Network = detected.Network;
    banner->Type = detected.KindText;
    banner->SpaceName = std::string(kUnnamedBannerPrefix) + std::to_string(n);
    banner->BannerHTML = std::string(html);
    return banner;
}

std::string_view NameBeforeNumbering(std::string_view text)
{
    const size_t bracket = sjis::FindChar(text, '[', 0);
    return bracket == std::string_view::npos ? text : text.substr(0, bracket);
}

int FindBannerByName(const BannerList& list, std::string_view text, const TAdBanner* except)
{
    const std::string_view name = NameBeforeNumbering(text);
    if (name.empty())
        return -1;
    for (size_t row = 0; row < list.Rows.size(); ++row) {
        const TAdBanner* banner = list.Rows[row].get();
        if (banner != except && banner->SpaceName == name)
            return static_cast<int>(row);
    }
    return -1;
}

int FindBannerByHTML(const BannerList& list, std::string_view html)
{
    const std::string wanted = sjis::ToUpperAscii(html);
    for (size_t row = 0; row < list.Rows.size(); ++row) {
        const std::string& candidate = list.Rows[row]->BannerHTML;
        if (candidate.size() == html.size() && sjis::ToUpperAscii(candidate) == wanted)
            return static_cast<int>(row);
    }
    return -1;
}

} // namespace pw
