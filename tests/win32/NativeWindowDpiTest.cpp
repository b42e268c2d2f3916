// The administration window at the monitor's pixels per inch: the 96-DPI description
// scaled, the program's own window measured from outside, and the move to a monitor of
// other pixels per inch. The run under Wine sets the prefix's DPI (LogPixels) and names it
// in VELTRONA_TEST_DPI; without it the prefix is at 96.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Win32TestSupport.h"
#include "app/ServerAdminFormDescription.h"
#include "ui/win32/WideText.h"

namespace veltrona::testing {
namespace {

using ui::Rect;

int expectedDpi() {
    const char* dpi = std::getenv("VELTRONA_TEST_DPI");
    return dpi == nullptr ? 96 : std::atoi(dpi);
}

// What the window must look like at the usual settings, worked out by hand: 485 x 432
// and 8 points, times 1.25, 1.5 and 2, halves rounded up.
struct Expected {
    int dpi;
    int clientWidth, clientHeight;
    int fontHeight;
};
constexpr Expected kExpected[] = {
    {96, 485, 432, -11},
    {120, 606, 540, -13},
    {144, 728, 648, -16},
    {192, 970, 864, -21},
};

const Expected& expectedAt(int dpi) {
    for (const Expected& row : kExpected) {
        if (row.dpi == dpi) {
            return row;
        }
    }
    ADD_FAILURE() << "no expectations for " << dpi << " DPI";
    return kExpected[0];
}

UINT dpiOfWindow(HWND window) {
    using Function = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return getDpiForWindow == nullptr ? 0 : getDpiForWindow(window);
}

Rect scaledBy(const ui::ControlSpec& design, int dpi) {
    return {MulDiv(design.left, dpi, 96), MulDiv(design.top, dpi, 96),
            MulDiv(design.width, dpi, 96), MulDiv(design.height, dpi, 96)};
}

LONG fontHeightOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
}

SIZE textExtent(HWND control, const std::wstring& text) {
    const HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return extent;
}

Rect clientOf(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return {0, 0, client.right, client.bottom};
}

class NativeWindowDpi : public AdminWindowTest {
  protected:
    HWND parentOf(const ui::ControlSpec& design) {
        return design.parent.empty() ? view().handle() : view().control(design.parent);
    }
    // Every visual control at its designed bounds times dpi / 96, in the font of that
    // size; labels keep their aligned edge and top and fit their text.
    void expectScaledTo(int dpi) {
        const Expected& expected = expectedAt(dpi);
        for (const ui::ControlSpec& design : app::serverAdminFormSpec().controls) {
            if (!ui::isVisual(design.kind)) {
                continue;
            }
            SCOPED_TRACE(std::string(design.name));
            const HWND control = view().control(design.name);
            const Rect want = scaledBy(design, dpi);
            Rect bounds = boundsIn(control, parentOf(design));
            if (design.kind == ui::ControlKind::SpinEdit) {
                const Rect buttons = boundsIn(view().spinButtons(design.name), parentOf(design));
                EXPECT_EQ(buttons.left + buttons.width, want.left + want.width);
                EXPECT_EQ(buttons.height, want.height);
                bounds.width = buttons.left + buttons.width - bounds.left;
            }
            if (design.kind == ui::ControlKind::Label) {
                EXPECT_EQ(bounds.top, want.top);
                if (design.align == ui::Align::Right) {
                    EXPECT_EQ(bounds.left + bounds.width, want.left + want.width);
                } else {
                    EXPECT_EQ(bounds.left, want.left);
                }
                if (!design.wordWrap) {  // a synthesized bold face reaches one pixel further
                    const int extent = textExtent(control, windowText(control)).cx;
                    EXPECT_GE(bounds.width, extent);
                    EXPECT_LE(bounds.width, extent + 1);
                }
            } else if (design.kind == ui::ControlKind::CheckBox ||
                       design.kind == ui::ControlKind::RadioButton) {
                // May grow to the right to fit its caption (see CaptionsFitTheirControls).
                EXPECT_EQ((Rect{bounds.left, bounds.top, want.width, bounds.height}), want);
                EXPECT_GE(bounds.width, want.width);
            } else {
                EXPECT_EQ(bounds, want) << bounds.left << "," << bounds.top << " " << bounds.width
                                        << "x" << bounds.height;
            }
            EXPECT_EQ(fontHeightOf(control), expected.fontHeight);
        }
    }
};

TEST_F(NativeWindowDpi, ClientControlsAndFontGrowWithTheMonitor) {
    const int dpi = expectedDpi();
    makeWindow();
    // The program is aware of each monitor's pixels per inch, so the system scales nothing
    // for it: what the window asks for is what the screen shows.
    EXPECT_EQ(dpiOfWindow(view().handle()), static_cast<UINT>(dpi));
    const Expected& expected = expectedAt(dpi);
    EXPECT_EQ(clientOf(view().handle()), (Rect{0, 0, expected.clientWidth, expected.clientHeight}));
    RECT frame;
    GetWindowRect(view().handle(), &frame);
    EXPECT_EQ(frame.left, 429);  // the designed place is in screen pixels
    EXPECT_EQ(frame.top, 174);
    expectScaledTo(dpi);
}

// The captions in the font of this DPI: a button's, check box's or radio button's whole
// face (box and text) within its width, a group box's caption between its corners, and
// every label within its container. At 96 DPI all of them fit, "Compatibility mode
// (ImplicitVR)" to the pixel (161 of 161); the fonts of other sizes are not always as
// wide as 96-DPI text times the scale, so a check box or radio button grows to fit.
TEST_F(NativeWindowDpi, CaptionsFitTheirControls) {
    const int dpi = expectedDpi();
    makeWindow();
    for (const ui::ControlSpec& design : app::serverAdminFormSpec().controls) {
        if (!ui::isVisual(design.kind) || !ui::hasCaption(design.kind) || design.caption.empty()) {
            continue;
        }
        SCOPED_TRACE(std::string(design.name));
        const HWND control = view().control(design.name);
        const Rect bounds = boundsIn(control, parentOf(design));
        const Rect container = clientOf(parentOf(design));
        EXPECT_LE(bounds.left + bounds.width, container.width);
        EXPECT_GE(bounds.left, 0);
        const SIZE extent = textExtent(control, ui::widen(design.caption));
        switch (design.kind) {
            case ui::ControlKind::PushButton:
            case ui::ControlKind::CheckBox:
            case ui::ControlKind::RadioButton: {
                if (design.wordWrap) {
                    // Two lines of the caption beside the box fit its height.
                    EXPECT_LE(extent.cx, 2 * (bounds.width - MulDiv(20, dpi, 96)));
                    EXPECT_LE(2 * extent.cy, bounds.height);
                    break;
                }
                SIZE ideal{};
                SendMessageW(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
                EXPECT_GT(ideal.cx, extent.cx);  // the control's own measure, box included
                EXPECT_LE(ideal.cx, bounds.width);
                EXPECT_LE(extent.cy, bounds.height);
                break;
            }
            case ui::ControlKind::GroupBox:
                EXPECT_LE(extent.cx + MulDiv(16, dpi, 96), bounds.width);
                break;
            default:
                break;
        }
    }
}

// A move to a monitor of other pixels per inch: the system sends the new DPI with the
// frame it suggests, and the window is laid out anew from the description.
TEST_F(NativeWindowDpi, MovingToAnotherMonitorScalesAgain) {
    const int dpi = expectedDpi();
    makeWindow();
    view().setText("Label5", "Portnummer");  // a translated label keeps fitting its text
    const int other = dpi == 144 ? 192 : 144;
    const RECT suggested{100, 50, 100 + 990, 50 + 900};
    SendMessageW(view().handle(), WM_DPICHANGED, MAKEWPARAM(other, other),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT frame;
    GetWindowRect(view().handle(), &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested));
    view().setText("Label5", "PORT");
    expectScaledTo(other);
    // And back: as if it had been made on the first monitor.
    const Expected& expected = expectedAt(dpi);
    const RECT back{429, 174, 429 + expected.clientWidth + 6, 174 + expected.clientHeight + 25};
    SendMessageW(view().handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&back));
    expectScaledTo(dpi);
}

struct TextSearch {
    const std::wstring& text;
    HWND found = nullptr;
};

BOOL CALLBACK stopAtText(HWND child, LPARAM search) {
    auto* looking = reinterpret_cast<TextSearch*>(search);
    if (windowText(child) == looking->text) {
        looking->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND childWithText(HWND window, const std::wstring& text) {
    TextSearch search{text};
    EnumChildWindows(window, stopAtText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program itself, started as the user starts it, measured from this process: its
// manifest makes it aware, so nothing between the two scales what the screen shows.
TEST_F(NativeWindowDpi, TheProgramsWindowOnTheScreen) {
    const int dpi = expectedDpi();
    const StartedAdminProgram program(folder());
    ASSERT_TRUE(program.started());
    const HWND main = program.waitForWindow(L"Zarvo Server Einstellungen");
    EXPECT_NE(main, nullptr);
    if (main != nullptr) {
        EXPECT_EQ(dpiOfWindow(main), static_cast<UINT>(dpi));
        const Expected& expected = expectedAt(dpi);
        EXPECT_EQ(clientOf(main), (Rect{0, 0, expected.clientWidth, expected.clientHeight}));
        struct Row {
            const wchar_t* caption;
            Rect design;  // in its container, at 96 DPI
        };
        const Row rows[] = {
            {L"Zarvo Server stoppen", {48, 24, 169, 25}},
            {L"Dicom Einstellungen", {248, 104, 209, 281}},
            {L"Verbose mode", {16, 8, 97, 17}},  // in Panel1
        };
        for (const Row& row : rows) {
            const HWND control = childWithText(main, row.caption);
            ASSERT_NE(control, nullptr);
            const Rect bounds = boundsIn(control, GetParent(control));
            EXPECT_EQ(bounds,
                      (Rect{MulDiv(row.design.left, dpi, 96), MulDiv(row.design.top, dpi, 96),
                            MulDiv(row.design.width, dpi, 96), MulDiv(row.design.height, dpi, 96)}))
                << std::string(row.caption, row.caption + wcslen(row.caption));
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.waitForExit()) << "the program did not end";
    }
}

}  // namespace
}  // namespace veltrona::testing
