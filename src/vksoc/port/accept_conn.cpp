#include "vksoc/port/accept_conn.h"

#include "diag/error_state.h"
#include "vksoc/port/accept_socket.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_tls.h"
#include "vksoc/port/port_transport.h"
#include "vksoc/port/socket_error.h"

int AcceptConn(int port) {
    PortEntry& entry = portTable[port];
    // A blocking accept is not ended by a stop signal that lands before it
    // begins: the wait in front of it is (and takes a connection at once).
    bool readable = false;
    bool exceptional = false;
    if (plat::WaitSocket(static_cast<SOCKET>(entry.handle), -1, &readable, &exceptional) ==
        SOCKET_ERROR) {
        const int wsa = WSAGetLastError();
        SetError(ErrorCodeOfSocketError(SocketCall::Accept, wsa).code, wsa);
        ADD_ERROR_TEXT("AcceptConn: Internal error accepting connection\n");
        return -1;
    }
    SOCKET accepted = AcceptWithKeepAlive(static_cast<SOCKET>(entry.handle), "AcceptConn", nullptr);
    if (accepted == INVALID_SOCKET) {
        return -1;
    }
    closesocket(static_cast<SOCKET>(entry.handle));
    entry.handle = static_cast<int32_t>(accepted);
    entry.state = PORT_IDLE;
    if (entry.tlsServer == nullptr) {
        return 0;
    }
    if (StartServerTls(entry, entry.tlsServer) < 0 ||
        FinishHandshake(port, HandshakeLimitMs()) < 0) {
        ADD_ERROR_TEXT("AcceptConn: TLS connection failed\n");
        return HANDSHAKE_FAILED;
    }
    return 0;
}
