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

TEST(FormDescription, CreationPutsContainersBeforeTheirContentsAndJoinsOnlyRadioGroups) {
    const FormSpec& form = app::serverAdminFormSpec();
    std::vector<std::string_view> created;
    std::vector<std::string_view> joining;
    std::vector<std::string_view> tabStops;
    for (const CreationStep& step : creationOrder(form)) {
        const std::string_view parent = step.control->parent;
        EXPECT_TRUE(parent.empty() ||
                    std::find(created.begin(), created.end(), parent) != created.end())
            << step.control->name << " before its container";
        created.push_back(step.control->name);
        if (!step.startsGroup) {
            joining.push_back(step.control->name);
        }
        if (step.tabStop) {
            tabStops.push_back(step.control->name);
        }
    }
    EXPECT_EQ(created.size(), 37u);  // every visual control, once
    EXPECT_EQ(joining,
              (std::vector<std::string_view>{"RadioButton4", "RadioButton3", "RadioButton5"}));
    // Tab visits the focusable controls in creation order, containers' contents in place.
    EXPECT_EQ(tabStops,
              (std::vector<std::string_view>{
                  "Button1", "Button2", "Edit1", "Edit2", "Edit3", "edDatabase", "RadioButton2",
                  "RadioButton4", "RadioButton3", "RadioButton5", "Edit4", "SpinEdit2",
                  "RadioButton1", "CheckBox2", "SpinEdit1", "SpinEdit3", "CheckBox1", "SStatus"}));
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

    const auto restore = [&] {  // in place: `broken` looks at this storage
        std::copy(contract::form().controls.begin(), contract::form().controls.end(),
                  controls.begin());
    };
    restore();
    controls[1].event = ControlEvent::Click;  // an edit reports changes, not clicks
    EXPECT_THROW(checkDescription(broken), std::logic_error);

    restore();
    EXPECT_NO_THROW(checkDescription(broken));
    broken.firstFocus = "Caption";  // a label takes no focus
    EXPECT_THROW(checkDescription(broken), std::logic_error);
}

TEST(FormBinder, RefusesAFormWhoseHandlersItDoesNotHaveAndShowsWhatAHandlerThrows) {
    MemoryFormView view(contract::form());
    contract::NoDialogs dialogs;
    EXPECT_THROW(FormBinder(contract::form(), view, {}, dialogs, nullptr), std::logic_error);

    std::vector<std::string> ran;
    std::vector<FormHandler> handlers = contract::notingHandlers(ran);
    handlers[0].run = []() -> bool { throw std::runtime_error("Kaputt"); };  // GoClick
    FormBinder binder(contract::form(), view, handlers, dialogs,
                      [] { throw std::runtime_error("Keine Uhrzeit"); });
    view.setEvents(&binder);
    view.click("Go");
    binder.regionalSettingsChanged();
    EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"Kaputt.", "Keine Uhrzeit."}));
}

TEST(FormBinder, RunsTheHandlerThatTheDescriptionNamesForEachEventAndNoOther) {
    FormSpec form = contract::form();
    form.onCreate = "FormCreate";
    form.onShow = "FormShow";

    std::vector<std::string> ran;
    MemoryFormView view(form);
    contract::NoDialogs dialogs;
    FormBinder binder(form, view, contract::notingHandlers(ran), dialogs, nullptr);
    binder.created();
    binder.shown();
    binder.controlEvent("Name", ControlEvent::Change);
    binder.controlEvent("Name", ControlEvent::Click);  // not the event it reports
    binder.controlEvent("Tick", ControlEvent::Tick);
    binder.controlEvent("Check", ControlEvent::Click);  // names no handler
    binder.controlEvent("Nowhere", ControlEvent::Click);
    binder.controlEvent("Go", ControlEvent::Click);
    EXPECT_FALSE(binder.closeRequested()) << "the close handler's answer decides";
    EXPECT_EQ(ran, (std::vector<std::string>{"FormCreate", "FormShow", "NameChange", "TickTimer",
                                             "GoClick", "FormClose"}));
}

}  // namespace
}  // namespace veltrona::ui::testing
