#include "ui/SpinEditText.h"

#include <algorithm>

namespace veltrona::ui {

bool spinEditAccepts(std::string_view text) {
    if (text.starts_with('-')) {
        text.remove_prefix(1);
    }
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace veltrona::ui
