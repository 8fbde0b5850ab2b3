#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pw {

enum class LineBreak { CrLf, Lf };

// Splits text into lines at CR LF, lone LF and lone CR. A break at the very
// end adds no empty last line. With `stopAtNul`, a NUL byte ends the text.
std::vector<std::string> SplitLines(std::string_view text, bool stopAtNul = false);

// The style of the first line break: CR LF when the first break is CR LF,
// otherwise LF (also for a text without any break).
LineBreak FirstLineBreak(std::string_view text);

// Joins lines, writing the break after every line, the last one included.
std::string JoinLines(const std::vector<std::string>& lines, LineBreak lineBreak);

} // namespace pw
