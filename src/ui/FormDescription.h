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
// Whether the kind has the text property "Caption" (labels, buttons, group boxes, radio
// buttons, check boxes, panels). An edit's or memo's content is no caption.
bool hasCaption(ControlKind kind);
// Whether the kind has the text property "Hint": every visual control.
bool hasHint(ControlKind kind);

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

    const ControlSpec* find(std::string_view controlName) const;
};

// The focusable controls in the window's tab order: the window's children by their tab
// order, each container followed by its own children the same way, depth first. Controls
// that are hidden, or that take no focus (labels, group boxes, panels), are left out,
// but the children of containers are still reached through them.
std::vector<const ControlSpec*> tabSequence(const FormSpec& form);

}  // namespace veltrona::ui
