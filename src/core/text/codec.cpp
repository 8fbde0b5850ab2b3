// The codec's one driver: decoding, encoding, escape labels and widths for
// every page encoding go through the encoding's table (codectable.h).
#include "text/codec.h"

#include "text/codectable.h"

#include <cstdio>
#include <cstring>

namespace pw::codec {

namespace detail {

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

} // namespace detail

namespace {

using detail::CodecTable;

constexpr char32_t kReplacement = 0xFFFD;

const CodecTable& TableOf(PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::Utf8:
        return detail::Utf8Codec();
    case PageEncoding::EucJp:
        return detail::EucJpCodec();
    case PageEncoding::ShiftJis:
        break;
    }
    return detail::SjisCodec();
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

std::string DecodeWith(const CodecTable& table, std::string_view bytes)
{
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
        AppendUtf8(out, table.token(bytes, i));
    }
    return out;
}

EncodeResult EncodeWith(const CodecTable& table, std::string_view utf8)
{
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
        if (table.write(cp, result.bytes))
            continue;
        result.bytes += CharacterReference(cp);
        ++result.unencodable;
    }
    return result;
}

std::string EscapeLabelWith(const CodecTable& table, char32_t cp)
{
    if (const char32_t alias = table.alias(cp)) {
        std::string glyph;
        AppendUtf8(glyph, alias);
        return glyph;
    }
    return ByteLabel(table.escapeBytes(cp));
}

size_t EncodedWidthWith(const CodecTable& table, char32_t cp)
{
    std::string bytes;
    return table.write(cp, bytes) ? bytes.size() : CharacterReference(cp).size();
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
    return DecodeWith(detail::SjisCodec(), bytes);
}

EncodeResult EncodeSjis(std::string_view utf8)
{
    return EncodeWith(detail::SjisCodec(), utf8);
}

bool IsEscape(char32_t cp)
{
    return IsEscape(PageEncoding::ShiftJis, cp);
}

std::string EscapeLabel(char32_t cp)
{
    return EscapeLabel(PageEncoding::ShiftJis, cp);
}

size_t EncodedWidth(char32_t cp)
{
    return EncodedWidth(PageEncoding::ShiftJis, cp);
}

std::string Decode(PageEncoding encoding, std::string_view bytes)
{
    return DecodeWith(TableOf(encoding), bytes);
}

EncodeResult Encode(PageEncoding encoding, std::string_view utf8)
{
    return EncodeWith(TableOf(encoding), utf8);
}

bool IsEscape(PageEncoding encoding, char32_t cp)
{
    return !TableOf(encoding).escapeBytes(cp).empty();
}

std::string EscapeLabel(PageEncoding encoding, char32_t cp)
{
    return EscapeLabelWith(TableOf(encoding), cp);
}

size_t EncodedWidth(PageEncoding encoding, char32_t cp)
{
    return EncodedWidthWith(TableOf(encoding), cp);
}

char32_t EscapeAlias(PageEncoding encoding, char32_t cp)
{
    return TableOf(encoding).alias(cp);
}

char32_t NextToken(PageEncoding encoding, std::string_view bytes, size_t& i)
{
    return TableOf(encoding).token(bytes, i);
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
