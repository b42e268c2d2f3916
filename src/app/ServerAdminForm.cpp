#include "ServerAdminForm.h"

#include <array>
#include <exception>
#include <utility>

#include "ServerAdminFormDescription.h"
#include "ServerAdminFormHandlers.h"
#include "config/file/FileAccess.h"
#include "config/settings/IntegerConversion.h"
#include "config/settings/PasswordPolicy.h"
#include "config/settings/SettingsFile.h"
#include "config/text/TextEncoding.h"
#include "process/ServerDetection.h"
#include "server/ServerLaunch.h"
#include "server/ServerProgram.h"
#include "ui/FormTranslator.h"
#include "ui/SecretCompare.h"

namespace veltrona::app {

namespace {

namespace fs = std::filesystem;
using config::TransferSyntax;

// The four exclusive transfer-syntax buttons, each with the syntax it stands for.
constexpr std::array<std::pair<TransferSyntax, const char*>, 4> kTransferSyntaxButtons{{
    {TransferSyntax::Uncompressed, controls::kUncompressed},
    {TransferSyntax::JpegLossless, controls::kJpegLossless},
    {TransferSyntax::JpegLossy, controls::kJpegLossy},
    {TransferSyntax::ImplicitVR, controls::kImplicitVR},
}};

using S = config::ServerSettings;

// A setting the window shows in a control, with that control: its text (an edit), its
// number (a spin edit) or whether it is checked (a check box or radio button).
struct FieldControl {
    const char* control;
    std::string S::*text = nullptr;
    std::int32_t S::*number = nullptr;
    bool S::*checked = nullptr;
};
constexpr FieldControl textField(const char* control, std::string S::*text) {
    return {control, text};
}
constexpr FieldControl numberField(const char* control, std::int32_t S::*number) {
    return {control, nullptr, number};
}
constexpr FieldControl checkField(const char* control, bool S::*checked) {
    return {control, nullptr, nullptr, checked};
}

// Every setting the window shows, with its control: put into the controls when the file
// is read, and taken from them again when it is written. The transfer syntax has its
// buttons above; the DHCP flag and the password have no control.
constexpr std::array<FieldControl, 10> kFields{{
    textField(controls::kAeTitle, &S::aeTitle),
    textField(controls::kPort, &S::port),
    numberField(controls::kFifoMax, &S::fifoMax),
    numberField(controls::kFifoMin, &S::fifoMin),
    checkField(controls::kKeepDaysLocal, &S::maxDaysLocalChecked),
    numberField(controls::kDaysLocal, &S::maxDaysLocal),
    checkField(controls::kRenewOnView, &S::regNewOnView),
    textField(controls::kImageFolder, &S::imageFolder),
    textField(controls::kDatabase, &S::database),
    textField(controls::kParameters, &S::parameters),
}};

}  // namespace

TServerAdminForm::TServerAdminForm(ui::FormView& view, FormServices services)
    : view_(view), services_(std::move(services)), timeFormat_(services_.readTimeFormat()) {}

template <typename Handler>
bool TServerAdminForm::guarded(Handler&& handler) {
    return ui::showingErrors(services_.dialogs, std::forward<Handler>(handler));
}

void TServerAdminForm::reportError(const std::string& message) {
    services_.dialogs.showError(ui::errorText(message));
}

void TServerAdminForm::FormCreate() {
    adminPassword_ = {};
    guarded([&] { openTranslation(); });
    serverExecutableName_ = server::kServerExecutableName;
    guarded([&] { readSettingsFile(); });
    guarded([&] { applySetupProfile(); });
    guarded([&] { defaultDatabase(); });
    startSettings_ = shownSettings();  // what the close tells the user's changes by
    guarded([&] { startupStatus(); });
    passwordGate();
}

void TServerAdminForm::openTranslation() {
    const fs::path path = config::findIgnoringCase(services_.programFolder, "../Custom.ini");
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return;  // a folder of that name is no translation file
    }
    const config::FileReadResult file = config::readWholeFile(path);
    if (file.status == config::FileReadResult::Status::Missing) {
        return;
    }
    if (file.status == config::FileReadResult::Status::Failed ||
        file.status == config::FileReadResult::Status::TooBig) {
        // A translation file holds a few kilobytes: a larger one is not used.
        const std::string reason =
            file.status == config::FileReadResult::Status::TooBig
                ? "Sie ist gr\u00f6\u00dfer als " + std::string(config::kReadLimitText)
                : file.reason;
        throw config::FileError(config::FileAction::Open, path, reason);
    }
    translationFile_ = ui::TranslationFile::parse(file.content);
    const config::CodePage codePage = config::CodePage::ofFile(file.content);
    ui::translateForms({{&serverAdminFormSpec(), &view_}}, *translationFile_,
                       [&codePage](std::string_view bytes) { return codePage.toUtf8(bytes); });
}

