// velk-tester CONTROLLER PORT, the Windows desktop entry.
//
// Answers the messages of one peer at a time: in dialogs at the desk, or
// unattended with the operator script named by OPERATOR_SCRIPT.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/service_loop.h"
#include "app/start_up.h"
#include "ui/desk_host.h"
#include "ui/script/operator_script.h"
#include "ui/script/script_host.h"
#include "ui/win32/win32_host.h"

namespace {

ui::UiHost* OpenDeskForScript() {
    std::string why;
    return ui::OpenDeskHost(why);
}

// The command line is the text after the program's name; its tokens are cut
// in place.
int Run(ui::UiHost& host, char* commandLine) {
    char* cursor = commandLine;
    char* controller = NextToken(cursor);
    char* port = controller != nullptr ? NextToken(cursor) : nullptr;
    if (StartUp(host, controller, port) == 0) {
        ServiceLoop(host);
    }
    return 0;
}

}  // namespace

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
        static ui::OperatorScript script;
        std::string error;
        if (!ui::LoadOperatorScript(scriptPath, script, error)) {
            std::fprintf(stderr, "VELK Tester: %s\n", error.c_str());
            return 1;
        }
        ui::ScriptHost host(script, OpenDeskForScript);
        return Run(host, commandLine);
    }
    std::string why;
    ui::UiHost* desk = ui::OpenDeskHost(why);
    return desk != nullptr ? Run(*desk, commandLine) : 0;
}
