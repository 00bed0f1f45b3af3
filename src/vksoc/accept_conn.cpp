#include "vksoc/accept_conn.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vksoc/port_table.h"

int AcceptConn(int port) {
    PortEntry& entry = portTable[port];
    SOCKET accepted = accept(static_cast<SOCKET>(entry.handle), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        int wsa = WSAGetLastError();
        if (wsa == WSAEMFILE || wsa == WSAENOBUFS) {
            SetError(ERR_RESOURCE, wsa);
            ADD_ERROR_TEXT("AcceptConn: No resources to accept connection\n");
        } else if (wsa == WSAECONNABORTED) {
            SetError(ERR_CONNECTION, wsa);
            ADD_ERROR_TEXT("AcceptConn: Connection aborted\n");
        } else {
            SetError(ERR_INTERNAL, wsa);
            ADD_ERROR_TEXT("AcceptConn: Internal error accepting connection\n");
        }
        return -1;
    }
    // A peer that vanishes without a word would hold the connection for ever.
    if (plat::SetKeepAlive(accepted) == SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("AcceptConn: SetSockOpt failed for keep-alive\n");
        closesocket(accepted);
        return -1;
    }
    closesocket(static_cast<SOCKET>(entry.handle));
    entry.handle = static_cast<int32_t>(accepted);
    entry.state = PORT_IDLE;
    return 0;
}
