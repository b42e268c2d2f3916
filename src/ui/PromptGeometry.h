#pragma once

#include <cstdint>

namespace veltrona::ui {

// number * numerator / denominator through a 64-bit intermediate, rounded to the
// nearest integer with halves away from zero: mulDiv(14, 13, 8) == 23.
int mulDiv(int number, int numerator, int denominator);

// Average character size of a font: the extent of "A".."Z" followed by "a".."z".
struct CharSize {
    int x = 0;  // width / 52, truncated
    int y = 0;  // height
};
CharSize averageCharSize(int extentWidthOf52Letters, int extentHeight);

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// The password prompt's layout in client pixels, from the dialog-unit rules.
struct PromptGeometry {
    int clientWidth = 0;
    int clientHeight = 0;
    int labelLeft = 0, labelTop = 0, labelMaxWidth = 0;
    Rect field;
    Rect okButton;
    Rect cancelButton;
    bool operator==(const PromptGeometry&) const = default;
};

// `labelHeight` is the prompt label's height once it is sized and wrapped within
// `labelMaxWidth`; `fieldHeight` the single-line field's natural height.
PromptGeometry promptGeometry(CharSize units, int labelHeight, int fieldHeight);

// The label's width limit alone, needed before the label can be wrapped.
int promptLabelMaxWidth(CharSize units);

}  // namespace veltrona::ui
