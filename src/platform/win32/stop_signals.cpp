#include "platform/stop_signals.h"

#include <windows.h>

#include "platform/stop_request.h"

namespace {

void (*lastWordOnStop)() = nullptr;

BOOL WINAPI HandleConsole(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    RequestStop();
    // The main thread ends the process itself when it sees the request
    // between messages; a thread blocked in accept or select never does.
    Sleep(2000);
    if (lastWordOnStop != nullptr) {
        lastWordOnStop();
    }
    ExitProcess(0);
    return TRUE;
}

}  // namespace

void CatchStopSignals(void (*lastWord)()) {
    lastWordOnStop = lastWord;
    SetConsoleCtrlHandler(HandleConsole, TRUE);
}
