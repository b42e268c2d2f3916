#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <string_view>

#include "ui/FormDescription.h"
#include "ui/FormWindow.h"

class QPlainTextEdit;
class QTimer;

namespace veltrona::ui {

// A form description made into a Qt window: a fixed dialog frame at the designed
// position with the designed client size, each control a widget inside its container at
// the pixels the description gives, the tab order of the description, labels fitted to
// their text, and the description's timers armed. It holds the controls' state and
// reports clicks, changes, ticks, the close request and new regional settings; what they
// mean is left to the FormEvents it reports them to.
class QtFormWindow : public QWidget, public FormWindow {
    Q_OBJECT

  public:
    explicit QtFormWindow(const FormSpec& form, QWidget* parent = nullptr);
    ~QtFormWindow() override;

    // The control of that name (nullptr for none), for tests that drive the window.
    QWidget* control(std::string_view name) const;
    // The timer of that name (nullptr for none).
    QTimer* timer(std::string_view name) const;

    // FormWindow
    void setEvents(FormEvents* events) override { events_ = events; }
    void show() override;
    std::string focusedControl() const override;
    int runMessageLoop() override;

    // FormView
    void setWindowCaption(std::string_view text) override;
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, std::string_view text) override;
    std::string hint(std::string_view control) const override;
    void setHint(std::string_view control, std::string_view text) override;
    bool isChecked(std::string_view control) const override;
    void setChecked(std::string_view control, bool checked) override;
    bool isEnabled(std::string_view control) const override;
    void setEnabled(std::string_view control, bool enabled) override;
    int lineCount(std::string_view memo) const override;
    std::string line(std::string_view memo, int index) const override;
    void setLine(std::string_view memo, int index, std::string_view text) override;
    void appendLine(std::string_view memo, std::string_view text) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void build();
    QWidget* make(const ControlSpec& design, QWidget* parent);
    void report(const ControlSpec& design);
    void armTimer(const ControlSpec& design);
    void fitLabel(std::string_view name);
    QWidget& at(std::string_view control) const;
    QPlainTextEdit& memoAt(std::string_view memo) const;

    const FormSpec& form_;
    FormEvents* events_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> controls_;
    std::map<std::string, QTimer*, std::less<>> timers_;
    std::map<std::string, std::string, std::less<>> hints_;       // kept, never shown
    std::map<std::string, int, std::less<>> designedRightEdges_;  // right-aligned labels
    bool shownOnce_ = false;
};

}  // namespace veltrona::ui
