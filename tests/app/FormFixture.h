#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <memory>

#include "../support/FormDoubles.h"
#include "QtAdminWindow.h"

namespace veltrona::app::testing {

// The Qt window over the form, in a temporary install.
class FormTest : public InstallTest {
  protected:
    std::unique_ptr<QtAdminWindow> form;

    void TearDown() override {
        form.reset();
        InstallTest::TearDown();
    }

    // Builds the window (which arms its timer); the test starts the sequence itself.
    QtAdminWindow& build() {
        form = std::make_unique<QtAdminWindow>(services());
        form->pollingTimer()->stop();  // ticks are driven by the tests
        return *form;
    }
    QtAdminWindow& create() {
        build().form().FormCreate();
        return *form;
    }

    template <typename T>
    T* control(const char* name) const {
        T* widget = qobject_cast<T*>(form->control(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* edit) const { return control<QLineEdit>(edit)->text(); }
    QStringList statusLines() const {
        QStringList lines;
        for (int i = 0; i < form->lineCount("SStatus"); ++i) {
            lines << QString::fromStdString(form->line("SStatus", i));
        }
        return lines;
    }
};

using Texts = std::vector<std::string>;

}  // namespace veltrona::app::testing
