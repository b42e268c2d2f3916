#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FormDoubles.h"
#include "MemoryFormView.h"
#include "app/AdminProgram.h"
#include "app/ServerAdminForm.h"
#include "app/ServerAdminFormDescription.h"

namespace veltrona::app::testing {

// The form's behaviour over an in-memory window, in a temporary install.
class CoreFormTest : public InstallTest {
  protected:
    std::unique_ptr<ui::testing::MemoryFormView> view;
    std::unique_ptr<AdminProgram> window;  // the form bound to the view's events
    TServerAdminForm* form = nullptr;

    // A fresh window from the form description, then the start-up sequence.
    TServerAdminForm& create(std::function<TimeFormat()> timeFormat = germanTimeFormat) {
        window.reset();
        view = std::make_unique<ui::testing::MemoryFormView>(serverAdminFormSpec());
        window = std::make_unique<AdminProgram>(*view, services(std::move(timeFormat)));
        form = &window->form();
        form->FormCreate();
        return *form;
    }

    std::string text(const char* control) const { return view->text(control); }
    std::vector<std::string> statusLines() const { return view->lines("SStatus"); }
};

using Texts = std::vector<std::string>;

// What the first close writes in a folder without a settings file.
inline const std::string kEmptyFolderFile =
    "#Server Settings\r\n\r\n-aet = \r\nPort = \r\nFIFOMax = 0\r\nFIFOMin = 0\r\n-od = \r\n-db = "
    "\r\n";

inline std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

}  // namespace veltrona::app::testing
