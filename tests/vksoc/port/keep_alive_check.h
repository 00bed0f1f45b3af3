#pragma once

// What a test can read back of a socket's keep-alive and no-delay switch on
// this system: the
// switch and the times on POSIX, the switch alone on Windows (which sets the
// times through a control that cannot be read back).

#include "os_sockets.h"

// Expects keep-alive on, with the times of platform/keep_alive.h where the
// system tells them.
void ExpectKeepAliveProbes(SOCKET s);

// Expects TCP_NODELAY on: small writes go on the wire at once, without
// waiting for the acknowledgement of the one before.
void ExpectNoDelay(SOCKET s);
