#include "vksoc/port/set_buffers.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vksoc/port/port_entry.h"

namespace {
constexpr int SOCKET_BUFFER_SIZE = 4096;
}

int SetBuffers(int port) {
    PortEntry& entry = portTable[port];
    if (entry.mode == MODE_FILE) {
        return 0;
    }
    SOCKET s = static_cast<SOCKET>(entry.handle);
    int size = SOCKET_BUFFER_SIZE;
    if (setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size) ==
        SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("SetBuffers: SetSockOpt failed for Rcv Buffer\n");
        return -1;
    }
    if (setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size) ==
        SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("SetBuffers: SetSockOpt failed for Snd Buffer\n");
        return -1;
    }
    return 0;
}
