#pragma once

#include <cstdint>
#include <string_view>

namespace pw {

// Converts a signed 32-bit decimal number (optional sign, then digits only).
// Returns false, leaving `value` alone, for anything else.
bool ParseDecimal(std::string_view text, int32_t& value);

} // namespace pw
