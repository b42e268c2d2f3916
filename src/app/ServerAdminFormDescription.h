#pragma once

#include "ui/FormDescription.h"

namespace veltrona::app {

// The message catalogue, one message per line of the hidden memo ServerMessage: each
// message by its line.
enum CatalogueMessage : int {
    kServerStarted,
    kServerStopped,
    kServerRunning,
    kServerNotRunning,
    kServerAlreadyRunning,
    kServerStartFailed,
    kLoginCaption,
    kLoginPrompt,
    kWrongPassword,
    kCatalogueSize,  // the number of messages
};

// The controls the form's logic reaches, by the names the description gives them: the
// rows of the description and the logic spell each name once, here.
namespace controls {
inline constexpr char kStopButton[] = "Button1";
inline constexpr char kStartButton[] = "Button2";
inline constexpr char kStatusLog[] = "SStatus";
inline constexpr char kCatalogue[] = "ServerMessage";  // the hidden memo of messages
inline constexpr char kAeTitle[] = "Edit1";
inline constexpr char kPort[] = "Edit2";
inline constexpr char kImageFolder[] = "Edit3";
inline constexpr char kDatabase[] = "edDatabase";
inline constexpr char kParameters[] = "Edit4";
inline constexpr char kUncompressed[] = "RadioButton2";
inline constexpr char kJpegLossless[] = "RadioButton3";
inline constexpr char kJpegLossy[] = "RadioButton4";
inline constexpr char kImplicitVR[] = "RadioButton5";
inline constexpr char kKeepDaysLocal[] = "CheckBox2";
inline constexpr char kDaysLocalLabel[] = "Label3";
inline constexpr char kDaysLocal[] = "SpinEdit2";
inline constexpr char kDaysLocalUnit[] = "Label7";
inline constexpr char kRenewOnView[] = "RadioButton1";
inline constexpr char kFifoMax[] = "SpinEdit1";
inline constexpr char kFifoMin[] = "SpinEdit3";
inline constexpr char kVerbose[] = "CheckBox1";
inline constexpr char kPollingTimer[] = "Timer1";
}  // namespace controls

// The stop failure's text: fixed English, not a catalogue message, so translation never
// reaches it.
inline constexpr const char* kStopFailureText = "Server cannot be stopped, access denied";

// The administration window as it is designed: every control with its name, kind,
// parent, position, size, caption, tab order and initial state. Both window toolkits
// build the window from this one table.
const ui::FormSpec& serverAdminFormSpec();

}  // namespace veltrona::app
