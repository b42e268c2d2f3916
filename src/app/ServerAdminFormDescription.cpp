#include "ServerAdminFormDescription.h"

#include <array>
#include <string>

#include "ServerAdminFormHandlers.h"

namespace veltrona::app {

namespace {

using ui::Align;
using ui::Bevel;
using ui::ControlKind;
using ui::ControlSpec;

// The message catalogue's lines, in the order of CatalogueMessage.
constexpr std::array kCatalogueLines{
    "Server gestartet",   "Server gestoppt",      "Server läuft",
    "Server läuft nicht", "Server läuft bereits", "Server konnte nicht gestartet werden",
    "Login required",     "Enter password:",      "Wrong password entered!",
};
static_assert(kCatalogueLines.size() == kCatalogueSize, "one line per catalogue message");

// The memo's text: the lines, each but the last ended by a line break.
const std::string kCatalogue = [] {
    std::string text;
    for (const char* line : kCatalogueLines) {
        text += text.empty() ? "" : "\n";
        text += line;
    }
    return text;
}();

using ui::control;

template <typename Change>
ControlSpec with(ControlSpec design, Change change) {
    change(design);
    return design;
}

// The handler the control's event runs.
template <typename Design>
ControlSpec on(ui::ControlEvent event, const FormHandlerRow& handler, Design design) {
    design.event = event;
    design.handler = handler.name;
    return design;
}
constexpr auto kClick = ui::ControlEvent::Click;

constexpr auto kRight = [](ControlSpec& c) { c.align = Align::Right; };
constexpr auto kDisabled = [](ControlSpec& c) { c.enabled = false; };
constexpr auto kLowered = [](ControlSpec& c) { c.bevel = Bevel::Lowered; };

using K = ControlKind;
constexpr std::string_view kWindow;
// The containers, which only the description names.
constexpr std::string_view kDicomGroup = "GroupBox2";
constexpr std::string_view kOverflowGroup = "GroupBox3";
constexpr std::string_view kDaysPanel = "Panel2";
constexpr std::string_view kFifoPanel = "Panel3";
constexpr std::string_view kOptionsPanel = "Panel1";
constexpr std::string_view kNoCaption;
constexpr int kNoTab = -1;

const std::array<ControlSpec, 39> kControls{{
    with(control("Label1", K::Label, kWindow, 232, 8, 78, 13, "Server Status", kNoTab),
         [](ControlSpec& c) { c.bold = true; }),
    control(controls::kStatusLog, K::Memo, kWindow, 248, 24, 209, 65, kNoCaption, 6),
    on(kClick, handlers::kButton1Click,
       control(controls::kStopButton, K::PushButton, kWindow, 48, 24, 169, 25,
               "Zarvo Server stoppen", 0)),
    on(kClick, handlers::kButton2Click,
       control(controls::kStartButton, K::PushButton, kWindow, 48, 64, 169, 25,
               "Zarvo Server starten", 1)),
    control(kDicomGroup, K::GroupBox, kWindow, 248, 104, 209, 281, "Dicom Einstellungen", 2),
    with(control("Label5", K::Label, kDicomGroup, 12, 68, 30, 13, "PORT", kNoTab), kRight),
    with(control("Label4", K::Label, kDicomGroup, 20, 32, 21, 13, "AET", kNoTab), kRight),
    with(control("Label6", K::Label, kDicomGroup, 32, 108, 10, 13, "IB", kNoTab), kRight),
    control("Label11", K::Label, kDicomGroup, 16, 240, 101, 13, "Additional parameters", kNoTab),
    with(control("lbDatabase", K::Label, kDicomGroup, 28, 140, 15, 13, "DB", kNoTab), kRight),
    control(controls::kJpegLossy, K::RadioButton, kDicomGroup, 16, 184, 137, 17,
            "Prefer JPeg Lossy", 5),
    control(controls::kJpegLossless, K::RadioButton, kDicomGroup, 16, 200, 153, 17,
            "Prefer JPeg Lossless", 6),
    control(controls::kUncompressed, K::RadioButton, kDicomGroup, 16, 168, 113, 17, "Uncompressed",
            4),
    control(controls::kPort, K::Edit, kDicomGroup, 48, 68, 121, 21, kNoCaption, 1),
    control(controls::kAeTitle, K::Edit, kDicomGroup, 48, 32, 121, 21, kNoCaption, 0),
    control(controls::kImageFolder, K::Edit, kDicomGroup, 48, 104, 121, 21, kNoCaption, 2),
    control(controls::kImplicitVR, K::RadioButton, kDicomGroup, 16, 216, 161, 17,
            "Compatibility mode (ImplicitVR)", 7),
    control(controls::kParameters, K::Edit, kDicomGroup, 16, 256, 161, 21, kNoCaption, 8),
    control(controls::kDatabase, K::Edit, kDicomGroup, 48, 136, 121, 21, kNoCaption, 3),
    control(kOverflowGroup, K::GroupBox, kWindow, 32, 104, 201, 281, "Überlaufmanagement", 3),
    with(control("Label12", K::Label, kOverflowGroup, 8, 240, 164, 26,
                 "All changes require a restart of the server!", kNoTab),
         [](ControlSpec& c) {
             c.align = Align::Center;
             c.wordWrap = true;
         }),
    with(control(kDaysPanel, K::Panel, kOverflowGroup, 8, 56, 185, 97, kNoCaption, 0), kLowered),
    control(controls::kDaysLocalUnit, K::Label, kDaysPanel, 98, 22, 50, 13, "Tage lokal", kNoTab),
    control(controls::kDaysLocalLabel, K::Label, kDaysPanel, 8, 22, 38, 13, "Maximal", kNoTab),
    control(controls::kDaysLocal, K::SpinEdit, kDaysPanel, 56, 19, 41, 22, "0", 0),
    with(control(controls::kRenewOnView, K::RadioButton, kDaysPanel, 8, 48, 161, 41,
                 "bei Betrachtung Registrierung erneuern", 1),
         [](ControlSpec& c) {
             c.enabled = false;
             c.wordWrap = true;
         }),
    on(kClick, handlers::kCheckBox2Click,
       control(controls::kKeepDaysLocal, K::CheckBox, kOverflowGroup, 8, 32, 177, 17,
               "nach Registrierungszeitpunkt", 1)),
    with(control(kFifoPanel, K::Panel, kOverflowGroup, 8, 160, 185, 73, kNoCaption, 2), kLowered),
    control("Label2", K::Label, kFifoPanel, 128, 14, 30, 13, "MByte", kNoTab),
    control("Label8", K::Label, kFifoPanel, 8, 16, 20, 13, "Max", kNoTab),
    control("Label9", K::Label, kFifoPanel, 128, 38, 30, 13, "MByte", kNoTab),
    control("Label10", K::Label, kFifoPanel, 8, 40, 17, 13, "Min", kNoTab),
    with(control(controls::kFifoMax, K::SpinEdit, kFifoPanel, 48, 11, 73, 22, "0", 0), kDisabled),
    with(control(controls::kFifoMin, K::SpinEdit, kFifoPanel, 48, 35, 73, 22, "0", 1), kDisabled),
    with(control(controls::kCatalogue, K::Memo, kWindow, 240, 72, 185, 97, kCatalogue, 4),
         [](ControlSpec& c) { c.visible = false; }),
    with(control(kOptionsPanel, K::Panel, kWindow, 32, 392, 425, 33, kNoCaption, 5),
         [](ControlSpec& c) { c.bevel = Bevel::Raised; }),
    control(controls::kVerbose, K::CheckBox, kOptionsPanel, 16, 8, 97, 17, "Verbose mode", 0),
    // Interval and enabling are the toolkit's defaults: 1000 ms, running.
    on(ui::ControlEvent::Tick, handlers::kTimer1Timer,
       control(controls::kPollingTimer, K::Timer, kWindow, 0, 0, 0, 0, kNoCaption, kNoTab)),
    control("XPManifest1", K::Manifest, kWindow, 0, 0, 0, 0, kNoCaption, kNoTab),
}};

// The transfer-syntax choice: one exclusive group. RadioButton1 stands alone in its panel.
constexpr std::array<std::string_view, 4> kTransferSyntaxGroup{
    controls::kUncompressed, controls::kJpegLossy, controls::kJpegLossless, controls::kImplicitVR};
constexpr std::array<ui::RadioGroup, 1> kRadioGroups{{{"TransferSyntax", kTransferSyntaxGroup}}};

}  // namespace

const ui::FormSpec& serverAdminFormSpec() {
    static const ui::FormSpec form{
        .name = "ServerAdminForm",
        .caption = "Zarvo Server Einstellungen",
        .left = 429,
        .top = 174,
        .clientWidth = 485,
        .clientHeight = 432,
        .fontFamily = "MS Sans Serif",
        .fontPointSize = 8,
        .controls = kControls,
        .radioGroups = kRadioGroups,
        .firstFocus = controls::kStopButton,  // the first control of the tab order
        .onCreate = handlers::kFormCreate.name,
        .onShow = handlers::kFormShow.name,
        .onClose = handlers::kFormClose.name,
    };
    return form;
}

}  // namespace veltrona::app
