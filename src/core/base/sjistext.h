#pragma once

// Japanese texts of the core, written as UTF-8 and used as the Shift_JIS bytes
// that the settings files, pages and window messages carry:
//
//     const std::string& message = "接続中["_sjis;
//
// so that a message seen on screen can be found in the source. Each literal is
// converted once, at its first use, and lives as long as the program.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

// The Shift_JIS bytes of a UTF-8 text. A character that Shift_JIS cannot hold
// is a mistake in the program's own texts: it stops the program with a message
// naming the text, rather than putting a character reference into a message.
std::string SjisTextBytes(std::string_view utf8);

namespace detail {

template <size_t N> struct Utf8Literal {
    char text[N];
    constexpr Utf8Literal(const char (&literal)[N]) { std::copy_n(literal, N, text); }
    constexpr std::string_view View() const { return { text, N - 1 }; }
};

} // namespace detail

template <detail::Utf8Literal Text> const std::string& operator""_sjis()
{
    // Never destroyed, so a text stays usable while statics are torn down.
    static const std::string* const bytes = new std::string(SjisTextBytes(Text.View()));
    return *bytes;
}

} // namespace pw
