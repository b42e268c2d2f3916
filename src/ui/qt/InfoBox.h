#pragma once

#include <QString>

namespace veltrona::ui {

// Handles the events already waiting (without waiting for more), then shows `text` in a
// topmost, application-modal box captioned "Information" with one OK button and no icon,
// in the window font and wide enough for its caption whatever the text. Returns when the
// box is closed; an empty text gives an empty box.
void showInfo(const QString& text);

}  // namespace veltrona::ui
