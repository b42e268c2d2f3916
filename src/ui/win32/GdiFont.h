#pragma once

#include <windows.h>

#include <string_view>

namespace veltrona::ui {

// A font of the screen, owned: released with the object. The size is in points, turned
// into a character height at the given pixels per inch, or the screen's when none is
// given (8 points give 11 pixels at 96, 16 at 144), with the default character set.
class GdiFont {
  public:
    GdiFont(std::string_view family, int pointSize, bool bold = false, int pixelsPerInch = 0);
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;
    // Takes the other's font, releasing its own: a window's font made anew for another DPI.
    GdiFont& operator=(GdiFont&& other) noexcept;
    ~GdiFont();

    HFONT handle() const { return font_; }

  private:
    HFONT font_;
};

}  // namespace veltrona::ui
