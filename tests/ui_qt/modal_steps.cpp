#include "modal_steps.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <vector>

namespace {
std::vector<QPointer<QTimer>> pendingSteps;
}  // namespace

void OnNextModal(std::function<void(QWidget&)> step) {
    QPointer<QWidget> below = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, below, step = std::move(step)] {
        QWidget* top = QApplication::activeModalWidget();
        if (top == nullptr || top == below || !top->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        step(*top);
    });
    timer->start();
    pendingSteps.emplace_back(timer);
}

ModalWatchdog::ModalWatchdog(int timeoutMs) : timer_(new QTimer) {
    timer_->setSingleShot(true);
    QObject::connect(timer_, &QTimer::timeout, [] {
        ADD_FAILURE() << "a modal widget was still open after the time-out";
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* dialog = qobject_cast<QDialog*>(window);
                dialog != nullptr && dialog->isVisible()) {
                dialog->done(-2);
            }
        }
    });
    timer_->start(timeoutMs);
}

ModalWatchdog::~ModalWatchdog() {
    delete timer_;
    for (QPointer<QTimer>& step : pendingSteps) {
        if (step != nullptr && step->isActive()) {
            ADD_FAILURE() << "an answer was scheduled for a modal widget that never opened";
        }
        delete step;
    }
    pendingSteps.clear();
}
