#include "ui/DpiScaling.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrona::ui {
namespace {

struct ScalingCase {
    const char* name;
    Rect design;
    int pixelsPerInch;
    Rect expected;
};

class DpiScaling : public ::testing::TestWithParam<ScalingCase> {};

TEST_P(DpiScaling, ScalesEachNumberRoundingHalvesUp) {
    const ScalingCase& c = GetParam();
    EXPECT_EQ(scaled(c.design, c.pixelsPerInch), c.expected);
}

// The window's client area (485 x 432) and its first button (48, 24, 169 x 25) at the
// usual settings: 100, 125, 150 and 200 per cent.
const ScalingCase kScalingCases[] = {
    {"ClientAt96", {0, 0, 485, 432}, 96, {0, 0, 485, 432}},
    {"ClientAt120", {0, 0, 485, 432}, 120, {0, 0, 606, 540}},
    {"ClientAt144", {0, 0, 485, 432}, 144, {0, 0, 728, 648}},
    {"ClientAt192", {0, 0, 485, 432}, 192, {0, 0, 970, 864}},
    {"ButtonAt120", {48, 24, 169, 25}, 120, {60, 30, 211, 31}},
    {"ButtonAt144", {48, 24, 169, 25}, 144, {72, 36, 254, 38}},
    {"BelowTheDesign", {48, 24, 169, 25}, 72, {36, 18, 127, 19}},
    {"NegativeHalfAwayFromZero", {-3, -1, 0, 1}, 144, {-5, -2, 0, 2}},
};

INSTANTIATE_TEST_SUITE_P(Table, DpiScaling, ::testing::ValuesIn(kScalingCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrona::ui
