#pragma once

#include <QFont>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AnsiCodec.h"
#include "Clock.h"
#include "TimeFormat.h"
#include "config/ServerSettings.h"
#include "process/ProcessPlatform.h"
#include "ui/TranslationFile.h"
#include "ui/UserDialogs.h"

class QCloseEvent;
class QRadioButton;
class QTimer;

namespace Ui {
class TServerAdminForm;
}

namespace veltrona::app {

// The tool's dialogs and its window are laid out for 8-point "MS Sans Serif". Where the
// system lacks that face, a sans serif of about the same width stands in, so captions fit
// the fixed geometry. useStandInFonts() installs that substitution (once; the window does
// it itself); windowFont() is the font for the application's other dialogs.
inline constexpr const char* kWindowFontFamily = "MS Sans Serif";
void useStandInFonts();
QFont windowFont();

// What the window reaches the outside world through. Tests replace every part.
struct FormServices {
    process::ProcessPlatform& processes;
    ui::UserDialogs& dialogs;
    const Clock& clock;
    std::function<TimeFormat()> readTimeFormat;  // the user's regional settings
    std::filesystem::path programFolder;         // the folder of the tool and the server
};

// The administration window: settings in its controls, start and stop buttons, and the
// status log fed by a once-a-second poll of the server's process.
class TServerAdminForm : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kServerExecutableName = "ZarvoServer.exe";
    static constexpr int kCatalogueSize = 9;

    // Builds the controls from the form and arms the polling timer; FormCreate then fills them.
    explicit TServerAdminForm(FormServices services, QWidget* parent = nullptr);
    ~TServerAdminForm() override;

    // The start-up sequence. An error in one step is reported and the later steps still
    // run, so the password gate is never skipped. Afterwards endRequested() tells whether
    // the application must end without showing the window.
    void FormCreate();
    bool endRequested() const { return endRequested_; }

    // Message `index` (0..8) of the catalogue, as the window currently holds it.
    QString catalogueMessage(int index) const;

    bool serverStateFlag() const { return serverRunning_; }
    QTimer* pollingTimer() const { return timer_; }

  public slots:
    void FormShow();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();
    void CheckBox2Click();

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Runs a handler; an error that escapes it is shown in the error box.
    template <typename Handler>
    bool guarded(Handler&& handler);
    void reportError(const QString& message);

    void sizeLabelsToText();
    void openTranslation();
    void readSettingsFile();
    void applySetupProfile();
    void defaultDatabase();
    void startupStatus();
    void passwordGate();
    bool FormClose();

    // The four exclusive transfer-syntax buttons, each with the syntax it stands for.
    std::array<std::pair<config::TransferSyntax, QRadioButton*>, 4> transferSyntaxButtons() const;
    config::TransferSyntax checkedTransferSyntax() const;

    void appendStatus(const QString& line);
    QString statusLine(int catalogueIndex) const;
    std::optional<std::filesystem::path> setupProfile() const;

    FormServices services_;
    std::unique_ptr<Ui::TServerAdminForm> ui_;
    QTimer* timer_ = nullptr;

    // Values shared between the handlers.
    std::string adminPassword_;
    bool noDhcp_ = false;
    std::string serverExecutableName_;
    bool serverRunning_ = false;
    std::optional<ui::TranslationFile> translationFile_;

    std::optional<std::filesystem::path> settingsPath_;  // the file that was read, if any
    AnsiCodec settingsCodec_;
    TimeFormat timeFormat_;
    bool endRequested_ = false;
};

}  // namespace veltrona::app
