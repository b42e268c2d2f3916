// The administration window as the system's own controls: where they stand, what they
// look like, and what they hold.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "Win32TestSupport.h"
#include "app/ServerAdminFormDescription.h"
#include "ui/win32/WideText.h"

namespace veltrona::testing {
namespace {

using ui::Rect;

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

std::wstring moduleFile(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

using NativeWindowLayout = AdminWindowTest;

TEST_F(NativeWindowLayout, EveryControlIsAChildOfItsContainerInTheFormsFontAndState) {
    makeWindow();
    // Every control in 8-point MS Sans Serif, in which each label fits its caption at the
    // size the form designed for it.
    for (const ui::ControlSpec& design : app::serverAdminFormSpec().controls) {
        if (!ui::isVisual(design.kind)) {
            continue;
        }
        SCOPED_TRACE(std::string(design.name));
        const HWND control = view().control(design.name);
        ASSERT_NE(control, nullptr);
        const HWND parent = design.parent.empty() ? view().handle() : view().control(design.parent);
        EXPECT_EQ(GetParent(control), parent);  // inside its group box or panel, clipped by it
        if (design.kind == ui::ControlKind::Label) {
            EXPECT_EQ(boundsIn(control, parent),
                      (Rect{design.left, design.top, design.width, design.height}));
        }
        if (design.kind == ui::ControlKind::SpinEdit) {  // the up-down level with its edit
            const Rect bounds = boundsIn(control, parent);
            const Rect buttons = boundsIn(view().spinButtons(design.name), parent);
            EXPECT_EQ(buttons.top, bounds.top);
            EXPECT_EQ(buttons.height, bounds.height);
        }
        EXPECT_EQ((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0, design.visible);
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, design.enabled);
        const LOGFONTW font = fontOf(control);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -11);
        EXPECT_EQ(font.lfWeight, design.name == "Label1" ? FW_BOLD : FW_NORMAL);
    }
}

TEST_F(NativeWindowLayout, FixedDialogFrameAtTheDesignedPlaceWithThemedControls) {
    makeWindow();
    const HWND window = view().handle();
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 485);
    EXPECT_EQ(client.bottom, 432);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 429);
    EXPECT_EQ(frame.top, 174);
    EXPECT_EQ(windowText(window), L"Zarvo Server Einstellungen");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

    // The manifest brings version 6 of the common controls, from the side-by-side store;
    // the module's version query answers 5.81 under Wine either way.
    const std::wstring comctl = moduleFile(GetModuleHandleW(L"comctl32.dll"));
    EXPECT_NE(comctl.find(L"winsxs"), std::wstring::npos)
        << std::string(comctl.begin(), comctl.end());
    EXPECT_NE(comctl.find(L"common-controls_6595b64144ccf1df_6.0"), std::wstring::npos);

    // The program itself carries that manifest.
    const std::wstring program = ui::widen(programFolder()) + L"VeltronaAdmin.exe";
    const HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                           SizeofResource(image, manifest));
    EXPECT_NE(text.find("\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    FreeLibrary(image);
}

TEST_F(NativeWindowLayout, LabelsFitTheirTextKeepingTheirAlignedEdge) {
    makeWindow();
    struct Row {
        const char* label;
        const char* text;
        Rect bounds;  // in the label's container
    };
    // The face has no kerning: a caption written twice is twice as wide. A bold face made
    // from the regular one reaches one pixel further (77 + 77 + 1).
    const Row rows[] = {
        {"Label8", "MaxMax", {8, 16, 40, 13}},
        {"Label5", "PORTPORT", {12 + 30 - 60, 68, 60, 13}},  // keeps its right edge
        {"Label1", "Server StatusServer Status", {232, 8, 155, 13}},
        {"Label12", "Min", {8, 240, 164, 13}},  // word-wrapped: keeps its width
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        view().setText(row.label, row.text);
        const ui::ControlSpec& design = *app::serverAdminFormSpec().find(row.label);
        const HWND parent = design.parent.empty() ? view().handle() : view().control(design.parent);
        EXPECT_EQ(boundsIn(view().control(row.label), parent), row.bounds);
        EXPECT_EQ(view().text(row.label), row.text);
    }
}

TEST_F(NativeWindowLayout, TranslationReachesTheNativeControls) {
    // The translation file lies beside the program folder, in the system code page.
    programFolder_ = folder_.path() / L"bin" / "";
    std::filesystem::create_directory(programFolder_);
    writeFile(folder_.path() / L"Custom.ini",
              "[ServerAdminForm]\r\n"
              "ServerAdminForm.Caption=Zarvo Server Settings\r\n"
              "ServerAdminForm.Label5.Caption=Portnummer\r\n"
              "ServerAdminForm.GroupBox3.Caption=\xDC"
              "berlauf\r\n"
              "ServerAdminForm.ServerMessage.lines[3]=Server is not running\r\n");
    makeWindow();
    ASSERT_TRUE(window_->open());
    EXPECT_EQ(windowText(view().handle()), L"Zarvo Server Settings");
    EXPECT_EQ(windowText(view().control("GroupBox3")),
              L"\u00DC"
              L"berlauf");
    const Rect label = boundsIn(view().control("Label5"), view().control("GroupBox2"));
    EXPECT_EQ(label.left + label.width, 42);  // right-aligned: keeps its right edge
    EXPECT_GT(label.width, 30);
    const std::string status = view().line("SStatus", 0);
    EXPECT_TRUE(status.ends_with(" Server is not running")) << status;
}

TEST_F(NativeWindowLayout, ALongCaptionIsClippedByItsContainer) {
    makeWindow();
    ASSERT_TRUE(window_->open());
    const std::string longer(60, 'M');
    view().setText("Label5", longer);   // right-aligned: grows left, beyond the frame
    view().setText("Label11", longer);  // grows right, beyond the frame
    const HWND group = view().control("GroupBox2");
    RECT frame;
    GetWindowRect(group, &frame);
    for (const char* label : {"Label5", "Label11"}) {
        RECT bounds;
        GetWindowRect(view().control(label), &bounds);
        EXPECT_TRUE(bounds.left < frame.left || bounds.right > frame.right) << label;
        // What the label may paint, in screen pixels, lies within the group box.
        const HDC dc = GetDC(view().control(label));
        RECT visible;
        GetClipBox(dc, &visible);
        ReleaseDC(view().control(label), dc);
        OffsetRect(&visible, bounds.left, bounds.top);
        EXPECT_GE(visible.left, frame.left) << label;
        EXPECT_LE(visible.right, frame.right) << label;
    }
}

BOOL CALLBACK findToolTip(HWND window, LPARAM found) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    *reinterpret_cast<bool*>(found) |= std::wstring(name) == TOOLTIPS_CLASSW;
    return TRUE;
}

TEST_F(NativeWindowLayout, HintsAreKeptButNeverShown) {
    makeWindow();
    view().setHint("Edit4", "Zusätzliche Parameter");
    EXPECT_EQ(view().hint("Edit4"), "Zusätzliche Parameter");
    ASSERT_TRUE(window_->open());
    bool toolTip = false;  // no window of this thread could ever show a hint
    EnumThreadWindows(GetCurrentThreadId(), findToolTip, reinterpret_cast<LPARAM>(&toolTip));
    EXPECT_FALSE(toolTip);
}

}  // namespace
}  // namespace veltrona::testing
