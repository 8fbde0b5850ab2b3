#include "base/sjistext.h"

#include "text/codec.h"

#include <cstdio>
#include <cstdlib>

namespace pw {

std::string SjisTextBytes(std::string_view utf8)
{
    codec::EncodeResult encoded = codec::EncodeSjis(utf8);
    if (encoded.unencodable != 0) {
        std::fprintf(stderr, "pagewick: the text \"%.*s\" has characters Shift_JIS cannot hold\n",
            static_cast<int>(utf8.size()), utf8.data());
        std::abort();
    }
    return std::move(encoded.bytes);
}

} // namespace pw
