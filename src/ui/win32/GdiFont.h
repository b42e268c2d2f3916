#pragma once

#include <windows.h>

#include <string_view>

namespace veltrona::ui {

// A font of the screen, owned: released with the object. The size is in points, turned
// into a character height at the screen's pixels per inch (8 points give 11 pixels at
// 96), with the default character set.
class GdiFont {
  public:
    GdiFont(std::string_view family, int pointSize, bool bold = false);
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;
    ~GdiFont();

    HFONT handle() const { return font_; }

  private:
    HFONT font_;
};

}  // namespace veltrona::ui
