#include "vksoc/port/port_transport.h"

#include "diag/error_state.h"
#include "os_sockets.h"

int TransportReceive(const PortEntry& entry, char* buffer, int length, TransportFault* fault) {
    const SOCKET s = static_cast<SOCKET>(entry.handle);
    if (entry.tls == nullptr) {
        int n = plat::recv(s, buffer, length, 0);
        if (n == SOCKET_ERROR) {
            fault->wsa = WSAGetLastError();
            return TRANSPORT_FAILED;
        }
        return n;
    }
    int n = plat::TlsRead(entry.tls, buffer, length);
    if (n >= 0) {
        return n;
    }
    if (n == plat::TLS_WANT_READ || n == plat::TLS_WANT_WRITE) {
        return TRANSPORT_NOTHING;
    }
    fault->wsa = n == plat::TLS_SOCKET_FAILED ? plat::TlsSocketError(entry.tls) : 0;
    fault->tls = plat::TlsError(entry.tls);
    return TRANSPORT_FAILED;
}

int TransportSend(const PortEntry& entry, const char* buffer, int length, TransportFault* fault) {
    const SOCKET s = static_cast<SOCKET>(entry.handle);
    if (entry.tls == nullptr) {
        int n = plat::SendNow(s, buffer, length);
        if (n == SOCKET_ERROR) {
            fault->wsa = WSAGetLastError();
            return TRANSPORT_FAILED;
        }
        return n > 0 ? n : TRANSPORT_NOTHING;
    }
    int n = plat::TlsWrite(entry.tls, buffer, length);
    if (n > 0) {
        return n;
    }
    if (n == plat::TLS_WANT_READ || n == plat::TLS_WANT_WRITE) {
        return TRANSPORT_NOTHING;
    }
    fault->wsa = n == plat::TLS_SOCKET_FAILED ? plat::TlsSocketError(entry.tls) : 0;
    fault->tls = plat::TlsError(entry.tls);
    return TRANSPORT_FAILED;
}

int TransportPending(const PortEntry& entry) {
    return entry.tls != nullptr && entry.handshakeWant == 0 ? plat::TlsPending(entry.tls) : 0;
}

void CloseTransport(PortEntry& entry) {
    plat::TlsClose(entry.tls);
    entry.tls = nullptr;
    entry.handshakeWant = 0;
    closesocket(static_cast<SOCKET>(entry.handle));
}

int MakeTransportNonBlocking(SOCKET s) {
    unsigned long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("TLS: Error making socket non-blocking\n");
        return -1;
    }
    return 0;
}

int StartServerTls(PortEntry& entry, plat::TlsServerContext* context) {
    const SOCKET s = static_cast<SOCKET>(entry.handle);
    if (MakeTransportNonBlocking(s) != 0) {
        return -1;
    }
    char error[plat::TLS_ERROR_TEXT_SIZE];
    entry.tls = plat::NewTlsServerSession(context, s, error, sizeof error);
    if (entry.tls == nullptr) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("TLS: %s\n", error);
        return -1;
    }
    entry.handshakeWant = plat::TLS_WANT_READ;
    return 0;
}
