// velk-tester CONTROLLER PORT
//
// Answers the messages of one peer at a time: in dialogs at the desk, or
// unattended with the operator script named by OPERATOR_SCRIPT.

#include "app/run_responder.h"
#include "ui/desk_host.h"

int main(int argc, char** argv) {
    ui::SetDeskArguments(argc, argv);
    // The arguments arrive split: each is taken whole.
    return RunResponder(argc > 1 ? argv[1] : nullptr, argc > 2 ? argv[2] : nullptr);
}
