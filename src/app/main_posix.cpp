// velk-tester CONTROLLER PORT
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

namespace {

ui::UiHost* OpenDeskForScript() {
    std::string why;
    return ui::OpenDeskHost(why);
}

// The arguments arrive split: each stands for one token, cut like a token of
// a whole command line.
char* Token(int argc, char** argv, int index) {
    if (index >= argc) {
        return nullptr;
    }
    char* cursor = argv[index];
    return NextToken(cursor);
}

int Run(ui::UiHost& host, int argc, char** argv) {
    if (StartUp(host, Token(argc, argv, 1), Token(argc, argv, 2)) == 0) {
        ServiceLoop(host);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ui::SetDeskArguments(argc, argv);
    const char* scriptPath = std::getenv("OPERATOR_SCRIPT");
    if (scriptPath != nullptr && scriptPath[0] != '\0') {
        static ui::OperatorScript script;
        std::string error;
        if (!ui::LoadOperatorScript(scriptPath, script, error)) {
            std::fprintf(stderr, "VELK Tester: %s\n", error.c_str());
            return 1;
        }
        ui::ScriptHost host(script, OpenDeskForScript);
        return Run(host, argc, argv);
    }
    std::string why;
    ui::UiHost* desk = ui::OpenDeskHost(why);
    if (desk == nullptr) {
        std::fprintf(stderr,
                     "VELK Tester: %s.\n"
                     "Run it at a desktop, or unattended with an operator script, for example:\n"
                     "  OPERATOR_SCRIPT=../data/answer.script ./velk-tester C01 7001\n",
                     why.c_str());
        return 1;
    }
    return Run(*desk, argc, argv);
}
