#include "GdiFont.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "ScreenDpi.h"
#include "WideText.h"

namespace veltrona::ui {

GdiFont::GdiFont(std::string_view family, int pointSize, bool bold, int pixelsPerInch) {
    const std::wstring face = widen(family);
    if (pixelsPerInch <= 0) {
        pixelsPerInch = pixelsPerInchOf(nullptr);
    }
    // A negative height asks for the character height, without the internal leading.
    font_ =
        CreateFontW(-MulDiv(pointSize, pixelsPerInch, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                    FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (font_ == nullptr) {
        throw std::runtime_error("Font " + std::string(family) + " cannot be created");
    }
}

GdiFont& GdiFont::operator=(GdiFont&& other) noexcept {
    std::swap(font_, other.font_);
    return *this;
}

GdiFont::~GdiFont() {
    DeleteObject(font_);
}

}  // namespace veltrona::ui
