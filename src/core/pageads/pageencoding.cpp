#include "pageads/pageencoding.h"

#include "text/sjis.h"

#include <cstring>

namespace pw {

std::string ToPageText(PageEncoding encoding, std::string_view programText)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return std::string(programText);
}

std::string FromPageText(PageEncoding encoding, std::string_view pageText)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return std::string(pageText);
}

size_t FindPageChar(PageEncoding encoding, std::string_view text, char c, size_t from)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    // Fast path: find the byte, then make sure it is not the second byte of a
    // double-byte character by walking from `from` only up to the hit.
    size_t i = from;
    while (i < text.size()) {
        const void* hit = std::memchr(text.data() + i, c, text.size() - i);
        if (!hit)
            return std::string_view::npos;
        const size_t at = static_cast<const char*>(hit) - text.data();
        // Step over whole characters from i up to the hit.
        while (i < at)
            i += sjis::CharLength(text, i);
        if (i == at)
            return at;
        // The hit was a trail byte; go on after that character.
    }
    return std::string_view::npos;
}

} // namespace pw
