#pragma once

#include "networks/network.h"

#include <array>
#include <string>
#include <string_view>

namespace pw {

// The kind texts, in the order of the banner editor's type list.
inline constexpr std::string_view kKindText = "\x83"
                                              "e\x83L\x83X\x83g\x8DL\x8D\x90"; // テキスト広告
inline constexpr std::string_view kKindImage = "\x83"
                                               "C\x83\x81\x81[\x83W\x8DL\x8D\x90"; // イメージ広告
inline constexpr std::string_view kKindFlash = "FLASH\x8DL\x8D\x90"; // FLASH広告
inline constexpr std::string_view kKindProductLink = "\x8F\xA4\x95i\x83\x8A\x83\x93\x83N"; // 商品リンク
inline constexpr std::string_view kKindDhtml = "\x82"
                                               "c\x82g\x82s\x82l\x82k\x8DL\x8D\x90"; // ＤＨＴＭＬ広告
inline constexpr std::string_view kKindUnknown = "\x96\xA2\x92m\x83^\x83"
                                                 "C\x83v"; // 未知タイプ

inline constexpr std::array<std::string_view, 6> kKindTexts = {
    kKindText,
    kKindImage,
    kKindFlash,
    kKindProductLink,
    kKindDhtml,
    kKindUnknown,
};

struct AdKind {
    TNetwork* Network = nullptr; // none when no network's marker text occurs
    std::string KindText;
};

// Guesses an ad's network and its kind and size from its HTML: the first
// network in list order whose Character occurs in the HTML (ASCII letters of
// the HTML taken as small letters), and テキスト広告, イメージ広告 (with
// WxH when sizes were found) or 未知タイプ from the tags and the first digits
// after "width" and "height". A digit run too long for 32 bits saturates.
AdKind DetectAdKind(std::string_view html, const NetworkList& networks);

} // namespace pw
