#pragma once

#include "ui/dialog_host.h"

// The desk's GUI host as a loadable module beside the program. The module
// exports one C function; the program loads it at the first need of a
// dialog, so that a responder answering with a script never maps the GUI
// toolkit.

#define VELK_DESK_MODULE_FILE "libvelk-desk-qt.so"
#define VELK_DESK_MODULE_ENTRY "VelkOpenDeskHost"

// Creates the host at the first call and returns it then and afterwards, or
// null with a line for the user in why (of whySize bytes).
extern "C" {
using VelkOpenDeskHostFunction = ui::UiHost* (*)(const char* programName, char* why, int whySize);
}
