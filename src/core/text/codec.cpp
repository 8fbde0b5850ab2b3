#include "text/codec.h"

#include "text/sjis.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace pw::codec {

namespace {

constexpr char32_t kNone = 0xFFFFFFFF;
constexpr char32_t kReplacement = 0xFFFD;

// Converts one token with glibc's CP932 table. Returns the code points, or an
// empty vector when iconv reports the bytes as invalid or incomplete.
std::vector<char32_t> IconvDecode(iconv_t cd, const unsigned char* bytes, size_t length)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[4];
    std::memcpy(in, bytes, length);
    char32_t out[8];
    char* inPtr = in;
    size_t inLeft = length;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return {};
    const size_t count = (sizeof out - outLeft) / sizeof(char32_t);
    return std::vector<char32_t>(out, out + count);
}

std::string IconvEncode(iconv_t cd, char32_t cp)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char32_t in = cp;
    char out[8];
    char* inPtr = reinterpret_cast<char*>(&in);
    size_t inLeft = sizeof in;
    char* outPtr = out;
    size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return {};
    return std::string(out, sizeof out - outLeft);
}

// Tables built once from glibc's CP932 converter.
struct Tables {
    std::array<char32_t, 256> single {}; // one-byte tokens; kNone: escape
    std::vector<char32_t> pair; // (lead << 8 | trail); kNone: escape
    std::vector<uint16_t> encodeBmp; // code point -> bytes (0: not in CP932)
    std::unordered_map<uint16_t, char32_t> alias; // escaped duplicates -> their character

    Tables()
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
                const unsigned char bytes[2]
                    = { static_cast<unsigned char>(lead), static_cast<unsigned char>(trail) };
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
};

const Tables& GetTables()
{
    static const Tables tables;
    return tables;
}

// Decodes the token at `i` into one code point and advances `i`.
char32_t SjisToken(const Tables& t, std::string_view bytes, size_t& i)
{
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

size_t Utf8Length(char32_t cp)
{
    if (cp < 0x80)
        return 1;
    if (cp < 0x800)
        return 2;
    if (cp < 0x10000)
        return 3;
    return 4;
}

std::string CharacterReference(char32_t cp)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(cp));
    return buffer;
}

// The bytes an escape code point stands for; empty when `cp` is no escape.
std::string EscapeBytes(char32_t cp)
{
    if (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF)
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

} // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t NextUtf8(std::string_view s, size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > s.size()) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

std::string DecodeSjis(std::string_view bytes)
{
    const Tables& t = GetTables();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x01 && b < 0x80) { // fast path for ASCII
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        AppendUtf8(out, SjisToken(t, bytes, i));
    }
    return out;
}

EncodeResult EncodeSjis(std::string_view utf8)
{
    const Tables& t = GetTables();
    EncodeResult result;
    result.bytes.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x01 && b < 0x80) {
            result.bytes += static_cast<char>(b);
            ++i;
            continue;
        }
        const char32_t cp = NextUtf8(utf8, i);
        if (cp < 0x10000 && t.encodeBmp[cp] != 0) {
            const uint16_t code = t.encodeBmp[cp];
            if (code > 0xFF)
                result.bytes += static_cast<char>(code >> 8);
            result.bytes += static_cast<char>(code & 0xFF);
            continue;
        }
        const std::string raw = EscapeBytes(cp);
        if (!raw.empty()) {
            result.bytes += raw;
            continue;
        }
        result.bytes += CharacterReference(cp);
        ++result.unencodable;
    }
    return result;
}

bool IsEscape(char32_t cp)
{
    return !EscapeBytes(cp).empty();
}

std::string EscapeLabel(char32_t cp)
{
    const std::string raw = EscapeBytes(cp);
    if (raw.size() == 2) {
        const auto& alias = GetTables().alias;
        const uint16_t code
            = static_cast<uint16_t>(static_cast<unsigned char>(raw[0]) << 8 | static_cast<unsigned char>(raw[1]));
        if (auto it = alias.find(code); it != alias.end()) {
            std::string glyph;
            AppendUtf8(glyph, it->second);
            return glyph;
        }
    }
    std::string label;
    for (char c : raw) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "x%02X", static_cast<unsigned char>(c));
        label += buffer;
    }
    return label;
}

size_t EncodedWidth(char32_t cp)
{
    const Tables& t = GetTables();
    if (cp < 0x10000 && t.encodeBmp[cp] != 0)
        return t.encodeBmp[cp] > 0xFF ? 2 : 1;
    const std::string raw = EscapeBytes(cp);
    if (!raw.empty())
        return raw.size();
    return CharacterReference(cp).size();
}

