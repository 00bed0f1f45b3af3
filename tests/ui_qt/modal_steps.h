#pragma once

#include <functional>

class QTimer;
class QWidget;

// Modal boxes and dialogs run their own event loops, so a test answers them
// from inside: schedule the answer before the action that opens the widget.

// Runs step on the next modal widget that opens above the one open now.
void OnNextModal(std::function<void(QWidget&)> step);

// After timeoutMs within any event loop, fails the test and closes every
// dialog still open, so that a step gone wrong cannot leave a modal loop
// running for ever. Its end fails the test for every scheduled answer that
// found no widget, and cancels it.
class ModalWatchdog {
  public:
    explicit ModalWatchdog(int timeoutMs = 5000);
    ~ModalWatchdog();
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

  private:
    QTimer* timer_;
};
