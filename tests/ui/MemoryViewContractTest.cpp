// The in-memory window, which the form's own tests run over, keeps its controls as the
// real windows do.
#include "FormViewContract.h"
#include "MemoryFormView.h"

namespace veltrona::ui::testing {
namespace {

struct InMemory {
    using Window = MemoryFormView;
    // It keeps state only: no keyboard, no screen, and its timers tick when a test says.
    static constexpr bool kRoutesKeys = false;
    static constexpr bool kLaysOut = false;
    static constexpr bool kRunsTimers = false;

    static std::unique_ptr<Window> make(const FormSpec& form) {
        return std::make_unique<Window>(form);
    }
    static void click(Window& window, std::string_view control) { window.click(control); }
    static void settle(Window&) {}
};

INSTANTIATE_TYPED_TEST_SUITE_P(InMemory, FormViewContract, InMemory);

}  // namespace
}  // namespace veltrona::ui::testing
