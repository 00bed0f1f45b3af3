#pragma once

#include "os_sockets.h"

// The socket of an open socket port (port.h), for a wait on it; the port
// stays its owner and closes it.
SOCKET PortSocket(int port);
