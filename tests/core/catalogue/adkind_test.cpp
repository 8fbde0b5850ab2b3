#include "catalogue/adkind.h"

#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

NetworkList Networks(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    NetworkList list;
    for (const auto& [name, character] : entries) {
        auto network = std::make_unique<TNetwork>();
        network->Name = name;
        network->Character = character;
        list.push_back(std::move(network));
    }
    return list;
}

TEST(DetectAdKind, KindAndSize)
{
    const NetworkList none;
    struct Case {
        const char* html;
        const char* kind;
    } cases[] = {
        { "<a href=x>text</a><img src=c.gif width=1 height=1>", "テキスト広告" },
        { "<img src=b.gif width=\"468\" height=\"60\">", "イメージ広告468x60" },
        { "<img src=b.gif height=\"60\" width=\"468\">", "イメージ広告468x60" },
        { "<IMG SRC=b.gif WIDTH=468 HEIGHT=60>", "イメージ広告468x60" },
        { "<img src=b.gif>", "イメージ広告" },
        { "<iframe src=x width=1></iframe>", "イメージ広告1x0" },
        { "plain text", "未知タイプ" },
        { "<div style=\"width:120px;height:240px\">x</div>", "イメージ広告120x240" },
        { "<img src=c.gif width=1 height=1><img src=b.gif width=300 height=250>", "イメージ広告300x250" },
        { "bandwidth 2 height 3", "イメージ広告2x3" },
        { "width only 5", "未知タイプ" },
        { "width=1 height=7", "未知タイプ" }, // a size of 1 sends the search on; no tag, no further width
        { "<img width=99999999999999999999 height=60>", "イメージ広告2147483647x60" },
        { "<img width=0 height=0>", "イメージ広告" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(codec::DecodeSjis(DetectAdKind(c.html, none).KindText), c.kind) << c.html;
}

TEST(DetectAdKind, NetworkByMarkerText)
{
    const NetworkList networks
        = Networks({ { "Empty", "" }, { "Caps", "Shop.Example" }, { "Shop", "shop.example" },
            { "Also", "example" }, { "Kana", "\x83\x41\x83\x74\x83\x42" } }); // アフィ: ア ends in "A"
    struct Case {
        const char* html;
        const char* network; // nullptr for none
    } cases[] = {
        { "<a href=\"http://WWW.SHOP.EXAMPLE/\">x</a>", "Shop" },
        { "<a href=\"http://other.example/\">x</a>", "Also" },
        { "<a href=\"http://nothing/\">x</a>", nullptr },
        { "\x83\x41\x83\x74\x83\x42", "Kana" },
    };
    for (const auto& c : cases) {
        const AdKind kind = DetectAdKind(c.html, networks);
        if (c.network) {
            ASSERT_NE(kind.Network, nullptr) << c.html;
            EXPECT_EQ(kind.Network->Name, c.network);
        } else {
            EXPECT_EQ(kind.Network, nullptr) << c.html;
        }
    }
}

} // namespace
} // namespace pw
