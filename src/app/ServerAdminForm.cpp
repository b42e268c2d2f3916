#include "ServerAdminForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTextBlock>
#include <QTimer>
#include <exception>

#include "config/FileAccess.h"
#include "config/LaunchCommand.h"
#include "config/SettingsFile.h"
#include "config/TextLines.h"
#include "process/ServerDetection.h"
#include "ui/FormTranslator.h"
#include "ui/SecretCompare.h"
#include "ui_ServerAdminForm.h"

namespace veltrona::app {

namespace {

namespace fs = std::filesystem;
using config::TransferSyntax;

// The prompt takes at most this many typed characters, so no longer password can pass.
constexpr qsizetype kMaxPasswordLength = 255;

// Catalogue indices.
enum Message {
    kServerStarted = 0,
    kServerStopped = 1,
    kServerRunning = 2,
    kServerNotRunning = 3,
    kServerAlreadyRunning = 4,
    kServerStartFailed = 5,
    kLoginCaption = 6,
    kLoginPrompt = 7,
    kWrongPassword = 8,
};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

void useStandInFonts() {
    static const bool once = [] {
        QFont::insertSubstitutions(kWindowFontFamily,
                                   {"Liberation Sans", "Arimo", "Arial", "Nimbus Sans"});
        return true;
    }();
    (void)once;
}

QFont windowFont() {
    useStandInFonts();
    return QFont(kWindowFontFamily, 8);
}

TServerAdminForm::TServerAdminForm(FormServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      ui_(std::make_unique<Ui::TServerAdminForm>()) {
    useStandInFonts();
    ui_->setupUi(this);
    // A fixed dialog frame: title and close box, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(485, 432);
    move(429, 174);  // the designed screen position; the form sets only the size
    sizeLabelsToText();

    connect(ui_->Button1, &QPushButton::clicked, this, &TServerAdminForm::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TServerAdminForm::Button2Click);
    // Checking the box from code runs the handler just as a click does.
    connect(ui_->CheckBox2, &QCheckBox::toggled, this, &TServerAdminForm::CheckBox2Click);

    // The poll is armed with the form, before FormCreate runs. A tick that falls due
    // while one is still pending is merged into it.
    timer_ = new QTimer(this);
    timer_->setObjectName("Timer1");
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TServerAdminForm::Timer1Timer);
    timer_->start();

    timeFormat_ = services_.readTimeFormat();
}

TServerAdminForm::~TServerAdminForm() = default;

template <typename Handler>
bool TServerAdminForm::guarded(Handler&& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        reportError(QString::fromUtf8(error.what()));
    }
    return false;
}

void TServerAdminForm::reportError(const QString& message) {
    services_.dialogs.showError(message + ".");
}

void TServerAdminForm::FormCreate() {
    adminPassword_.clear();
    guarded([&] { openTranslation(); });
    serverExecutableName_ = kServerExecutableName;
    guarded([&] { readSettingsFile(); });
    guarded([&] { applySetupProfile(); });
    guarded([&] { defaultDatabase(); });
    guarded([&] { startupStatus(); });
    passwordGate();
}

void TServerAdminForm::sizeLabelsToText() {
    // Labels fit their text; a right-aligned one keeps its right edge where the form put it.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->wordWrap()) {
            continue;
        }
        const QSize size = label->sizeHint();
        const QRect old = label->geometry();
        const int left =
            (label->alignment() & Qt::AlignRight) ? old.right() + 1 - size.width() : old.left();
        label->setGeometry(left, old.top(), size.width(), size.height());
    }
}

void TServerAdminForm::openTranslation() {
    const fs::path path = config::findIgnoringCase(services_.programFolder, "../Custom.ini");
    const config::FileReadResult file = config::readWholeFile(path);
    if (file.status == config::FileReadResult::Status::Missing) {
        return;
    }
    if (file.status == config::FileReadResult::Status::Failed) {
        throw config::FileError("Datei " + path.string() + " kann nicht geöffnet werden. " +
                                file.reason);
    }
    translationFile_ = ui::TranslationFile::parse(file.content);
    const AnsiCodec codec = AnsiCodec::detect(file.content);
    ui::translateForms({this}, *translationFile_,
                       [&codec](std::string_view bytes) { return codec.decode(bytes); });
    sizeLabelsToText();
}

