#pragma once

#include "ui/UserDialogs.h"

namespace veltrona::ui {

// The dialogs as the Qt window shows them, on screen and modal.
class QtUserDialogs : public UserDialogs {
  public:
    void showInfo(const std::string& text) override;
    bool passwordQuery(const std::string& caption, const std::string& prompt,
                       std::string& value) override;
    void showError(const std::string& message) override;
    void showStopFailure(const std::string& text) override;
};

}  // namespace veltrona::ui
