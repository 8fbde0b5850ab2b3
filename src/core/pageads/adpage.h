#pragma once

#include "pageads/adtree.h"
#include "pageads/pageeditor.h"
#include "text/pageencoding.h"

namespace pw {

// An open page as the ad commands see it: its editor, its ad tree and the
// encoding of its bytes.
struct AdPage {
    PageEditor& Editor;
    AdTree& Tree;
    PageEncoding Encoding = PageEncoding::ShiftJis;
};

} // namespace pw
