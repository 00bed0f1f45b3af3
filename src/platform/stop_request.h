#pragma once

// A request to stop serving, made from a signal handler (SIGINT, SIGTERM) or
// a console control handler. Safe to call there: it only sets a flag. The
// service loops look at it between messages and finish the one in hand.

void RequestStop() noexcept;
bool StopRequested() noexcept;
