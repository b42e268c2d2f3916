#pragma once

#include <functional>

class QWidget;

namespace veltrona::ui::testing {

// Runs `action` on the next modal widget that opens, from the event loop that widget's
// exec() runs. A dialog that the action leaves open is closed after a few seconds and the
// test fails, so that a wrong guess never hangs the suite; no modal widget at all within
// that time fails the test as well.
void whenModalOpens(std::function<void(QWidget*)> action);

}  // namespace veltrona::ui::testing
