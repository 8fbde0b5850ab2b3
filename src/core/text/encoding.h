#pragma once

namespace pw {

// The byte encodings a page can be in. Program text (settings, catalogue,
// messages) is always Shift_JIS; pages may be in any of these.
enum class PageEncoding {
    ShiftJis,
    Utf8,
    EucJp,
};

} // namespace pw
