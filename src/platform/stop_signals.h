#pragma once

// Turns SIGINT and SIGTERM (Windows: the console's Ctrl+C, Ctrl+Break and
// close events) into RequestStop() (stop_request.h).
//
// POSIX: a blocking accept or wait is interrupted and gives up when a stop
// is requested, so an idle responder stops at once; a second signal ends the
// process the default way. (A signal that lands between the last look at the
// flag and the start of a wait is seen at the next message; the second
// signal is the way out then.)
// Windows: the handler runs on a thread of its own and cannot interrupt a
// blocking call. When the process has not ended 2 seconds after the request,
// the handler calls lastWord (it may be null) and ends the process with exit
// code 0.
void CatchStopSignals(void (*lastWord)());
