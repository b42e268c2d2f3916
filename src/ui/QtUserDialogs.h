#pragma once

#include "UserDialogs.h"

namespace veltrona::ui {

// The dialogs as the running tool shows them, on screen and modal.
class QtUserDialogs : public UserDialogs {
  public:
    void showInfo(const QString& text) override;
    bool passwordQuery(const QString& caption, const QString& prompt, QString& value) override;
    void showError(const QString& message) override;
    void showStopFailure() override;
};

}  // namespace veltrona::ui
