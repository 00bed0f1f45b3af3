// velk-tester CONTROLLER PORT
// velk-tester --help | --version
//
// Answers the messages of one peer at a time: in dialogs at the desk, or
// unattended with the operator script named by OPERATOR_SCRIPT.

#include <cstdio>

#include "app/help_and_version.h"
#include "app/run_responder.h"
#include "ui/desk_host.h"

int main(int argc, char** argv) {
    char* first = argc > 1 ? argv[1] : nullptr;
    if (AsksForHelpOrVersion(first)) {
        WriteHelpOrVersion(first, stdout);
        return EXIT_SERVED;
    }
    ui::SetDeskArguments(argc, argv);
    // The arguments arrive split: each is taken whole.
    return RunResponder(OperatorScriptPath(), first, argc > 2 ? argv[2] : nullptr);
}