void TServerAdminForm::readSettingsFile() {
    const fs::path path = config::findIgnoringCase(services_.programFolder, "Server.INI");
    const config::FileReadResult file = config::readWholeFile(path);
    if (file.status != config::FileReadResult::Status::Missing) {
        settingsPath_ = path;  // written back to the same file, whatever its letter case
    }
    if (file.status != config::FileReadResult::Status::Ok) {
        return;  // an unreadable settings file leaves the controls as they are
    }
    settingsCodec_ = AnsiCodec::detect(file.content);
    const config::SettingsReadResult read = config::readSettings(config::splitLines(file.content));
    const config::ServerSettings& s = read.settings;
    const AnsiCodec& codec = settingsCodec_;

    ui_->Edit1->setText(codec.decode(s.aeTitle));
    ui_->Edit2->setText(codec.decode(s.port));
    ui_->SpinEdit1->setValue(s.fifoMax);
    ui_->SpinEdit3->setValue(s.fifoMin);
    if (s.maxDaysLocalChecked) {
        ui_->CheckBox2->setChecked(true);
    }
    ui_->SpinEdit2->setValue(s.maxDaysLocal);
    if (s.regNewOnView) {
        ui_->RadioButton1->setChecked(true);
    }
    ui_->Edit3->setText(codec.decode(s.imageFolder));
    ui_->edDatabase->setText(codec.decode(s.database));
    for (const auto& [syntax, button] : transferSyntaxButtons()) {
        if (syntax == s.transferSyntax) {
            button->setChecked(true);
        }
    }
    adminPassword_ = s.adminPassword;
    ui_->Edit4->setText(codec.decode(s.parameters));
    noDhcp_ = s.noDhcp;

    // Each bad number is reported on its own; the settings around it are already in place.
    for (const std::string& value : read.invalidIntegers) {
        reportError(fromUtf8(config::invalidIntegerMessage(toUtf8(codec.decode(value)))));
    }
}

std::optional<fs::path> TServerAdminForm::setupProfile() const {
    const fs::path path = config::findIgnoringCase(services_.programFolder, "Setup.cfg");
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        return path;
    }
    return std::nullopt;
}

void TServerAdminForm::applySetupProfile() {
    if (!setupProfile()) {
        return;
    }
    for (const auto& [syntax, button] : transferSyntaxButtons()) {
        button->setEnabled(false);
    }
    appendStatus("Server setup controlled by config file \"setup.cfg\"");
}

void TServerAdminForm::defaultDatabase() {
    if (ui_->edDatabase->text().isEmpty()) {
        ui_->edDatabase->setText(ui_->Edit3->text());
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
        QString entered;
        services_.dialogs.passwordQuery(catalogueMessage(kLoginCaption),
                                        catalogueMessage(kLoginPrompt), entered);
        entered.truncate(kMaxPasswordLength);
        passed = ui::equalsConstantTime(adminPassword_, settingsCodec_.encode(entered));
        if (!passed) {
            services_.dialogs.showInfo(catalogueMessage(kWrongPassword));
        }
    });
    endRequested_ = !passed;
}

QString TServerAdminForm::catalogueMessage(int index) const {
    const QTextBlock block = ui_->ServerMessage->document()->findBlockByNumber(index);
    return block.isValid() ? block.text() : QString();
}

QString TServerAdminForm::statusLine(int catalogueIndex) const {
    const std::string stamp = formatTimeStamp(timeFormat_, services_.clock.now());
    return fromUtf8(stamp) + " " + catalogueMessage(catalogueIndex);
}

void TServerAdminForm::appendStatus(const QString& line) {
    ui_->SStatus->appendPlainText(line);
}

void TServerAdminForm::FormShow() {}

void TServerAdminForm::Timer1Timer() {
    guarded([&] {
        const bool firstLook =
            process::isProcessRunning(services_.processes, serverExecutableName_);
        if (firstLook == serverRunning_) {
            return;
        }
        // The second look alone decides: a start and stop inside one tick leaves a line.
        const bool secondLook =
            process::isProcessRunning(services_.processes, serverExecutableName_);
        serverRunning_ = secondLook;
        appendStatus(statusLine(secondLook ? kServerStarted : kServerStopped));
    });
}