void TServerAdminForm::readSettingsFile() {
    settingsFile_ = server::readSettingsDocument(services_.programFolder);
    const config::ServerSettings& s = settingsFile_.settings;  // texts in UTF-8

    for (const FieldControl& field : kFields) {
        if (field.text != nullptr) {
            view_.setText(field.control, s.*field.text);
        } else if (field.number != nullptr) {
            view_.setText(field.control, std::to_string(s.*field.number));
        } else if (s.*field.checked && !view_.isChecked(field.control)) {
            view_.setChecked(field.control, true);
            clickedFromCode(field.control);
        }
    }
    if (s.transferSyntax != TransferSyntax::None) {
        checkTransferSyntax(s.transferSyntax);
    }
    adminPassword_ = s.adminPassword;
    noDhcp_ = s.noDhcp;

    // A file that is there but could not be read is said once; the close leaves it alone.
    if (!settingsFile_.unreadable.empty()) {
        services_.dialogs.showInfo(
            ui::errorText(ui::fileErrorText(server::unreadableError(settingsFile_))));
    }
    // Each bad number is reported on its own; the settings around it are already in place.
    for (const config::InvalidInteger& invalid : settingsFile_.invalidIntegers) {
        reportError(config::invalidIntegerMessage(invalid.value));
    }
}

void TServerAdminForm::applySetupProfile() {
    if (!server::findSetupProfile(services_.programFolder)) {
        return;
    }
    for (const auto& [syntax, button] : kTransferSyntaxButtons) {
        view_.setEnabled(button, false);
    }
    appendStatus("Server setup controlled by config file \"setup.cfg\"");
}

void TServerAdminForm::defaultDatabase() {
    if (const auto database = server::databaseDefault(view_.text(controls::kDatabase),
                                                      view_.text(controls::kImageFolder))) {
        view_.setText(controls::kDatabase, *database);
    }
}

void TServerAdminForm::startupStatus() {
    serverRunning_ = process::isProcessRunning(services_.processes, serverExecutableName_);
    appendStatus(statusLine(serverRunning_ ? kServerRunning : kServerNotRunning));
}

void TServerAdminForm::passwordGate() {
    if (adminPassword_.empty()) {
        return;
    }
    // The gate fails closed: whatever goes wrong in it ends the program.
    bool passed = false;
    guarded([&] {
        std::string entered;
        services_.dialogs.passwordQuery(catalogueMessage(kLoginCaption),
                                        catalogueMessage(kLoginPrompt), entered);
        entered = config::firstUtf8Characters(entered, config::kMaxPasswordCharacters);
        passed =
            ui::equalsConstantTime(adminPassword_.bytes, settingsFile_.codePage.fromUtf8(entered));
        if (!passed) {
            services_.dialogs.showInfo(catalogueMessage(kWrongPassword));
        }
    });
    endRequested_ = !passed;
}

std::string TServerAdminForm::catalogueMessage(int index) const {
    if (index < 0 || index >= view_.lineCount(controls::kCatalogue)) {
        return {};
    }
    return view_.line(controls::kCatalogue, index);
}

std::string TServerAdminForm::statusLine(int catalogueIndex) const {
    return formatTimeStamp(timeFormat_, services_.clock.now()) + " " +
           catalogueMessage(catalogueIndex);
}

void TServerAdminForm::appendStatus(const std::string& line) {
    view_.appendLine(controls::kStatusLog, line);
}

void TServerAdminForm::FormShow() {}

