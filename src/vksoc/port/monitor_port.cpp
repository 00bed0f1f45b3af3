#include "vksoc/port/monitor_port.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/socket_error.h"

int MonitorPort(int port) {
    PortEntry& entry = portTable[port];
    if (entry.mode == MODE_FILE) {
        return 0;
    }
    SOCKET s = static_cast<SOCKET>(entry.handle);
    unsigned long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("MonitorPort: Error making socket non-blocking\n");
        return -1;
    }
    char probe;
    int n = plat::recv(s, &probe, 1, MSG_PEEK);
    int wsa = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    if (n == SOCKET_ERROR && wsa != WSAEWOULDBLOCK) {
        const SocketError error = ErrorCodeOfSocketError(SocketCall::Receive, wsa);
        SetError(error.code, wsa);
        switch (error.fault) {
            case SocketFault::Aborted:
            case SocketFault::TimedOut:
                ADD_ERROR_TEXT("MonitorPort: Transmission timeout\n");
                break;
            case SocketFault::Reset:
                ADD_ERROR_TEXT("MonitorPort: Connection reset by peer\n");
                break;
            case SocketFault::NoResources:
                ADD_ERROR_TEXT("MonitorPort: System is out of resources\n");
                break;
            default:
                ADD_ERROR_TEXT("MonitorPort: Error probing the connection\n");
                break;
        }
        return -1;
    }
    if (n == 0) {
        SetError(ERR_CONNECTION, 0);
        ADD_ERROR_TEXT("MonitorPort: Connection closed by peer");
        return -1;
    }
    if (n > 0) {
        SetError(ERR_CONNECTION, 0);
        ADD_ERROR_TEXT("MonitorPort: Unexpected data");
        return -1;
    }
    // A TLS port's socket stays non-blocking: its session asks for that.
    unsigned long blocking = 0;
    if (entry.tls == nullptr && ioctlsocket(s, FIONBIO, &blocking) == SOCKET_ERROR) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("MonitorPort: Error making socket blocking\n");
        return -1;
    }
    return 0;
}
