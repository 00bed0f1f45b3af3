#pragma once

#include "ui/dialog_host.h"
#include "ui/script/operator_script.h"

// Answers every message dialog by running the operator script against it.
// Message boxes become lines "VELK Tester: TEXT" on standard error and count
// as answered with OK. "ask" hands the message to the person at the desk
// through the GUI host when there is one.

namespace ui {

class ScriptHost : public UiHost {
public:
    // openDesk: gives the GUI host for "ask" (null when there is no display);
    // called at the first "ask" only, so that a script that never asks costs
    // no toolkit. May itself be null.
    using DeskOpener = UiHost* (*)();
    ScriptHost(const OperatorScript& script, DeskOpener openDesk)
        : script_(script), openDesk_(openDesk) {}

    void ShowMessageBox(const char* text, unsigned icon) override;
    int RunDialog(const unsigned char* dialogTemplate, int templateSize,
                  DialogProc procedure) override;

private:
    const OperatorScript& script_;
    DeskOpener openDesk_;
};

}  // namespace ui
