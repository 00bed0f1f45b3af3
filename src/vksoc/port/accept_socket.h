#pragma once

#include "os_sockets.h"

// Takes the next connection waiting on a listening socket and sets its
// options (plat::SetConnectionOptions): TCP keep-alive, so that a peer that
// vanishes without a word ends as a failed connection instead of holding it
// for ever, and no delay for small writes. On failure the error
// state is set with texts that name the operation ("AcceptConn",
// "AcceptPeer") and INVALID_SOCKET is returned. A non-blocking listener with
// nobody waiting also gives INVALID_SOCKET, with *nobodyWaiting set and the
// error state untouched; nobodyWaiting may be null for a blocking listener.
SOCKET AcceptWithKeepAlive(SOCKET listening, const char* operation, bool* nobodyWaiting);
