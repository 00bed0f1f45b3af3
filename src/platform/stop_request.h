#pragma once

// A request to stop serving, made from a signal handler (SIGINT, SIGTERM) or
// a console control handler. Safe to call there: it only sets a flag. The
// service loops look at it between messages and finish the one in hand.

void RequestStop() noexcept;
bool StopRequested() noexcept;
// Withdraws a request, for tests that run a service loop again in the same
// process after stopping one. The responder itself never calls it.
void ResetStopRequest() noexcept;
