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
    std::array<char32_t, 256> single{};          // one-byte tokens; kNone: escape
    std::vector<char32_t> pair;                   // (lead << 8 | trail); kNone: escape
    std::vector<uint16_t> encodeBmp;              // code point -> bytes (0: not in CP932)
    std::unordered_map<uint16_t, char32_t> alias; // escaped duplicates -> their character

    Tables() : pair(65536, kNone), encodeBmp(65536, 0)
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
                const unsigned char bytes[2] = {static_cast<unsigned char>(lead),
                                                static_cast<unsigned char>(trail)};
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
char32_t NextToken(const Tables& t, std::string_view bytes, size_t& i)
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
            return std::string{static_cast<char>(lead), static_cast<char>(trail)};
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
        AppendUtf8(out, NextToken(t, bytes, i));
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
        const uint16_t code = static_cast<uint16_t>(static_cast<unsigned char>(raw[0]) << 8
                                                    | static_cast<unsigned char>(raw[1]));
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

// Walks the tokens of `line`; `stop(byteStart, byteLength, cp)` returns true to
// stop before that token. Returns the number of bytes and code points passed.
template <typename Stop>
void WalkTokens(std::string_view line, Stop stop)
{
    const Tables& t = GetTables();
    size_t i = 0;
    while (i < line.size()) {
        const size_t start = i;
        const char32_t cp = NextToken(t, line, i);
        if (stop(start, i - start, cp))
            return;
    }
}

} // namespace

size_t ByteOffsetToUtf8Offset(std::string_view line, size_t byteOffset)
{
    size_t utf8 = 0;
    WalkTokens(line, [&](size_t start, size_t length, char32_t cp) {
        if (start + length > byteOffset)
            return true;
        utf8 += Utf8Length(cp);
        return false;
    });
    return utf8;
}

size_t Utf8OffsetToByteOffset(std::string_view line, size_t utf8Offset)
{
    size_t utf8 = 0;
    size_t bytes = 0;
    WalkTokens(line, [&](size_t start, size_t length, char32_t cp) {
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
    size_t index = 0;
    WalkTokens(line, [&](size_t start, size_t length, char32_t) {
        if (start + length > byteOffset)
            return true;
        ++index;
        return false;
    });
    return index;
}

size_t CharIndexToByteOffset(std::string_view line, size_t charIndex)
{
    size_t index = 0;
    size_t bytes = 0;
    WalkTokens(line, [&](size_t start, size_t length, char32_t) {
        if (index >= charIndex)
            return true;
        ++index;
        bytes = start + length;
        return false;
    });
    return bytes;
}

} // namespace pw::codec
