#pragma once

#include <algorithm>
#include <iterator>
#include <string_view>
#include <type_traits>

namespace pw::gui {

// The page character set and the direct store switch of a setup. The setup
// record gains these fields separately; until it has them the dialog shows
// the controls with their defaults and stores nothing. The character set may
// be kept as an enumeration in the order of the box (auto, Shift_JIS, UTF-8,
// EUC-JP) or as its key text; another type is left alone (the dialog test
// that saves both fields then fails).
inline constexpr std::string_view kCharsetKeys[] = { "auto", "shift_jis", "utf-8", "euc-jp" };

template <class Setup> int CharsetEntry(const Setup& setup)
{
    if constexpr (requires { setup.Charset; }) {
        using T = std::remove_cvref_t<decltype(setup.Charset)>;
        if constexpr (std::is_enum_v<T>) {
            return static_cast<int>(setup.Charset);
        } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
            const std::string_view key(setup.Charset);
            for (size_t i = 0; i < std::size(kCharsetKeys); ++i)
                if (key == kCharsetKeys[i])
                    return static_cast<int>(i);
        }
    }
    return 0;
}

template <class Setup> void SetCharsetEntry(Setup& setup, int entry)
{
    if constexpr (requires { setup.Charset; }) {
        using T = std::remove_cvref_t<decltype(setup.Charset)>;
        const int i = std::clamp(entry, 0, static_cast<int>(std::size(kCharsetKeys)) - 1);
        if constexpr (std::is_enum_v<T>)
            setup.Charset = static_cast<T>(i);
        else if constexpr (std::is_constructible_v<T, std::string_view>)
            setup.Charset = T(kCharsetKeys[static_cast<size_t>(i)]);
    }
}

template <class Setup> bool StoresDirectly(const Setup& setup)
{
    if constexpr (requires { setup.StoreDirectly; })
        return setup.StoreDirectly;
    return false;
}

template <class Setup> void SetStoresDirectly(Setup& setup, bool on)
{
    if constexpr (requires { setup.StoreDirectly = true; })
        setup.StoreDirectly = on;
}

} // namespace pw::gui