void TServerAdminForm::Button1Click() {
    guarded([&] {
        if (!serverRunning_) {
            services_.dialogs.showInfo(catalogueMessage(kServerNotRunning));
            return;
        }
        process::terminateProcessesNamed(services_.processes, serverExecutableName_,
                                         [&] { services_.dialogs.showStopFailure(); });
    });
}

void TServerAdminForm::Button2Click() {
    guarded([&] {
        if (serverRunning_) {
            services_.dialogs.showInfo(catalogueMessage(kServerAlreadyRunning));
            return;
        }
        bool launched = false;
        try {
            config::LaunchInput input;
            input.verbose = ui_->CheckBox1->isChecked();  // read once: head and visibility
            input.dhcpFlag = noDhcp_ ? "-dhl " : "";
            input.transferSyntax = checkedTransferSyntax();
            if (const auto profile = setupProfile()) {
                input.profilePath = profile->string();
            }
            // The command line is in the system code page, UTF-8 here.
            input.parameters = toUtf8(ui_->Edit4->text());
            input.imageFolder = toUtf8(ui_->Edit3->text());
            input.aeTitle = toUtf8(ui_->Edit1->text());
            input.port = toUtf8(ui_->Edit2->text());
            const fs::path program = services_.programFolder / serverExecutableName_;
            services_.processes.launch(program.string(), config::buildParameterString(input),
                                       input.verbose);
            launched = true;
        } catch (const std::exception&) {
            // Any failure of the launch, a refused one included, is the one message below.
        }
        if (!launched) {
            services_.dialogs.showInfo(catalogueMessage(kServerStartFailed));
        }
    });
}

std::array<std::pair<TransferSyntax, QRadioButton*>, 4> TServerAdminForm::transferSyntaxButtons()
    const {
    return {{{TransferSyntax::Uncompressed, ui_->RadioButton2},
             {TransferSyntax::JpegLossless, ui_->RadioButton3},
             {TransferSyntax::JpegLossy, ui_->RadioButton4},
             {TransferSyntax::ImplicitVR, ui_->RadioButton5}}};
}

TransferSyntax TServerAdminForm::checkedTransferSyntax() const {
    // The buttons are one exclusive group: at most one is checked.
    for (const auto& [syntax, button] : transferSyntaxButtons()) {
        if (button->isChecked()) {
            return syntax;
        }
    }
    return TransferSyntax::None;
}

void TServerAdminForm::CheckBox2Click() {
    const bool checked = ui_->CheckBox2->isChecked();
    ui_->Label3->setEnabled(checked);
    ui_->Label7->setEnabled(checked);
    ui_->SpinEdit2->setEnabled(checked);
}

bool TServerAdminForm::FormClose() {
    return guarded([&] {
        config::ServerSettings s;
        const AnsiCodec& codec = settingsCodec_;
        s.aeTitle = codec.encode(ui_->Edit1->text());
        s.port = codec.encode(ui_->Edit2->text());
        s.fifoMax = ui_->SpinEdit1->value();
        s.fifoMin = ui_->SpinEdit3->value();
        s.maxDaysLocalChecked = ui_->CheckBox2->isChecked();
        s.maxDaysLocal = ui_->SpinEdit2->value();
        s.regNewOnView = ui_->RadioButton1->isChecked();
        s.imageFolder = codec.encode(ui_->Edit3->text());
        s.database = codec.encode(ui_->edDatabase->text());
        s.transferSyntax = checkedTransferSyntax();
        s.noDhcp = noDhcp_;
        s.parameters = codec.encode(ui_->Edit4->text());
        s.adminPassword = adminPassword_;

        const fs::path path = settingsPath_
                                  ? *settingsPath_
                                  : config::findIgnoringCase(services_.programFolder, "Server.ini");
        config::replaceFile(path, config::writeSettings(s));
    });
}

void TServerAdminForm::closeEvent(QCloseEvent* event) {
    // A settings file that cannot be written keeps the window open; the next close tries again.
    if (FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TServerAdminForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TServerAdminForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        timeFormat_ = services_.readTimeFormat();
    }
    QWidget::changeEvent(event);
}

}  // namespace veltrona::app
