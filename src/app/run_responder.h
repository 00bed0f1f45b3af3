#pragma once

#include "app/exit_codes.h"

// velk-tester's one start-up path, for every entry point: the operator
// script or the desk, the start-up checks, the service loop, the exit code.
//
// controller and port are the first two arguments, each taken whole (a blank
// inside one is part of it); null or empty: not given. Entries that receive
// one command line cut it into tokens first (command_line.h).
//
// scriptPath is the operator script to answer with (OperatorScriptPath()),
// null for the desk. Returns the process's exit code (app/exit_codes.h).
int RunResponder(const char* scriptPath, char* controller, char* port);

// OPERATOR_SCRIPT, read here only: the path of the operator script, or null
// when the variable is unset or empty. Each entry reads it once and passes
// it on.
const char* OperatorScriptPath();
