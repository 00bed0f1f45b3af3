#include "vksoc/port/accept_conn.h"

#include "vksoc/port/accept_socket.h"
#include "vksoc/port/port_entry.h"

int AcceptConn(int port) {
    PortEntry& entry = portTable[port];
    SOCKET accepted = AcceptWithKeepAlive(static_cast<SOCKET>(entry.handle), "AcceptConn", nullptr);
    if (accepted == INVALID_SOCKET) {
        return -1;
    }
    closesocket(static_cast<SOCKET>(entry.handle));
    entry.handle = static_cast<int32_t>(accepted);
    entry.state = PORT_IDLE;
    return 0;
}