namespace {

constexpr char32_t kEscapeEnd = kEscapeBase + 0xFF; // last one-byte escape
constexpr char32_t kEucTripleBase = 0x100000; // 8F tokens: U+100000 + (second << 8 | third)

// ---- UTF-8 pages

// The well-formed sequence at `i` as one code point; 0xFFFFFFFF when the bytes
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

char32_t Utf8PageToken(std::string_view bytes, size_t& i)
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

std::string DecodeUtf8Page(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 16);
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t start = i;
        const char32_t cp = Utf8PageToken(bytes, i);
        if (cp >= kEscapeBase && cp <= kEscapeEnd)
            AppendUtf8(out, cp);
        else
            out.append(bytes.substr(start, i - start)); // well-formed: the same bytes
    }
    return out;
}

EncodeResult EncodeUtf8Page(std::string_view utf8)
{
    EncodeResult result;
    result.bytes.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            result.bytes += static_cast<char>(b);
            ++i;
            continue;
        }
        const char32_t cp = NextUtf8(utf8, i);
        if (cp >= kEscapeBase && cp <= kEscapeEnd)
            result.bytes += static_cast<char>(cp - kEscapeBase);
        else
            AppendUtf8(result.bytes, cp);
    }
    return result;
}

// ---- EUC-JP pages

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
        const Tables& sjis = GetTables();
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

char32_t EucToken(const EucTables& t, std::string_view bytes, size_t& i)
{
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

std::string EucEscapeBytes(char32_t cp)
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

std::string DecodeEucJp(std::string_view bytes)
{
    const EucTables& t = GetEucTables();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x01 && b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        AppendUtf8(out, EucToken(t, bytes, i));
    }
    return out;
}

EncodeResult EncodeEucJp(std::string_view utf8)
{
    const EucTables& t = GetEucTables();
    EncodeResult result;
    result.bytes.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x01 && b < 0x80) {
            result.bytes += static_cast<char>(b);
            ++i;
            continue;
        }
        const char32_t cp = NextUtf8(utf8, i);
        if (cp < 0x10000 && t.encodeBmp[cp] != 0) {
            const uint32_t code = t.encodeBmp[cp];
            if (code > 0xFFFF)
                result.bytes += static_cast<char>(code >> 16);
            if (code > 0xFF)
                result.bytes += static_cast<char>((code >> 8) & 0xFF);
            result.bytes += static_cast<char>(code & 0xFF);
            continue;
        }
        const std::string raw = EucEscapeBytes(cp);
        if (!raw.empty()) {
            result.bytes += raw;
            continue;
        }
        result.bytes += CharacterReference(cp);
        ++result.unencodable;
    }
    return result;
}

std::string ByteLabel(std::string_view raw)
{
    std::string label;
    for (char c : raw) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "x%02X", static_cast<unsigned char>(c));
        label += buffer;
    }
    return label;
}

} // namespace

std::string Decode(PageEncoding encoding, std::string_view bytes)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return DecodeUtf8Page(bytes);
    case PageEncoding::EucJp:
        return DecodeEucJp(bytes);
    case PageEncoding::ShiftJis:
        break;
    }
    return DecodeSjis(bytes);
}

EncodeResult Encode(PageEncoding encoding, std::string_view utf8)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return EncodeUtf8Page(utf8);
    case PageEncoding::EucJp:
        return EncodeEucJp(utf8);
    case PageEncoding::ShiftJis:
        break;
    }
    return EncodeSjis(utf8);
}

bool IsEscape(PageEncoding encoding, char32_t cp)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return cp >= kEscapeBase && cp <= kEscapeEnd;
    case PageEncoding::EucJp:
        return !EucEscapeBytes(cp).empty();
    case PageEncoding::ShiftJis:
        break;
    }
    return IsEscape(cp);
}

std::string EscapeLabel(PageEncoding encoding, char32_t cp)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return IsEscape(encoding, cp) ? ByteLabel(std::string(1, static_cast<char>(cp - kEscapeBase))) : "";
    case PageEncoding::EucJp: {
        const auto& alias = GetEucTables().alias;
        if (const auto it = alias.find(cp); it != alias.end()) {
            std::string glyph;
            AppendUtf8(glyph, it->second);
            return glyph;
        }
        return ByteLabel(EucEscapeBytes(cp));
    }
    case PageEncoding::ShiftJis:
        break;
    }
    return EscapeLabel(cp);
}

