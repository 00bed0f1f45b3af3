#pragma once

#include <string>

#include "ui/dialog_host.h"

// The GUI host of this platform, for the person at the desk.

namespace ui {

// Keeps the program's arguments for the toolkit; call before OpenDeskHost.
void SetDeskArguments(int argc, char** argv);
// Creates the host at the first call and returns it then and afterwards.
// Returns null, with a line for the user in why, when there is no display to
// show dialogs on (a display that does not answer counts as none; the answer
// is kept for the life of the process) or the build has no GUI.
UiHost* OpenDeskHost(std::string& why);

}  // namespace ui
