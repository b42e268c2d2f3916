#pragma once

#include <QTimer>
#include <utility>

#include "app/AdminProgram.h"
#include "app/ServerAdminFormDescription.h"
#include "ui/qt/QtFormWindow.h"

namespace veltrona::app {

// The program's Qt window as its entry puts it together: the window made from the
// form's description, with the form's behaviour bound to its events. Its timer runs.
class QtAdminWindow : public ui::QtFormWindow {
  public:
    explicit QtAdminWindow(FormServices services)
        : QtFormWindow(serverAdminFormSpec()), admin_(*this, std::move(services)) {}

    TServerAdminForm& form() { return admin_.form(); }
    QTimer* pollingTimer() const { return timer(controls::kPollingTimer); }

  private:
    AdminProgram admin_;
};

}  // namespace veltrona::app
