#pragma once

#include "base/result.h"

#include <string>
#include <vector>

namespace pw {

// The text of a modified page that the program kept when it was ended
// without a chance to ask (a signal, the end of the desktop session), so that
// the next start can offer it again.
struct RecoveryCopy {
    std::string SetupName; // the site the page belongs to (program text)
    std::string Path; // the page's path on the site
    std::string Bytes; // the page as it would have been saved
};

// The copies live in `folder` (made 0700 when missing) as pairs of files,
// mode 0600: NAME.page with the bytes and NAME.info with the site and path.
Status SaveRecoveryCopies(const std::string& folder, const std::vector<RecoveryCopy>& copies);
// The copies in `folder`, oldest first; none when the folder is missing.
std::vector<RecoveryCopy> LoadRecoveryCopies(const std::string& folder);
// Removes the copies (and the folder when it is then empty).
void ClearRecoveryCopies(const std::string& folder);

} // namespace pw
