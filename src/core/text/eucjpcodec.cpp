// EUC-JP pages: JIS X 0208 read as a Shift_JIS page reads the same JIS code
// (the CP932 table), half-width katakana, and JIS X 0212 from glibc's table.
#include "text/codectable.h"

#include <stdexcept>
#include <utility>

namespace pw::codec::detail {

namespace {

constexpr bool IsEucTrail(unsigned b)
{
    return b >= 0xA1 && b <= 0xFE;
}

constexpr size_t EucIndex(unsigned first, unsigned second)
{
    return (first - 0xA1) * 94 + (second - 0xA1);
}

// The Shift_JIS code of the JIS X 0208 character at EUC-JP bytes (lead, trail).
uint16_t EucToSjis(unsigned lead, unsigned trail)
{
    const unsigned j1 = lead - 0x80;
    const unsigned j2 = trail - 0x80;
    const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
    const unsigned s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
    return static_cast<uint16_t>(s1 << 8 | s2);
}

struct EucTables {
    std::vector<char32_t> x0208; // EucIndex(lead, trail); kNone: escape
    std::vector<char32_t> x0212; // EucIndex(second, third) of 8F tokens; kNone: escape
    std::vector<uint32_t> encodeBmp; // code point -> bytes, big end first (0: not held)
    std::unordered_map<char32_t, char32_t> alias; // escapes that spell a character -> that character

    EucTables()
        : x0208(94 * 94, kNone)
        , x0212(94 * 94, kNone)
        , encodeBmp(65536, 0)
    {
        const SjisTables& sjis = GetSjisTables();
        for (unsigned b = 1; b < 0x80; ++b)
            encodeBmp[b] = b;
        for (unsigned b = 0xA1; b <= 0xDF; ++b)
            encodeBmp[0xFF61 + b - 0xA1] = 0x8E00 | b;
        for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
                const uint16_t code = EucToSjis(lead, trail);
                char32_t cp = sjis.pair[code];
                if (cp == kNone) {
                    if (const auto it = sjis.alias.find(code); it != sjis.alias.end())
                        cp = it->second;
                    if (cp != kNone)
                        alias.emplace(kEscapeBase + (lead << 8 | trail), cp);
                    continue;
                }
                // Row 13 holds the NEC special characters, which EUC-JP proper lacks.
                if (lead == 0xAD || encodeBmp[cp] != 0) {
                    alias.emplace(kEscapeBase + (lead << 8 | trail), cp);
                    continue;
                }
                x0208[EucIndex(lead, trail)] = cp;
                encodeBmp[cp] = lead << 8 | trail;
            }
        }
        iconv_t dec = iconv_open("UTF-32LE", "EUC-JP");
        iconv_t enc = iconv_open("EUC-JP", "UTF-32LE");
        if (dec == reinterpret_cast<iconv_t>(-1) || enc == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("glibc has no EUC-JP converter");
        for (unsigned second = 0xA1; second <= 0xFE; ++second) {
            for (unsigned third = 0xA1; third <= 0xFE; ++third) {
                const unsigned char bytes[3]
                    = { 0x8F, static_cast<unsigned char>(second), static_cast<unsigned char>(third) };
                const auto cps = IconvDecode(dec, bytes, 3);
                if (cps.size() != 1 || cps[0] >= 0x10000)
                    continue;
                const char32_t cp = cps[0];
                if (encodeBmp[cp] == 0
                    && IconvEncode(enc, cp) == std::string(reinterpret_cast<const char*>(bytes), 3)) {
                    x0212[EucIndex(second, third)] = cp;
                    encodeBmp[cp] = 0x8F0000 | second << 8 | third;
                } else {
                    alias.emplace(kEucTripleBase + (second << 8 | third), cp);
                }
            }
        }
        iconv_close(dec);
        iconv_close(enc);
        // Characters that CP932 spells differently from JIS: written as the JIS
        // character when nothing else reads as them.
        const std::pair<char32_t, uint32_t> jisForms[] = {
            { 0x301C, 0xA1C1 },
            { 0x2016, 0xA1C2 },
            { 0x2212, 0xA1DD },
            { 0x00A2, 0xA1F1 },
            { 0x00A3, 0xA1F2 },
            { 0x00AC, 0xA2CC },
        };
        for (const auto& [cp, bytes] : jisForms)
            if (encodeBmp[cp] == 0)
                encodeBmp[cp] = bytes;
    }
};

const EucTables& GetEucTables()
{
    static const EucTables tables;
    return tables;
}

char32_t Token(std::string_view bytes, size_t& i)
{
    const EucTables& t = GetEucTables();
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x01 && b < 0x80) {
        ++i;
        return b;
    }
    const size_t left = bytes.size() - i;
    if (b == 0x8F && left >= 3 && IsEucTrail(static_cast<unsigned char>(bytes[i + 1]))
        && IsEucTrail(static_cast<unsigned char>(bytes[i + 2]))) {
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const auto third = static_cast<unsigned char>(bytes[i + 2]);
        i += 3;
        const char32_t cp = t.x0212[EucIndex(second, third)];
        return cp == kNone ? kEucTripleBase + (second << 8 | third) : cp;
    }
    if ((b == 0x8E || IsEucTrail(b)) && left >= 2 && IsEucTrail(static_cast<unsigned char>(bytes[i + 1]))) {
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        i += 2;
        if (b == 0x8E)
            return trail <= 0xDF ? 0xFF61 + trail - 0xA1 : kEscapeBase + (b << 8 | trail);
        const char32_t cp = t.x0208[EucIndex(b, trail)];
        return cp == kNone ? kEscapeBase + (b << 8 | trail) : cp;
    }
    ++i;
    return kEscapeBase + b;
}

