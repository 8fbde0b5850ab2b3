#pragma once

// Shared by the report benchmarks: a catalogue of 1,000 banners with A8-style
// program IDs in their HTML, and files in a private temporary folder.

#include "base/files.h"
#include "catalogue/banner.h"
#include "text/codec.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace pw::bench {

constexpr int kBannerCount = 1000;

inline std::string ProgramId(int n)
{
    return "s0000" + std::to_string(1000000 + n) + "001";
}

inline std::string BannerName(int n)
{
    return codec::EncodeSjis("広告 " + std::to_string(n)).bytes;
}

inline BannerList MakeBanners()
{
    BannerList banners;
    for (int n = 0; n < kBannerCount; ++n) {
        auto banner = std::make_unique<TAdBanner>();
        banner->Number = n + 1;
        banner->SpaceName = BannerName(n);
        banner->BannerHTML = "<a href=\"https://px.a8.net/svt/ejp?a8mat=3T1ABC+" + ProgramId(n)
            + "\" rel=\"nofollow\">\r\n<img border=\"0\" width=\"468\" height=\"60\" alt=\"\" src=\"https://www"
              ".example.net/"
            + std::to_string(n) + ".gif\"></a>";
        banner->StatsId = "id" + std::to_string(n);
        banners.Rows.push_back(std::move(banner));
    }
    return banners;
}

// A private folder removed at exit.
class BenchFolder {
public:
    BenchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pagewick-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~BenchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace pw::bench
