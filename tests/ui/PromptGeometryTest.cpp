#include "ui/PromptGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace veltrona::ui {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << "," << r.top << " " << r.width << "x" << r.height << "}";
}

void PrintTo(const PromptGeometry& g, std::ostream* os) {
    *os << "client " << g.clientWidth << "x" << g.clientHeight << ", label " << g.labelLeft << ","
        << g.labelTop << " max " << g.labelMaxWidth << ", field ";
    PrintTo(g.field, os);
    *os << ", ok ";
    PrintTo(g.okButton, os);
    *os << ", cancel ";
    PrintTo(g.cancelButton, os);
}

namespace {

struct MulDivCase {
    const char* name;
    int number, numerator, denominator, expected;
};

class MulDivRounding : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivRounding, RoundsToNearestWithHalvesAwayFromZero) {
    const MulDivCase& c = GetParam();
    EXPECT_EQ(mulDiv(c.number, c.numerator, c.denominator), c.expected);
}

const MulDivCase kMulDivCases[] = {
    {"ButtonHeight", 14, 13, 8, 23},           {"HalfGoesUp", 50, 5, 4, 63},
    {"NegativeHalfGoesDown", -50, 5, 4, -63},  {"NegativeDenominator", 50, 5, -4, -63},
    {"BothNegative", -50, -5, 4, 63},          {"BelowHalfTruncates", 7, 1, 3, 2},
    {"AboveHalfRoundsUp", 5, 1, 3, 2},         {"Exact", 180, 6, 4, 270},
    {"ZeroDenominator", 1, 1, 0, -1},          {"ProductBeyond32Bits", INT_MAX, 4, 8, 1073741824},
    {"ResultBeyond32Bits", INT_MAX, 2, 1, -1},
};

INSTANTIATE_TEST_SUITE_P(Table, MulDivRounding, ::testing::ValuesIn(kMulDivCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AverageCharSize, TruncatesTheWidthAndKeepsTheHeight) {
    EXPECT_EQ(averageCharSize(312, 13).x, 6);
    EXPECT_EQ(averageCharSize(363, 13).x, 6);
    EXPECT_EQ(averageCharSize(364, 15).x, 7);
    EXPECT_EQ(averageCharSize(364, 15).y, 15);
}

struct GeometryCase {
    const char* name;
    CharSize units;
    int labelHeight, fieldHeight;
    PromptGeometry expected;
};

class PromptLayout : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(PromptLayout, FollowsTheDialogUnits) {
    const GeometryCase& c = GetParam();
    EXPECT_EQ(promptGeometry(c.units, c.labelHeight, c.fieldHeight), c.expected);
    EXPECT_EQ(promptLabelMaxWidth(c.units), c.expected.labelMaxWidth);
}

const GeometryCase kGeometryCases[] = {
    // The one-line prompt of the reference example.
    {"OneLinePrompt",
     {6, 13},
     13,
     21,
     {270, 103, 12, 13, 246, {12, 31, 246, 21}, {57, 67, 75, 23}, {138, 67, 75, 23}}},
    // Three wrapped lines: field, buttons and client height move down by 26.
    {"WrappedPrompt",
     {6, 13},
     39,
     21,
     {270, 129, 12, 13, 246, {12, 57, 246, 21}, {57, 93, 75, 23}, {138, 93, 75, 23}}},
    // A larger font: every dialog unit scales, the plain pixel gaps do not.
    {"LargerFont",
     {7, 16},
     16,
     24,
     {315, 117, 14, 16, 287, {14, 37, 287, 24}, {67, 76, 88, 28}, {161, 76, 88, 28}}},
};

INSTANTIATE_TEST_SUITE_P(Table, PromptLayout, ::testing::ValuesIn(kGeometryCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrona::ui
