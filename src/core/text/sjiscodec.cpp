// Shift_JIS (CP932) pages and program text: the tables built once from
// glibc's CP932 converter, and the codec table over them.
#include "text/codectable.h"
#include "text/sjis.h"

#include <stdexcept>

namespace pw::codec::detail {

SjisTables::SjisTables()
    : pair(65536, kNone)
    , encodeBmp(65536, 0)
{
    iconv_t dec = iconv_open("UTF-32LE", "CP932");
    iconv_t enc = iconv_open("CP932", "UTF-32LE");
    if (dec == reinterpret_cast<iconv_t>(-1) || enc == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("glibc has no CP932 converter");

    auto canonical = [&](const unsigned char* bytes, size_t length, char32_t& cp) {
        const auto cps = IconvDecode(dec, bytes, length);
        if (cps.size() != 1)
            return false;
        cp = cps[0];
        return IconvEncode(enc, cp) == std::string(reinterpret_cast<const char*>(bytes), length);
    };

    for (unsigned b = 0; b < 256; ++b) {
        single[b] = kNone;
        if (b == 0 || sjis::IsLeadByte(static_cast<unsigned char>(b)))
            continue;
        const unsigned char byte = static_cast<unsigned char>(b);
        char32_t cp = 0;
        if (canonical(&byte, 1, cp)) {
            single[b] = cp;
            encodeBmp[cp] = static_cast<uint16_t>(b);
        }
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!sjis::IsLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!sjis::IsTrailByte(static_cast<unsigned char>(trail)))
                continue;
            const unsigned char bytes[2] = { static_cast<unsigned char>(lead), static_cast<unsigned char>(trail) };
            const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
            char32_t cp = 0;
            if (canonical(bytes, 2, cp) && cp < 0x10000) {
                pair[code] = cp;
                encodeBmp[cp] = code;
            } else {
                const auto cps = IconvDecode(dec, bytes, 2);
                if (cps.size() == 1)
                    alias.emplace(code, cps[0]);
            }
        }
    }
    iconv_close(dec);
    iconv_close(enc);
}

const SjisTables& GetSjisTables()
{
    static const SjisTables tables;
    return tables;
}

namespace {

char32_t Token(std::string_view bytes, size_t& i)
{
    const SjisTables& t = GetSjisTables();
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (sjis::CharLength(bytes, i) == 2) {
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        const uint16_t code = static_cast<uint16_t>(b << 8 | trail);
        i += 2;
        const char32_t cp = t.pair[code];
        return cp == kNone ? kEscapeBase + code : cp;
    }
    i += 1;
    const char32_t cp = t.single[b];
    return cp == kNone ? kEscapeBase + b : cp;
}

std::string EscapeBytes(char32_t cp)
{
    if (cp >= kEscapeBase && cp <= kEscapeEnd)
        return std::string(1, static_cast<char>(cp - kEscapeBase));
    if (cp >= kEscapeBase + 0x8140 && cp <= kEscapeBase + 0xFCFC) {
        const unsigned v = cp - kEscapeBase;
        const auto lead = static_cast<unsigned char>(v >> 8);
        const auto trail = static_cast<unsigned char>(v & 0xFF);
        if (sjis::IsLeadByte(lead) && sjis::IsTrailByte(trail))
            return std::string { static_cast<char>(lead), static_cast<char>(trail) };
    }
    return {};
}

bool Write(char32_t cp, std::string& out)
{
    const SjisTables& t = GetSjisTables();
    if (cp < 0x10000 && t.encodeBmp[cp] != 0) {
        const uint16_t code = t.encodeBmp[cp];
        if (code > 0xFF)
            out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        return true;
    }
    const std::string raw = EscapeBytes(cp);
    out += raw;
    return !raw.empty();
}

char32_t Alias(char32_t cp)
{
    const std::string raw = EscapeBytes(cp);
    if (raw.size() != 2)
        return 0;
    const auto& alias = GetSjisTables().alias;
    const uint16_t code
        = static_cast<uint16_t>(static_cast<unsigned char>(raw[0]) << 8 | static_cast<unsigned char>(raw[1]));
    const auto it = alias.find(code);
    return it == alias.end() ? 0 : it->second;
}

} // namespace

const CodecTable& SjisCodec()
{
    static constexpr CodecTable table { Token, Write, EscapeBytes, Alias };
    return table;
}

} // namespace pw::codec::detail