size_t EncodedWidth(PageEncoding encoding, char32_t cp)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return cp >= kEscapeBase && cp <= kEscapeEnd ? 1 : Utf8Length(cp);
    case PageEncoding::EucJp: {
        const EucTables& t = GetEucTables();
        if (cp < 0x10000 && t.encodeBmp[cp] != 0) {
            const uint32_t code = t.encodeBmp[cp];
            return code > 0xFFFF ? 3 : code > 0xFF ? 2 : 1;
        }
        const std::string raw = EucEscapeBytes(cp);
        return raw.empty() ? CharacterReference(cp).size() : raw.size();
    }
    case PageEncoding::ShiftJis:
        break;
    }
    return EncodedWidth(cp);
}

char32_t EscapeAlias(PageEncoding encoding, char32_t cp)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return 0;
    case PageEncoding::EucJp: {
        const auto& alias = GetEucTables().alias;
        const auto it = alias.find(cp);
        return it == alias.end() ? 0 : it->second;
    }
    case PageEncoding::ShiftJis:
        break;
    }
    const std::string raw = EscapeBytes(cp);
    if (raw.size() != 2)
        return 0;
    const auto& alias = GetTables().alias;
    const uint16_t code
        = static_cast<uint16_t>(static_cast<unsigned char>(raw[0]) << 8 | static_cast<unsigned char>(raw[1]));
    const auto it = alias.find(code);
    return it == alias.end() ? 0 : it->second;
}

char32_t NextToken(PageEncoding encoding, std::string_view bytes, size_t& i)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return Utf8PageToken(bytes, i);
    case PageEncoding::EucJp:
        return EucToken(GetEucTables(), bytes, i);
    case PageEncoding::ShiftJis:
        break;
    }
    return SjisToken(GetTables(), bytes, i);
}

namespace {

// Walks the tokens of `line`; `stop(byteStart, byteLength, cp)` returns true to
// stop before that token.
template <typename Stop> void WalkTokens(PageEncoding encoding, std::string_view line, Stop stop)
{
    size_t i = 0;
    while (i < line.size()) {
        const size_t start = i;
        const char32_t cp = NextToken(encoding, line, i);
        if (stop(start, i - start, cp))
            return;
    }
}

} // namespace

size_t ByteOffsetToUtf8Offset(std::string_view line, size_t byteOffset)
{
    return ByteOffsetToUtf8Offset(PageEncoding::ShiftJis, line, byteOffset);
}

size_t ByteOffsetToUtf8Offset(PageEncoding encoding, std::string_view line, size_t byteOffset)
{
    size_t utf8 = 0;
    WalkTokens(encoding, line, [&](size_t start, size_t length, char32_t cp) {
        if (start + length > byteOffset)
            return true;
        utf8 += Utf8Length(cp);
        return false;
    });
    return utf8;
}

size_t Utf8OffsetToByteOffset(std::string_view line, size_t utf8Offset)
{
    return Utf8OffsetToByteOffset(PageEncoding::ShiftJis, line, utf8Offset);
}

size_t Utf8OffsetToByteOffset(PageEncoding encoding, std::string_view line, size_t utf8Offset)
{
    size_t utf8 = 0;
    size_t bytes = 0;
    WalkTokens(encoding, line, [&](size_t start, size_t length, char32_t cp) {
        const size_t next = utf8 + Utf8Length(cp);
        if (next > utf8Offset)
            return true;
        utf8 = next;
        bytes = start + length;
        return false;
    });
    return bytes;
}

size_t ByteOffsetToCharIndex(std::string_view line, size_t byteOffset)
{
    return ByteOffsetToCharIndex(PageEncoding::ShiftJis, line, byteOffset);
}

size_t ByteOffsetToCharIndex(PageEncoding encoding, std::string_view line, size_t byteOffset)
{
    size_t index = 0;
    WalkTokens(encoding, line, [&](size_t start, size_t length, char32_t) {
        if (start + length > byteOffset)
            return true;
        ++index;
        return false;
    });
    return index;
}

size_t CharIndexToByteOffset(std::string_view line, size_t charIndex)
{
    return CharIndexToByteOffset(PageEncoding::ShiftJis, line, charIndex);
}

size_t CharIndexToByteOffset(PageEncoding encoding, std::string_view line, size_t charIndex)
{
    size_t index = 0;
    size_t bytes = 0;
    WalkTokens(encoding, line, [&](size_t start, size_t length, char32_t) {
        if (index >= charIndex)
            return true;
        ++index;
        bytes = start + length;
        return false;
    });
    return bytes;
}

} // namespace pw::codec