void TServerAdminForm::Timer1Timer() {
    const bool firstLook = process::isProcessRunning(services_.processes, serverExecutableName_);
    if (firstLook == serverRunning_) {
        return;
    }
    // The second look alone decides: a start and stop inside one tick leaves a line.
    const bool secondLook = process::isProcessRunning(services_.processes, serverExecutableName_);
    serverRunning_ = secondLook;
    appendStatus(statusLine(secondLook ? kServerStarted : kServerStopped));
}

void TServerAdminForm::Button1Click() {
    if (!serverRunning_) {
        services_.dialogs.showInfo(catalogueMessage(kServerNotRunning));
        return;
    }
    process::terminateProcessesNamed(services_.processes, serverExecutableName_,
                                     [&] { services_.dialogs.showStopFailure(kStopFailureText); });
}

void TServerAdminForm::Button2Click() {
    if (serverRunning_) {
        services_.dialogs.showInfo(catalogueMessage(kServerAlreadyRunning));
        return;
    }
    launchError_.clear();
    try {
        const server::ServerLaunch launch = server::makeServerLaunch(
            shownSettings(), view_.isChecked(controls::kVerbose), services_.programFolder);
        services_.processes.launch(launch.program, launch.parameters, launch.shown);
    } catch (const std::exception& error) {
        // Any failure of the launch, a refused one included, is the one message below;
        // the form keeps the reason.
        launchError_ = error.what();
        if (launchError_.empty()) {
            launchError_ = "unknown error";
        }
    }
    if (!launchError_.empty()) {
        services_.dialogs.showInfo(catalogueMessage(kServerStartFailed));
    }
}

TransferSyntax TServerAdminForm::checkedTransferSyntax() const {
    // The buttons are one exclusive group: at most one is checked.
    for (const auto& [syntax, button] : kTransferSyntaxButtons) {
        if (view_.isChecked(button)) {
            return syntax;
        }
    }
    return TransferSyntax::None;
}

void TServerAdminForm::checkTransferSyntax(TransferSyntax chosen) {
    // Checking one button of the group unchecks the others, as a click does.
    for (const auto& [syntax, button] : kTransferSyntaxButtons) {
        if (syntax == chosen) {
            ui::checkRadioButton(serverAdminFormSpec(), view_, button);
        }
    }
}

void TServerAdminForm::CheckBox2Click() {
    const bool checked = view_.isChecked(controls::kKeepDaysLocal);
    view_.setEnabled(controls::kDaysLocalLabel, checked);
    view_.setEnabled(controls::kDaysLocalUnit, checked);
    view_.setEnabled(controls::kDaysLocal, checked);
}

std::int32_t TServerAdminForm::spinEditValue(const char* name) const {
    // A spin edit's text that is no integer (emptied, or typed over) counts as 0.
    return config::parseInteger(view_.text(name)).value_or(0);
}

void TServerAdminForm::clickedFromCode(std::string_view control) {
    // Checking from code runs the control's click handler, just as a click does.
    const ui::ControlSpec* described = serverAdminFormSpec().find(control);
    if (described == nullptr || described->handler.empty()) {
        return;
    }
    for (const FormHandlerRow& handler : handlers::kAll) {
        if (handler.name == described->handler) {
            handler.run(*this);
        }
    }
}

config::ServerSettings TServerAdminForm::shownSettings() const {
    config::ServerSettings s;
    for (const FieldControl& field : kFields) {
        if (field.text != nullptr) {
            s.*field.text = view_.text(field.control);
        } else if (field.number != nullptr) {
            s.*field.number = spinEditValue(field.control);
        } else {
            s.*field.checked = view_.isChecked(field.control);
        }
    }
    s.transferSyntax = checkedTransferSyntax();
    s.noDhcp = noDhcp_;
    s.adminPassword = adminPassword_;
    return s;
}

bool TServerAdminForm::FormClose() {
    if (!settingsFile_.unreadable.empty()) {
        return true;  // the window never held what that file holds
    }
    return guarded([&] {
        const config::FileLock lock = server::lockSettingsFile(services_.programFolder);
        server::writeChangedSettings(settingsFile_, startSettings_, shownSettings(),
                                     services_.programFolder, lock);
    });
}

void TServerAdminForm::regionalSettingsChanged() {
    timeFormat_ = services_.readTimeFormat();
}

}  // namespace veltrona::app
