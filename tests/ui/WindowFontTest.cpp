#include "ui/qt/WindowFont.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <cstdlib>
#include <memory>

namespace veltrona::ui {
namespace {

// The figures below are those of the window's designed layout, which the installed font
// must reproduce to the pixel.
class WindowFontFile : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!QFile::exists(kWindowFontFile)) {
            // The test command installs the font, so there its absence is a fault.
            if (std::getenv("VELTRONA_REQUIRE_WINDOW_FONT") != nullptr) {
                FAIL() << kWindowFontFile << " is missing (Debian package fonts-wine)";
            }
            GTEST_SKIP() << kWindowFontFile << " is not installed (Debian package fonts-wine)";
        }
        useWindowFont();
    }
};

TEST_F(WindowFontFile, IsTheBitmapFaceThatSizesTheLabelsAsDesigned) {
    EXPECT_EQ(QFontInfo(windowFont()).family(), "MS Sans Serif");
    const struct {
        const char* text;
        int width;
    } labels[] = {{"AET", 21},
                  {"PORT", 30},
                  {"IB", 10},
                  {"DB", 15},
                  {"Maximal", 38},
                  {"Max", 20},
                  {"Tage lokal", 50},
                  {"Min", 17},
                  {"MByte", 30},
                  {"Additional parameters", 101},
                  // The extent behind the dialogs' average character size, X = 6 and Y = 13.
                  {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 323}};
    for (const auto& label : labels) {
        EXPECT_EQ(labelTextSize(windowFont(), label.text), QSize(label.width, 13)) << label.text;
    }
}

TEST_F(WindowFontFile, WidensEmboldenedTextByOnePixelPerCharacterPlusOne) {
    QFont bold = windowFont();
    bold.setBold(true);
    EXPECT_EQ(labelTextSize(bold, "Server Status"), QSize(78, 13));
}

// An empty label sizes itself by the font's average character width.
TEST_F(WindowFontFile, GivesAnEmptyLabelAFewPixelsNotHundreds) {
    QLabel empty;
    empty.setFont(windowFont());
    EXPECT_LE(empty.sizeHint().width(), 13);
}

// The longest caption of the transfer-syntax buttons in its designed 161 pixels, in the
// style of Qt's modelled on the platform the window was designed on.
TEST_F(WindowFontFile, LongestRadioCaptionFitsItsButtonInTheWindowsStyle) {
    const std::unique_ptr<QStyle> style(QStyleFactory::create("Windows"));
    ASSERT_NE(style, nullptr);
    QRadioButton button("Compatibility mode (ImplicitVR)");
    button.setStyle(style.get());
    button.setFont(windowFont());
    button.setGeometry(16, 216, 161, 17);
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect text = style->subElementRect(QStyle::SE_RadioButtonContents, &option, &button);
    EXPECT_GE(text.width(), labelTextSize(windowFont(), button.text()).width());
}

}  // namespace
}  // namespace veltrona::ui
