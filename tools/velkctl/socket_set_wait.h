#pragma once

// velkctl's wait over the sockets of several connections at once. It stays
// private to velkctl (one backend file per platform beside this header) until
// the platform layer offers a wait over several sockets; then it gives way.

#include "os_sockets.h"

inline constexpr int MAX_WAIT_SOCKETS = 64;

// Waits until at least one of `count` (1 to MAX_WAIT_SOCKETS) sockets is
// readable, meaning data, the end of the stream or an error is pending (the
// following recv tells which), or `timeoutMs` milliseconds have passed (any
// negative value: no limit). Sets ready[i] for each readable socket. Returns
// how many are ready (0 on a time-out), or SOCKET_ERROR (WSAGetLastError
// says why).
int WaitSocketSet(const SOCKET* sockets, int count, int timeoutMs, bool* ready);
