// velk-tester CONTROLLER PORT, the Windows desktop entry.
//
// Answers the messages of one peer at a time: in dialogs at the desk, or
// unattended with the operator script named by OPERATOR_SCRIPT.

#include <cstdlib>

#include "app/command_line.h"
#include "app/run_responder.h"
#include "ui/win32/win32_host.h"

// The instance handle is an HINSTANCE, an opaque pointer: the entry needs no
// system header to pass it on.
struct HINSTANCE__;

extern "C" int __stdcall WinMain(HINSTANCE__* instance, HINSTANCE__*, char* commandLine, int) {
    ui::SetWin32Instance(instance);
    static char empty[] = "";
    if (commandLine == nullptr) {
        commandLine = empty;
    }
    const char* scriptPath = std::getenv("OPERATOR_SCRIPT");
    if (scriptPath != nullptr && scriptPath[0] != '\0') {
        ui::AttachParentConsoleForErrors();
    }
    // The command line is the text after the program's name; its tokens are
    // cut in place.
    char* cursor = commandLine;
    char* controller = NextToken(cursor);
    char* port = controller != nullptr ? NextToken(cursor) : nullptr;
    return RunResponder(controller, port);
}
