#include "PanelWindow.h"

#include <stdexcept>
#include <string>

namespace veltrona::ui {

namespace {

constexpr wchar_t kPanelClass[] = L"VeltronaPanel";
constexpr int kPanelEdgeSlot = 0;  // where a panel keeps its bevel in its window

std::wstring captionOf(HWND panel) {
    const int length = GetWindowTextLengthW(panel);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(panel, text.data(), length + 1)));
    return text;
}

// Lowered: shadow above and left, highlight below and right; raised the other way round.
LRESULT CALLBACK panelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT:
            SetWindowLongPtrW(panel, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
            if (LOWORD(lParam)) {
                InvalidateRect(panel, nullptr, TRUE);
            }
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrW(panel, GWLP_USERDATA);
        case WM_SETTEXT:
        case WM_ENABLE: {
            const LRESULT result = DefWindowProcW(panel, message, wParam, lParam);
            InvalidateRect(panel, nullptr, TRUE);
            return result;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(panel, &paint);
            RECT bounds;
            GetClientRect(panel, &bounds);
            const auto edge = static_cast<UINT>(GetWindowLongPtrW(panel, kPanelEdgeSlot));
            if (edge != 0) {
                DrawEdge(dc, &bounds, edge, BF_RECT);
            }
            const std::wstring caption = captionOf(panel);
            if (!caption.empty()) {
                const HGDIOBJ previous = SelectObject(
                    dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(panel, GWLP_USERDATA)));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc,
                             GetSysColor(IsWindowEnabled(panel) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
                DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &bounds,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                SelectObject(dc, previous);
            }
            EndPaint(panel, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(panel, message, wParam, lParam);
    }
}

}  // namespace

const wchar_t* panelWindowClass(HINSTANCE instance) {
    WNDCLASSEXW panelClass{};
    panelClass.cbSize = sizeof panelClass;
    if (!GetClassInfoExW(instance, kPanelClass, &panelClass)) {
        panelClass.lpfnWndProc = panelProcedure;
        panelClass.cbWndExtra = sizeof(LONG_PTR);
        panelClass.hInstance = instance;
        panelClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        panelClass.lpszClassName = kPanelClass;
        if (!RegisterClassExW(&panelClass)) {
            throw std::runtime_error("The panel class cannot be registered");
        }
    }
    return kPanelClass;
}

void setPanelBevel(HWND panel, Bevel bevel) {
    const UINT edge = bevel == Bevel::Lowered  ? BDR_SUNKENOUTER
                      : bevel == Bevel::Raised ? BDR_RAISEDINNER
                                               : 0;
    SetWindowLongPtrW(panel, kPanelEdgeSlot, static_cast<LONG_PTR>(edge));
}

}  // namespace veltrona::ui
