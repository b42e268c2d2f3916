#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace veltrona::ui {

// The kinds of component a form is made of. Each window toolkit turns them into its own
// controls; the form's logic and the translation only ever see the kind.
enum class ControlKind {
    Label,
    Memo,  // multi-line, read-only
    PushButton,
    GroupBox,
    RadioButton,
    CheckBox,
    Edit,  // single line
    SpinEdit,
    Panel,     // bevelled
    Timer,     // not visual
    Manifest,  // not visual: the themed common controls
};

bool isVisual(ControlKind kind);
// Whether controls can sit inside it: group boxes and panels.
bool isContainer(ControlKind kind);
// Whether the kind has the text property "Caption" (labels, buttons, group boxes, radio
// buttons, check boxes, panels). An edit's or memo's content is no caption.
bool hasCaption(ControlKind kind);
// Whether the kind has the text property "Hint": every visual control.
bool hasHint(ControlKind kind);

// What a control reports to its form: a click of a push button, check box or radio
// button (by mouse or keyboard), a change of an edit's or spin edit's text, a timer's tick.
enum class ControlEvent { None, Click, Change, Tick };

// The event a control of that kind reports; None for a kind that reports none.
ControlEvent eventOf(ControlKind kind);

// A timer's interval when the form leaves it unchanged: the toolkit's default.
constexpr int kDefaultTimerInterval = 1000;  // milliseconds

enum class Align { Left, Right, Center };
enum class Bevel { None, Lowered, Raised };

// One component of a form as it is designed: what both window toolkits build it from.
// Geometry is in pixels relative to the parent's client area; a label's width and height
// are those of its built-in caption, and the window sizes labels to their text.
struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;  // empty: the window itself
    int left = 0, top = 0, width = 0, height = 0;
    std::string_view caption;  // UTF-8; a memo's lines separated by "\n"; a spin edit's value
    int tabOrder = -1;         // within the parent; -1: no tab stop
    bool enabled = true;
    bool visible = true;
    bool bold = false;
    bool wordWrap = false;
    Align align = Align::Left;
    Bevel bevel = Bevel::None;
    // The handler the control's event runs, by name; empty: none.
    ControlEvent event = ControlEvent::None;
    std::string_view handler;
    int interval = kDefaultTimerInterval;  // a timer's, in milliseconds
};

// A control as a form lists it, with everything else at its default.
inline ControlSpec control(std::string_view name, ControlKind kind, std::string_view parent,
                           int left, int top, int width, int height, std::string_view caption,
                           int tabOrder) {
    ControlSpec design;
    design.name = name;
    design.kind = kind;
    design.parent = parent;
    design.left = left;
    design.top = top;
    design.width = width;
    design.height = height;
    design.caption = caption;
    design.tabOrder = tabOrder;
    return design;
}

// Radio buttons of which at most one is checked: checking one, by a click or by code,
// unchecks the others. The members follow each other in the tab sequence, so that the
// arrow keys move within the group. A radio button of no group stands alone.
struct RadioGroup {
    std::string_view name;
    std::span<const std::string_view> members;
};

struct FormSpec {
    std::string_view name;     // the window's name, also its translation section
    std::string_view caption;  // UTF-8
    int left = 0, top = 0;     // the designed screen position
    int clientWidth = 0, clientHeight = 0;
    std::string_view fontFamily;
    int fontPointSize = 0;
    // Every component the window owns, in the order the form lists them.
    std::span<const ControlSpec> controls;
    std::span<const RadioGroup> radioGroups;
    // The control that has the focus when the window is first shown.
    std::string_view firstFocus;
    // The window's own handlers, by name; empty: none.
    std::string_view onCreate, onShow, onClose;

    const ControlSpec* find(std::string_view controlName) const;
    // The group the radio button belongs to; nullptr for one that stands alone.
    const RadioGroup* groupOf(std::string_view radioButton) const;
};

// The order in which a toolkit creates the visual controls inside their containers, so
// that the order of creation is the order of Tab and of the radio groups: within each
// container (the window first) its children by tab order, each container followed at once
// by its own children, then the children without a tab order. A radio button that
// follows another of its group joins that group; every other control starts a group.
// Only controls that take the focus are tab stops.
struct CreationStep {
    const ControlSpec* control;
    bool tabStop;
    bool startsGroup;
};
std::vector<CreationStep> creationOrder(const FormSpec& form);

// Checks the radio button and unchecks the other members of its group.
class FormView;
void checkRadioButton(const FormSpec& form, FormView& view, std::string_view radioButton);

// Throws std::logic_error where the description contradicts itself: a control's event
// that its kind does not report, a group member that is no radio button of the form or
// whose group is broken up in the tab sequence, a first focus that takes no focus.
void checkDescription(const FormSpec& form);

// The focusable controls in the window's tab order: the tab stops of creationOrder(), so
// every toolkit walks the same sequence. Controls that are hidden, or that take no focus
// (labels, group boxes, panels), are left out, but the children of containers are still
// reached through them.
std::vector<const ControlSpec*> tabSequence(const FormSpec& form);

}  // namespace veltrona::ui
