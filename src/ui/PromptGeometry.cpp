#include "PromptGeometry.h"

#include <cstdlib>
#include <limits>

namespace veltrona::ui {

int mulDiv(int number, int numerator, int denominator) {
    // A zero denominator and a result outside the int range both give -1, as the
    // platform's own MulDiv reports them.
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = std::int64_t{number} * numerator;
    const std::int64_t magnitudeProduct = product < 0 ? -product : product;
    const std::int64_t magnitudeDenominator =
        denominator < 0 ? -std::int64_t{denominator} : std::int64_t{denominator};
    // An exact half only occurs with an even denominator, where denominator / 2 is exact,
    // so adding it before the division rounds halves away from zero.
    std::int64_t quotient = (magnitudeProduct + magnitudeDenominator / 2) / magnitudeDenominator;
    if ((product < 0) != (denominator < 0)) {
        quotient = -quotient;
    }
    if (quotient > std::numeric_limits<int>::max() || quotient < -std::numeric_limits<int>::max()) {
        return -1;
    }
    return static_cast<int>(quotient);
}

CharSize averageCharSize(int extentWidthOf52Letters, int extentHeight) {
    return CharSize{extentWidthOf52Letters / 52, extentHeight};
}

namespace {

// Dialog units: four per average character width, eight per character height.
int horizontal(int dialogUnits, CharSize units) {
    return mulDiv(dialogUnits, units.x, 4);
}
int vertical(int dialogUnits, CharSize units) {
    return mulDiv(dialogUnits, units.y, 8);
}

// Plain pixel distances, independent of the font.
constexpr int kLabelToField = 5;
constexpr int kFieldToButtons = 15;
constexpr int kBelowButtons = 13;

}  // namespace

int promptLabelMaxWidth(CharSize units) {
    return horizontal(164, units);
}

PromptGeometry promptGeometry(CharSize units, int labelHeight, int fieldHeight) {
    PromptGeometry g;
    g.clientWidth = horizontal(180, units);
    g.labelLeft = horizontal(8, units);
    g.labelTop = vertical(8, units);
    g.labelMaxWidth = promptLabelMaxWidth(units);

    g.field = Rect{g.labelLeft, g.labelTop + labelHeight + kLabelToField, horizontal(164, units),
                   fieldHeight};

    const int buttonTop = g.field.top + g.field.height + kFieldToButtons;
    const int buttonWidth = horizontal(50, units);
    const int buttonHeight = vertical(14, units);
    g.okButton = Rect{horizontal(38, units), buttonTop, buttonWidth, buttonHeight};
    g.cancelButton = Rect{horizontal(92, units), buttonTop, buttonWidth, buttonHeight};

    g.clientHeight = g.cancelButton.top + g.cancelButton.height + kBelowButtons;
    return g;
}

}  // namespace veltrona::ui
