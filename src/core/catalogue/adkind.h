#pragma once

#include "base/sjistext.h"
#include "networks/network.h"

#include <array>
#include <string>
#include <string_view>

namespace pw {

// The kind texts, in the order of the banner editor's type list.
inline const std::string_view kKindText = "テキスト広告"_sjis;
inline const std::string_view kKindImage = "イメージ広告"_sjis;
inline const std::string_view kKindFlash = "FLASH広告"_sjis;
inline const std::string_view kKindProductLink = "商品リンク"_sjis;
inline const std::string_view kKindDhtml = "ＤＨＴＭＬ広告"_sjis;
inline const std::string_view kKindUnknown = "未知タイプ"_sjis;

inline const std::array<std::string_view, 6> kKindTexts = {
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
