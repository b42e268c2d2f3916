#include "ui/SecretCompare.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrona::ui {
namespace {

struct CompareCase {
    const char* name;
    std::string_view a, b;
    bool equal;
};

class SecretCompare : public ::testing::TestWithParam<CompareCase> {};

TEST_P(SecretCompare, IsExactOverTheWholeLength) {
    const CompareCase& c = GetParam();
    EXPECT_EQ(equalsConstantTime(c.a, c.b), c.equal);
    EXPECT_EQ(equalsConstantTime(c.b, c.a), c.equal);
}

using namespace std::string_view_literals;

const CompareCase kCompareCases[] = {
    {"Same", "Geheim42", "Geheim42", true},
    {"BothEmpty", "", "", true},
    {"EmptyAgainstText", "", "Geheim42", false},
    {"OtherLetterCase", "Geheim42", "geheim42", false},
    {"LeadingBlank", "Geheim42", " Geheim42", false},
    {"TrailingBlank", "Geheim42", "Geheim42 ", false},
    {"Prefix", "Geheim42", "Geheim", false},
    {"LastByteDiffers", "Geheim42", "Geheim43", false},
    {"TrailingNul", "Geheim42", "Geheim42\0"sv, false},
    {"HighBytes", "\xC4pfel", "\xE4pfel", false},
};

INSTANTIATE_TEST_SUITE_P(Table, SecretCompare, ::testing::ValuesIn(kCompareCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltrona::ui
