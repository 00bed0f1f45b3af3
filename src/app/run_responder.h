#pragma once

// velk-tester's one start-up path, for every entry point: the operator
// script or the desk, the start-up checks, the service loop, the exit code.
//
// controller and port are the first two arguments, each taken whole (a blank
// inside one is part of it); null or empty: not given. Entries that receive
// one command line cut it into tokens first (command_line.h).
//
// Exit codes (the same on every platform):
//   0  served until a stop was requested, or stopped at a start-up or
//      service message box (the specified texts)
//   1  the operator script cannot be used (unreadable, a directory, a line
//      it does not understand), or there is no desk to show dialogs on and
//      no operator script
inline constexpr int EXIT_SERVED = 0;
inline constexpr int EXIT_CANNOT_START = 1;

int RunResponder(char* controller, char* port);
