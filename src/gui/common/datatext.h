#pragma once

#include "base/result.h"

#include <QString>

#include <string>
#include <string_view>

namespace pw::gui {

// The one crossing between the core's Shift_JIS bytes and the window's
// Unicode text, through the lossless codec.
QString FromData(std::string_view data);
std::string ToData(const QString& text);

// The error text of a failed operation of the core, which is program text.
QString ErrorText(const Status& status);

} // namespace pw::gui
