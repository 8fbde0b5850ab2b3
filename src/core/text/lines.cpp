#include "text/lines.h"

#include <cstring>

namespace pw {

std::vector<std::string> SplitLines(std::string_view text, bool stopAtNul)
{
    if (stopAtNul) {
        const auto nul = text.find('\0');
        if (nul != std::string_view::npos)
            text = text.substr(0, nul);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t i = start;
        while (i < n && text[i] != '\r' && text[i] != '\n')
            ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < n && text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
            i += 2;
        else if (i < n)
            i += 1;
        start = i;
    }
    return lines;
}

LineBreak FirstLineBreak(std::string_view text)
{
    const size_t i = text.find_first_of("\r\n");
    if (i != std::string_view::npos && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        return LineBreak::CrLf;
    return LineBreak::Lf;
}

std::string JoinLines(const std::vector<std::string>& lines, LineBreak lineBreak)
{
    const char* eol = lineBreak == LineBreak::CrLf ? "\r\n" : "\n";
    const size_t eolLength = std::strlen(eol);
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + eolLength;
    std::string text;
    text.reserve(total);
    for (const auto& line : lines) {
        text += line;
        text += eol;
    }
    return text;
}

} // namespace pw
