#pragma once

#include "text/codec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iconv.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What the codec's one driver needs to know of a page encoding. Each encoding
// fills one table in its own file (sjiscodec.cpp, eucjpcodec.cpp,
// utf8codec.cpp); codec.cpp decodes, encodes, labels and measures through it.
namespace pw::codec::detail {

constexpr char32_t kNone = 0xFFFFFFFF;
constexpr char32_t kEscapeEnd = kEscapeBase + 0xFF; // last one-byte escape
constexpr char32_t kEucTripleBase = 0x100000; // EUC-JP 8F tokens: U+100000 + (second << 8 | third)

struct CodecTable {
    // Decodes the token at `i` (one code point, an escape for bytes that
    // spell no character) and advances `i` past its bytes.
    char32_t (*token)(std::string_view bytes, size_t& i);
    // Appends the bytes of a character or of an escape; false when the
    // encoding holds neither (the driver then writes "&#xHHHH;").
    bool (*write)(char32_t cp, std::string& out);
    // The bytes an escape stands for; empty for any other code point.
    std::string (*escapeBytes)(char32_t cp);
    // The character an escape spells (a second spelling, or a character the
    // encoding does not hold as such); 0 for other code points.
    char32_t (*alias)(char32_t cp);
};

const CodecTable& SjisCodec();
const CodecTable& EucJpCodec();
const CodecTable& Utf8Codec();

// The Shift_JIS (CP932) tables, which the EUC-JP tables are built from.
struct SjisTables {
    std::array<char32_t, 256> single {}; // one-byte tokens; kNone: escape
    std::vector<char32_t> pair; // (lead << 8 | trail); kNone: escape
    std::vector<uint16_t> encodeBmp; // code point -> bytes (0: not in CP932)
    std::unordered_map<uint16_t, char32_t> alias; // escaped duplicates -> their character

    SjisTables();
};

const SjisTables& GetSjisTables();

// One token through glibc: the code points, or an empty vector when iconv
// reports the bytes as invalid or incomplete.
std::vector<char32_t> IconvDecode(iconv_t cd, const unsigned char* bytes, size_t length);
// One code point through glibc; empty when the encoding lacks it.
std::string IconvEncode(iconv_t cd, char32_t cp);

} // namespace pw::codec::detail
