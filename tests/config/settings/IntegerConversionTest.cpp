#include "config/settings/IntegerConversion.h"

#include <gtest/gtest.h>

namespace veltrona::config {
namespace {

TEST(IntegerConversion, AcceptsSignedDecimalAndHexWithin32Bits) {
    const struct {
        const char* name;
        const char* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"Decimal", "104", 104},
        {"LeadingZeros", "007", 7},
        {"ManyLeadingZeros", "000000000000000000042", 42},
        {"Zero", "0", 0},
        {"PlusSign", "+5", 5},
        {"MinusSign", "-5", -5},
        {"Max", "2147483647", 2147483647},
        {"Min", "-2147483648", INT32_MIN},
        {"DollarHex", "$1F", 31},
        {"ZeroXHex", "0x1f", 31},
        {"ZeroUpperXHex", "0X1F", 31},
        {"NegativeHex", "-$10", -16},
        {"HexMax", "$7FFFFFFF", 2147483647},
        {"HexMinWithSign", "-0x80000000", INT32_MIN},
        {"JustZeroX", "0x", std::nullopt},
        {"JustDollar", "$", std::nullopt},
        {"JustSign", "-", std::nullopt},
        {"Empty", "", std::nullopt},
        // Hex digits denote a magnitude: beyond the signed range they are no integer,
        // rather than wrapping round to a negative number.
        {"HexAllOnesIsOutOfRange", "$FFFFFFFF", std::nullopt},
        {"HexJustOverMax", "0x80000000", std::nullopt},
        {"OverMax", "2147483648", std::nullopt},
        {"UnderMin", "-2147483649", std::nullopt},
        {"FarOutOfRange", "99999999999999999999999", std::nullopt},
        {"Unit", "10 MB", std::nullopt},
        {"LeadingBlank", " 1", std::nullopt},
        {"TrailingBlank", "1 ", std::nullopt},
        {"Letters", "abc", std::nullopt},
        {"HexDigitWithoutPrefix", "1F", std::nullopt},
        {"HexLetterBeyondF", "$1G", std::nullopt},
        {"DoubleSign", "--1", std::nullopt},
        {"SignAfterPrefix", "$-1", std::nullopt},
        {"Fraction", "1.5", std::nullopt},
        {"Exponent", "1e3", std::nullopt},
        {"LowerXWithoutZero", "x10", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseInteger(c.text), c.value) << c.name << ": \"" << c.text << '"';
    }
}

}  // namespace
}  // namespace veltrona::config
