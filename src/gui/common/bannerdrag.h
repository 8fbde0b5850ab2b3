#pragma once

namespace pw {

// The drag of a banner out of the banner list carries this type and no data:
// the drop (on a page editor or an ad tree) works on the banner selected in the list.
inline constexpr char kBannerMimeType[] = "application/x-pagewick-banner";

} // namespace pw
