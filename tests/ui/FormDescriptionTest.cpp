// What the form description decides for every window: the radio groups, the order in
// which a toolkit without parents creates the controls, and the binding of events.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FormViewContract.h"
#include "MemoryFormView.h"
#include "app/ServerAdminFormDescription.h"
#include "ui/FormBinder.h"

namespace veltrona::ui::testing {
namespace {

TEST(FormDescription, CreationFollowsTheTabSequenceAndStartsAGroupOnlyOutsideARadioGroup) {
    const FormSpec& form = app::serverAdminFormSpec();
    std::vector<std::string> joining;
    std::vector<std::string> order;
    bool containersLast = true;
    bool inRest = false;
    for (const CreationStep& step : creationOrder(form)) {
        order.emplace_back(step.control->name);
        if (!step.startsGroup) {
            joining.emplace_back(step.control->name);
        }
        if (!step.tabStop) {
            inRest = true;
        } else {
            EXPECT_FALSE(inRest) << "a tab stop after the rest: " << step.control->name;
        }
        // A container lies beneath what it holds: it is created after its contents.
        for (const ControlSpec& child : form.controls) {
            if (child.parent == step.control->name && !step.tabStop) {
                containersLast = containersLast &&
                                 std::find(order.begin(), order.end(), child.name) != order.end();
            }
        }
    }
    EXPECT_EQ(joining, (std::vector<std::string>{"RadioButton4", "RadioButton3", "RadioButton5"}));
    EXPECT_TRUE(containersLast);
    EXPECT_EQ(order.size(), 37u);  // every visual control, once
}

TEST(FormDescription, ContradictionsAreFoundBeforeAWindowIsBuilt) {
    EXPECT_NO_THROW(checkDescription(app::serverAdminFormSpec()));
    std::vector<ControlSpec> controls(contract::form().controls.begin(),
                                      contract::form().controls.end());
    FormSpec broken = contract::form();
    broken.controls = controls;
    controls[7].tabOrder = 1;  // "Alone" between "A" and "B" splits their group
    controls[6].tabOrder = 2;
    EXPECT_THROW(checkDescription(broken), std::logic_error);

    controls = {contract::form().controls.begin(), contract::form().controls.end()};
    controls[1].event = ControlEvent::Click;  // an edit reports changes, not clicks
    EXPECT_THROW(checkDescription(broken), std::logic_error);

    controls = {contract::form().controls.begin(), contract::form().controls.end()};
    broken.firstFocus = "Caption";  // a label takes no focus
    EXPECT_THROW(checkDescription(broken), std::logic_error);
}

TEST(FormBinder, RefusesAFormWhoseHandlersItDoesNotHaveAndShowsWhatAHandlerThrows) {
    MemoryFormView view(contract::form());
    contract::NoDialogs dialogs;
    EXPECT_THROW(FormBinder(contract::form(), view, {}, dialogs, nullptr), std::logic_error);

    FormBinder binder(contract::form(), view,
                      {{"GoClick", []() -> bool { throw std::runtime_error("Kaputt"); }}}, dialogs,
                      [] { throw std::runtime_error("Keine Uhrzeit"); });
    view.setEvents(&binder);
    view.click("Go");
    binder.regionalSettingsChanged();
    EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"Kaputt.", "Keine Uhrzeit."}));
}

}  // namespace
}  // namespace veltrona::ui::testing
