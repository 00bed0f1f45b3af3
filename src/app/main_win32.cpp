// velk-tester CONTROLLER PORT, the Windows desktop entry.
// velk-tester --help | --version
//
// Answers the messages of one peer at a time: in dialogs at the desk, or
// unattended with the operator script named by OPERATOR_SCRIPT.

#include <cstdio>

#include "app/command_line.h"
#include "app/help_and_version.h"
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
    // The command line is the text after the program's name; its tokens are
    // cut in place.
    char* cursor = commandLine;
    char* controller = NextToken(cursor);
    // A desktop program has no standard output of its own: the usage and the
    // version go where an unattended run's lines go, to standard error, the
    // parent's console or a redirection.
    if (AsksForHelpOrVersion(controller)) {
        ui::AttachParentConsoleForErrors();
        WriteHelpOrVersion(controller, stderr);
        return EXIT_SERVED;
    }
    const char* scriptPath = OperatorScriptPath();
    if (scriptPath != nullptr) {
        ui::AttachParentConsoleForErrors();
    }
    char* port = controller != nullptr ? NextToken(cursor) : nullptr;
    return RunResponder(scriptPath, controller, port);
}
