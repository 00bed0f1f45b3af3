#include "vksoc/port/port_tls.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "platform/steady_clock.h"
#include "platform/stop_request.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_transport.h"
#include "vksoc/port/socket_error.h"
#include "vkstp/config_view.h"

namespace {

// The handshake's time limit when READ_TIMEOUT gives none.
constexpr int DEFAULT_HANDSHAKE_SECONDS = 10;

}  // namespace

void SetPortTlsServer(int listeningPort, plat::TlsServerContext* context) {
    portTable[listeningPort].tlsServer = context;
}

bool PortIsTls(int port) {
    return portTable[port].tls != nullptr;
}

int PortPendingBytes(int port) {
    return TransportPending(portTable[port]);
}

int PortHandshakeWant(int port) {
    return portTable[port].handshakeWant;
}

int ContinueHandshake(int port) {
    PortEntry& entry = portTable[port];
    if (entry.handshakeWant == 0) {
        return 0;
    }
    const int result = plat::TlsHandshake(entry.tls);
    if (result == 0) {
        entry.handshakeWant = 0;
        return 0;
    }
    if (result == plat::TLS_WANT_READ || result == plat::TLS_WANT_WRITE) {
        entry.handshakeWant = result;
        return 1;
    }
    const int wsa = result == plat::TLS_SOCKET_FAILED ? plat::TlsSocketError(entry.tls) : 0;
    SetError(wsa != 0 ? ErrorCodeOfSocketError(SocketCall::Receive, wsa).code : ERR_CONNECTION,
             wsa);
    ADD_ERROR_TEXT("TLS handshake failed: %s\n", plat::TlsError(entry.tls));
    return -1;
}

int HandshakeLimitMs() {
    const int seconds = ConfiguredReadTimeout();
    return (seconds >= 1 ? seconds : DEFAULT_HANDSHAKE_SECONDS) * 1000;
}

void FailHandshakeTimeout(int limitMs) {
    SetError(ERR_TIMEOUT, WSAETIMEDOUT);
    ADD_ERROR_TEXT("TLS handshake not complete within %d ms\n", limitMs);
}

int FinishHandshake(int port, int limitMs) {
    const PortEntry& entry = portTable[port];
    const int64_t deadline = SteadyMilliseconds() + limitMs;
    for (;;) {
        const int turn = ContinueHandshake(port);
        if (turn <= 0) {
            return turn;
        }
        if (StopRequested()) {
            SetError(ERR_CONNECTION, WSAEINTR);
            ADD_ERROR_TEXT("TLS handshake cut short by a stop\n");
            return -1;
        }
        const int64_t left = deadline - SteadyMilliseconds();
        if (left <= 0) {
            FailHandshakeTimeout(limitMs);
            return -1;
        }
        const bool read = entry.handshakeWant == plat::TLS_WANT_READ;
        plat::WaitEntry wait{static_cast<SOCKET>(entry.handle), read, !read, false, false, false};
        // 0 also after a signal: the loop looks at the stop and the deadline.
        if (plat::WaitSockets(&wait, 1, static_cast<int>(left)) == SOCKET_ERROR) {
            const int wsa = WSAGetLastError();
            SetError(ErrorCodeOfSocketError(SocketCall::Wait, wsa).code, wsa);
            ADD_ERROR_TEXT("TLS handshake: Error selecting from socket\n");
            return -1;
        }
    }
}

int StartClientTls(int port, plat::TlsClientContext* context, const char* serverName, int limitMs) {
    PortEntry& entry = portTable[port];
    const SOCKET s = static_cast<SOCKET>(entry.handle);
    if (MakeTransportNonBlocking(s) != 0) {
        return -1;
    }
    char error[plat::TLS_ERROR_TEXT_SIZE];
    entry.tls = plat::NewTlsClientSession(context, s, serverName, error, sizeof error);
    if (entry.tls == nullptr) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("TLS: %s\n", error);
        return -1;
    }
    entry.handshakeWant = plat::TLS_WANT_WRITE;
    return FinishHandshake(port, limitMs);
}

const char* PortTlsProtocol(int port) {
    const PortEntry& entry = portTable[port];
    return entry.tls != nullptr ? plat::TlsProtocol(entry.tls) : "";
}
