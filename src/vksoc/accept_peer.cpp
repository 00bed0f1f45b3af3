#include "vksoc/accept_peer.h"

#include <cstdlib>

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vksoc/port_table.h"

namespace {

void FailAccept(int wsa) {
    if (wsa == WSAEMFILE || wsa == WSAENOBUFS) {
        SetError(ERR_RESOURCE, wsa);
        ADD_ERROR_TEXT("AcceptPeer: No resources to accept connection\n");
    } else if (wsa == WSAECONNABORTED) {
        SetError(ERR_CONNECTION, wsa);
        ADD_ERROR_TEXT("AcceptPeer: Connection aborted\n");
    } else {
        SetError(ERR_INTERNAL, wsa);
        ADD_ERROR_TEXT("AcceptPeer: Internal error accepting connection\n");
    }
}

int FreeEntry() {
    for (int port = 0; port < MAX_PORTS; ++port) {
        if (portTable[port].inUse != 1) {
            return port;
        }
    }
    return -1;
}

}  // namespace

int ListenForPeers(int port, int backlog) {
    SOCKET s = static_cast<SOCKET>(portTable[port].handle);
    unsigned long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("ListenForPeers: Error making socket non-blocking\n");
        return -1;
    }
    if (listen(s, backlog) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("ListenForPeers: Error listening\n");
        return -1;
    }
    return 0;
}

int AcceptPeer(int listeningPort) {
    const PortEntry& listening = portTable[listeningPort];
    int port = FreeEntry();
    if (port < 0) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("AcceptPeer: More than %d connections used\n", MAX_PORTS);
        return -1;
    }
    SOCKET accepted = accept(static_cast<SOCKET>(listening.handle), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        int wsa = WSAGetLastError();
        if (wsa == WSAEWOULDBLOCK) {
            return NO_PEER_WAITING;
        }
        FailAccept(wsa);
        return -1;
    }
    // Where the listening socket's non-blocking mode is inherited, the
    // connection would make the receive and send paths fail at once.
    unsigned long blocking = 0;
    if (ioctlsocket(accepted, FIONBIO, &blocking) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("AcceptPeer: Error making socket blocking\n");
        closesocket(accepted);
        return -1;
    }
    // A peer that vanishes without a word would hold its entry for ever.
    if (plat::SetKeepAlive(accepted) == SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("AcceptPeer: SetSockOpt failed for keep-alive\n");
        closesocket(accepted);
        return -1;
    }
    auto* buffer = static_cast<unsigned char*>(std::malloc(MAX_MESSAGE_LENGTH));
    if (buffer == nullptr) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("AcceptPeer: Could not allocate receive buffer\n");
        closesocket(accepted);
        return -1;
    }
    PortEntry& entry = portTable[port];
    entry = PortEntry{};
    entry.handle = static_cast<int32_t>(accepted);
    entry.mode = MODE_LISTEN;
    entry.buffer = buffer;
    entry.bufferSize = MAX_MESSAGE_LENGTH;
    entry.state = PORT_IDLE;
    entry.headerLength = listening.headerLength;
    entry.format = listening.format;
    entry.inUse = 1;
    return port;
}
