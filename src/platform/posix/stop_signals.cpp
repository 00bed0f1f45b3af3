#include "platform/stop_signals.h"

#include <signal.h>

#include "platform/stop_request.h"

namespace {
void HandleStop(int) {
    RequestStop();
}
}  // namespace

void CatchStopSignals(void (*)()) {
    struct sigaction action {};
    action.sa_handler = HandleStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: accept and poll return EINTR and look at the flag.
    action.sa_flags = static_cast<int>(SA_RESETHAND);  // a flag bit: 0x80000000 on Linux
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
