// The system's error texts as the tool shows them.
#include "config/file/windows/SystemError.h"

#include <gtest/gtest.h>

namespace veltrona::config {
namespace {

TEST(SystemMessage, IsTheSystemsTextWithoutLineBreakOrClosingPeriod) {
    const std::string text = systemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("Systemfehler"), std::string::npos) << text;
    EXPECT_EQ(std::string(".\r\n ").find(text.back()), std::string::npos) << text;
}

TEST(SystemMessage, NamesTheCodeWhereTheSystemHasNoText) {
    EXPECT_EQ(systemMessage(0x2000FFFF), "Systemfehler 536936447");
}

}  // namespace
}  // namespace veltrona::config
