#pragma once

#include "ui/dialog_host.h"

// The Win32 host: the dialog manager runs the message dialog from the
// in-memory template, with real controls, message boxes and the common file
// dialogs. Nothing here needs the system headers; handles are passed as
// void*, so the entry point and the tests can use it without them.

namespace ui {

// The instance handle WinMain received (an HINSTANCE); the dialog and its
// controls are created for it. Call before the first dialog.
void SetWin32Instance(void* instance);

// The host for the whole program (created at the first call).
UiHost& Win32Host();

// In unattended operation the program writes its boxes to standard error. A
// program of the desktop subsystem started from a console has no standard
// error of its own unless it was redirected: this attaches the parent's
// console then. Harmless when standard error already leads somewhere.
void AttachParentConsoleForErrors();

}  // namespace ui
