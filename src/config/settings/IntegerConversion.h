#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrona::config {

// The standard integer conversion of settings values: an optional sign, then decimal
// digits, or hexadecimal digits after "$" or "0x"/"0X". Nothing else may stand in the
// text; empty text and numbers outside the signed 32-bit range give no value.
std::optional<std::int32_t> parseInteger(std::string_view text);

}  // namespace veltrona::config
