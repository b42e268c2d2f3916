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

// The stop failure's text: fixed English, not a catalogue message, so translation never
// reaches it.
inline constexpr const char* kStopFailureText = "Server cannot be stopped, access denied";

// The administration window as it is designed: every control with its name, kind,
// parent, position, size, caption, tab order and initial state. Both window toolkits
// build the window from this one table.
const ui::FormSpec& serverAdminFormSpec();

}  // namespace veltrona::app
