#include "GdiFont.h"

#include <stdexcept>
#include <string>

#include "WideText.h"

namespace veltrona::ui {

namespace {

int screenPixelsPerInch() {
    const HDC screen = GetDC(nullptr);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return pixelsPerInch;
}

}  // namespace

GdiFont::GdiFont(std::string_view family, int pointSize, bool bold) {
    const std::wstring face = widen(family);
    // A negative height asks for the character height, without the internal leading.
    font_ = CreateFontW(-MulDiv(pointSize, screenPixelsPerInch(), 72), 0, 0, 0,
                        bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (font_ == nullptr) {
        throw std::runtime_error("Font " + std::string(family) + " cannot be created");
    }
}

GdiFont::~GdiFont() {
    DeleteObject(font_);
}

}  // namespace veltrona::ui
