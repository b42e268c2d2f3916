#include "ModalDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace veltrona::ui::testing {

namespace {
constexpr int kPollMs = 5;
constexpr qint64 kPatienceMs = 5000;
}  // namespace

void whenModalOpens(std::function<void(QWidget*)> action) {
    auto* poll = new QTimer();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, clock, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (clock->elapsed() > kPatienceMs) {
                ADD_FAILURE() << "no modal widget opened";
                poll->deleteLater();
                poll->stop();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QWidget> watched(modal);
        action(modal);
        QTimer::singleShot(kPatienceMs, [watched] {
            if (watched && watched->isVisible()) {
                ADD_FAILURE() << "the modal widget stayed open";
                if (auto* dialog = qobject_cast<QDialog*>(watched.data())) {
                    dialog->done(0);
                } else {
                    watched->close();
                }
            }
        });
    });
    poll->start(kPollMs);
}

}  // namespace veltrona::ui::testing
