#include "text/sjis.h"

namespace pw::sjis {

size_t FindChar(std::string_view s, char c, size_t from)
{
    size_t i = from;
    while (i < s.size()) {
        if (s[i] == c)
            return i;
        i += CharLength(s, i);
    }
    return std::string_view::npos;
}

size_t CharStart(std::string_view s, size_t lineStart, size_t i)
{
    size_t p = lineStart;
    while (p < s.size()) {
        const size_t next = p + CharLength(s, p);
        if (next > i)
            return p;
        p = next;
    }
    return p;
}

std::string ToUpperAscii(std::string_view s)
{
    std::string out(s);
    for (size_t i = 0; i < out.size(); i += CharLength(out, i)) {
        if (out[i] >= 'a' && out[i] <= 'z')
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
    return out;
}

} // namespace pw::sjis
