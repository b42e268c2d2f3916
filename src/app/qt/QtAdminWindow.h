#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "app/ServerAdminForm.h"
#include "ui/FormDescription.h"
#include "ui/FormView.h"

class QTimer;

namespace veltrona::app {

// The administration window on Qt: builds its controls from the form description, holds
// their state for the form's logic, routes clicks, ticks and the close request to the
// handlers of TServerAdminForm, and decides nothing itself.
class QtAdminWindow : public QWidget, public ui::FormView {
    Q_OBJECT

  public:
    // Builds the controls and arms the polling timer; call form().FormCreate() next.
    explicit QtAdminWindow(FormServices services, QWidget* parent = nullptr);
    ~QtAdminWindow() override;

    TServerAdminForm& form() { return *form_; }
    QTimer* pollingTimer() const { return timer_; }
    // The control of that name (nullptr for none), for tests that drive the window.
    QWidget* control(std::string_view name) const;

    // ui::FormView
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
    void build(const ui::FormSpec& form);
    QWidget* make(const ui::ControlSpec& design, QWidget* parent);
    void fitLabel(std::string_view name);
    QWidget& at(std::string_view control) const;

    std::map<std::string, QWidget*, std::less<>> controls_;
    std::map<std::string, std::string, std::less<>> hints_;       // kept, never shown
    std::map<std::string, int, std::less<>> designedRightEdges_;  // right-aligned labels
    QTimer* timer_ = nullptr;
    std::unique_ptr<TServerAdminForm> form_;
    bool shownOnce_ = false;
};

}  // namespace veltrona::app
