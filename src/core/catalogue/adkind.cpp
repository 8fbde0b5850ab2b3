#include "catalogue/adkind.h"

#include "text/sjis.h"

#include <cstdint>
#include <limits>

namespace pw {

namespace {

// ASCII capitals to small letters, leaving the second byte of double-byte
// characters alone (it may hold the codes of "A" to "Z").
std::string ToLowerAscii(std::string_view s)
{
    std::string out(s);
    for (size_t i = 0; i < out.size();) {
        const size_t length = sjis::CharLength(out, i);
        if (length == 1 && out[i] >= 'A' && out[i] <= 'Z')
            out[i] = static_cast<char>(out[i] - 'A' + 'a');
        i += length;
    }
    return out;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Finds the first size of at least 2 after `word`, as described above. Returns
// false when `word` is missing at a point where the tag flag is not set.
bool FindSize(std::string_view text, std::string_view word, bool tagFlag, int32_t& size)
{
    size = 0;
    size_t from = 0;
    do {
        const size_t found = text.find(word, from);
        if (found == std::string_view::npos)
            return tagFlag;
        size_t i = found;
        while (i < text.size() && !IsDigit(text[i]))
            ++i;
        if (i < text.size()) {
            int64_t value = 0;
            while (i < text.size() && IsDigit(text[i])) {
                value = value * 10 + (text[i] - '0');
                if (value > std::numeric_limits<int32_t>::max())
                    value = std::numeric_limits<int32_t>::max();
                ++i;
            }
            size = static_cast<int32_t>(value);
        }
        from = i;
    } while (size == 0 || size == 1);
    return true;
}

} // namespace

AdKind DetectAdKind(std::string_view html, const NetworkList& networks)
{
    AdKind result;
    const std::string copy = ToLowerAscii(html);
    for (const auto& network : networks) {
        if (!network->Character.empty() && copy.find(network->Character) != std::string::npos) {
            result.Network = network.get();
            break;
        }
    }
    const bool tagFlag = copy.find("<img") != std::string::npos || copy.find("<iframe") != std::string::npos;
    int32_t width = 0;
    int32_t height = 0;
    if (!FindSize(copy, "width", tagFlag, width) || !FindSize(copy, "height", tagFlag, height)) {
        result.KindText = kKindUnknown;
        return result;
    }
    if (width == 1 && height == 1)
        result.KindText = kKindText;
    else if (tagFlag && width < 1 && height < 1)
        result.KindText = kKindImage;
    else
        result.KindText = std::string(kKindImage) + std::to_string(width) + "x" + std::to_string(height);
    return result;
}

} // namespace pw
