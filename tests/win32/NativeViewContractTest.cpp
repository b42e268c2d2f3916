// The native window keeps its controls as every window does.
#include <windows.h>

#include "FormViewContract.h"
#include "NativeFormWindow.h"
#include "Win32TestSupport.h"

namespace veltrona::ui::testing {
namespace {

struct Native {
    using Window = NativeFormWindow;
    static std::unique_ptr<Window> make(const FormSpec& form) {
        return std::make_unique<Window>(form);
    }
    static void click(Window& window, std::string_view control) {
        // As a mouse click does: the system's button checks itself, then reports it.
        SendMessageW(window.control(control), BM_CLICK, 0, 0);
        settle(window);
    }
    static void settle(Window& window) {
        veltrona::testing::pumpFor(window, std::chrono::milliseconds(20));
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Native, FormViewContract, Native);

}  // namespace
}  // namespace veltrona::ui::testing
