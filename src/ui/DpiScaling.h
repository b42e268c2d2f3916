#pragma once

#include "ui/PromptGeometry.h"

namespace veltrona::ui {

// The pixels per inch that a form's description measures in: its bounds, its client size.
constexpr int kDesignPixelsPerInch = 96;

// A length of the description at `pixelsPerInch`, as a scaled dialog makes it:
// mulDiv(pixels, pixelsPerInch, 96), halves away from zero (727.5 gives 728).
int scaled(int pixels, int pixelsPerInch);
// Each of the four numbers scaled alone, so that a control keeps its designed size
// wherever it stands.
Rect scaled(const Rect& bounds, int pixelsPerInch);

}  // namespace veltrona::ui