std::string EscapeBytes(char32_t cp)
{
    if (cp >= kEscapeBase && cp <= kEscapeEnd)
        return std::string(1, static_cast<char>(cp - kEscapeBase));
    if (cp >= kEscapeBase + 0x8EA1 && cp <= kEscapeBase + 0xFEFE) {
        const unsigned lead = (cp - kEscapeBase) >> 8;
        const unsigned trail = (cp - kEscapeBase) & 0xFF;
        if ((lead == 0x8E || IsEucTrail(lead)) && IsEucTrail(trail))
            return std::string { static_cast<char>(lead), static_cast<char>(trail) };
    }
    if (cp >= kEucTripleBase + 0xA1A1 && cp <= kEucTripleBase + 0xFEFE) {
        const unsigned second = (cp - kEucTripleBase) >> 8;
        const unsigned third = (cp - kEucTripleBase) & 0xFF;
        if (IsEucTrail(second) && IsEucTrail(third))
            return std::string { '\x8F', static_cast<char>(second), static_cast<char>(third) };
    }
    return {};
}

bool Write(char32_t cp, std::string& out)
{
    const EucTables& t = GetEucTables();
    if (cp < 0x10000 && t.encodeBmp[cp] != 0) {
        const uint32_t code = t.encodeBmp[cp];
        if (code > 0xFFFF)
            out += static_cast<char>(code >> 16);
        if (code > 0xFF)
            out += static_cast<char>((code >> 8) & 0xFF);
        out += static_cast<char>(code & 0xFF);
        return true;
    }
    const std::string raw = EscapeBytes(cp);
    out += raw;
    return !raw.empty();
}

char32_t Alias(char32_t cp)
{
    const auto& alias = GetEucTables().alias;
    const auto it = alias.find(cp);
    return it == alias.end() ? 0 : it->second;
}

} // namespace

const CodecTable& EucJpCodec()
{
    static constexpr CodecTable table { Token, Write, EscapeBytes, Alias };
    return table;
}

} // namespace pw::codec::detail
