#pragma once

#include <string_view>

namespace veltrona::ui {

// What typing and pasting may leave in a spin edit: digits, with a minus sign in front.
// An empty field and a lone minus pass, on the way to a number; the form reads whatever
// text stands there when it needs a value. A text that code puts into the field is never
// checked.
bool spinEditAccepts(std::string_view text);

}  // namespace veltrona::ui
