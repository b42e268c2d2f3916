#pragma once

#include <string_view>

namespace veltrona::ui {

// Exact, case-sensitive comparison of the whole of both texts. Its running time depends on
// the longer length only, never on where the texts first differ, so a wrong guess learns
// nothing from how long the refusal took.
bool equalsConstantTime(std::string_view a, std::string_view b);

}  // namespace veltrona::ui
