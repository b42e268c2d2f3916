#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "TimeFormat.h"
#include "config/settings/ServerSettings.h"
#include "process/ProcessPlatform.h"
#include "server/SettingsDocument.h"
#include "ui/FormView.h"
#include "ui/TranslationFile.h"
#include "ui/UserDialogs.h"

namespace veltrona::app {

// What the form reaches the outside world through. Tests replace every part.
struct FormServices {
    process::ProcessPlatform& processes;
    ui::UserDialogs& dialogs;
    const Clock& clock;
    std::function<TimeFormat()> readTimeFormat;  // the user's regional settings
    std::filesystem::path programFolder;         // the folder of the tool and the server
};

// The administration window's behaviour, whatever toolkit shows it: settings in its
// controls, start and stop buttons, and the status log fed by a once-a-second poll of the
// server's process. A window builds its controls from serverAdminFormSpec(), which also
// names the handler each event runs; AdminProgram routes the window's events here.
class TServerAdminForm {
  public:
    TServerAdminForm(ui::FormView& view, FormServices services);

    // The start-up sequence. An error in one step is reported and the later steps still
    // run, so the password gate is never skipped. Afterwards endRequested() tells whether
    // the application must end without showing the window.
    void FormCreate();
    bool endRequested() const { return endRequested_; }

    // The event handlers handle no error themselves: one that escapes is shown by the
    // guard of the window's events, and the next event starts afresh.
    void FormShow();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();
    // Enables Label3, Label7 and SpinEdit2 when CheckBox2 is checked, disables them otherwise.
    void CheckBox2Click();
    // Writes the settings file. False when that failed (the error is shown): the window
    // then stays open, and the next close tries again.
    bool FormClose();

    // The system announced new regional settings: later time stamps follow them.
    void regionalSettingsChanged();

    // Message `index` (a CatalogueMessage) of the catalogue, as the window currently holds it
    // (UTF-8).
    std::string catalogueMessage(int index) const;
    bool serverStateFlag() const { return serverRunning_; }
    // Why the last start failed (the window shows only its one message); empty when it
    // succeeded or none was tried.
    const std::string& launchError() const { return launchError_; }

  private:
    // Runs a handler; an error that escapes it is shown in the error box.
    template <typename Handler>
    bool guarded(Handler&& handler);
    void reportError(const std::string& message);

    void openTranslation();
    void readSettingsFile();
    void applySetupProfile();
    void defaultDatabase();
    void startupStatus();
    void passwordGate();

    config::TransferSyntax checkedTransferSyntax() const;
    void checkTransferSyntax(config::TransferSyntax syntax);
    std::int32_t spinEditValue(const char* name) const;
    void clickedFromCode(std::string_view control);
    // The settings as the window holds them, texts in UTF-8 (the password as the file's
    // bytes).
    config::ServerSettings shownSettings() const;

    void appendStatus(const std::string& line);
    std::string statusLine(int catalogueIndex) const;

    ui::FormView& view_;
    FormServices services_;

    // Values shared between the handlers.
    config::FileText adminPassword_;
    bool noDhcp_ = false;
    std::string serverExecutableName_;
    bool serverRunning_ = false;
    std::string launchError_;
    std::optional<ui::TranslationFile> translationFile_;

    server::SettingsDocument settingsFile_;  // where the settings came from, and their code page
    // The settings as the window held them once it had started, before the user changed any.
    config::ServerSettings startSettings_;
    TimeFormat timeFormat_;
    bool endRequested_ = false;
};

}  // namespace veltrona::app
