#pragma once

#include <QFont>
#include <QSize>
#include <QString>

namespace veltrona::ui {

// The face the window and its dialogs are drawn in, and the TrueType file (Debian's
// fonts-wine) that carries it with bitmap strikes at 13, 16 and 20 pixels.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";
inline constexpr const char* kWindowFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

// Makes kWindowFontFamily available to the application, once: the font file where it is
// installed, otherwise a substitution by a metric-compatible sans serif face. Needs the
// application object; later calls do nothing.
void useWindowFont();

// kWindowFontFamily at 8 points, the font of every dialog the window opens (the window
// itself is drawn in the font its form description names). Calls useWindowFont().
QFont windowFont();

// The size of a label sized to one line of `text`: the text's advance and the font's
// character height. A bold face that the font has no bold strike for is emboldened by
// smearing each glyph one pixel to the right; the platform the window was designed on
// widens such a text by one pixel per character plus one, which Qt does not, so that
// widening is added here.
QSize labelTextSize(const QFont& font, const QString& text);

// Whether `font` is bold but its family has no bold face, so that bold has to be made by
// smearing the regular glyphs.
bool emboldenedWithoutBoldFace(const QFont& font);

}  // namespace veltrona::ui
