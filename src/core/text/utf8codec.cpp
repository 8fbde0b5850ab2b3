// UTF-8 pages: a well-formed sequence is its character; every other byte,
// and each byte of a sequence that spells a one-byte escape, is an escape.
#include "text/codectable.h"

namespace pw::codec::detail {

namespace {

// The well-formed sequence at `i` as one code point; kNone when the bytes
// there do not form one.
char32_t WellFormedUtf8(std::string_view s, size_t i, size_t& length)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    char32_t cp;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return kNone;
    }
    if (s.size() - i < length)
        return kNone;
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return kNone;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kNone;
    return cp;
}

char32_t Token(std::string_view bytes, size_t& i)
{
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x01 && b < 0x80) {
        ++i;
        return b;
    }
    if (b >= 0x80) {
        size_t length = 0;
        const char32_t cp = WellFormedUtf8(bytes, i, length);
        if (cp != kNone && (cp < kEscapeBase || cp > kEscapeEnd)) {
            i += length;
            return cp;
        }
    }
    ++i;
    return kEscapeBase + b;
}

std::string EscapeBytes(char32_t cp)
{
    if (cp >= kEscapeBase && cp <= kEscapeEnd)
        return std::string(1, static_cast<char>(cp - kEscapeBase));
    return {};
}

// UTF-8 holds every character.
bool Write(char32_t cp, std::string& out)
{
    if (cp >= kEscapeBase && cp <= kEscapeEnd)
        out += static_cast<char>(cp - kEscapeBase);
    else
        AppendUtf8(out, cp);
    return true;
}

char32_t Alias(char32_t)
{
    return 0;
}

} // namespace

const CodecTable& Utf8Codec()
{
    static constexpr CodecTable table { Token, Write, EscapeBytes, Alias };
    return table;
}

} // namespace pw::codec::detail
