#pragma once

// Windows Sockets: here the connection layer's vocabulary is the system's
// own (socket, bind, select, WSAGetLastError, ...), and every failure already
// carries its Windows Sockets number. platform/socket_contract.h, included at
// the end, adds the few helpers that every backend offers under the same
// names.
//
// Hazard: the system headers define many short macros. The window manager's
// part (WM_*, IDOK, WS_*, SB_*) and the drawing part are kept out, because
// the dialog logic names the same constants in its own namespace; "near" and
// "far", empty macros of the 16-bit era, are undefined again, because they
// are ordinary words in the callers. "OPTIONAL", an empty marker the system
// headers themselves use, stays: no name of ours may be OPTIONAL.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef NOUSER
#define NOUSER
#endif
#ifndef NOGDI
#define NOGDI
#endif
#include <winsock2.h>
#include <ws2tcpip.h>  // socklen_t
#undef near
#undef far

#include "platform/wsa_codes.h"

// ioctlsocket with the command as the callers spell it: FIONBIO is an
// unsigned constant of the headers, the system's parameter a long. The
// conversion is the one the system's callers always make; here it is said
// once, out loud.
inline int ioctlsocket(SOCKET s, unsigned long command, u_long* argument) {
    return ::ioctlsocket(s, static_cast<long>(command), argument);
}

// The contract every backend shares (plat::recv, WaitSockets, ...).
#include "platform/socket_contract.h"
