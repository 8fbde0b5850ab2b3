#pragma once

#include "settings/inilist.h"

#include <string_view>

namespace pw::test {

// A settings store loaded from text, as a file's content would be.
class TextStore : public TIniList {
public:
    explicit TextStore(std::string_view text) { LoadFromText(text); }
};

} // namespace pw::test
