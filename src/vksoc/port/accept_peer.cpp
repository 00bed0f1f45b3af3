#include "vksoc/port/accept_peer.h"

#include <cstdlib>

#include "diag/error_state.h"
#include "vksoc/port/accept_socket.h"
#include "vksoc/port/port_entry.h"

int ListenForPeers(int port) {
    SOCKET s = static_cast<SOCKET>(portTable[port].handle);
    unsigned long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("ListenForPeers: Error making socket non-blocking\n");
        return -1;
    }
    if (listen(s, SOMAXCONN) != 0) {
        SetError(ERR_INTERNAL, WSAGetLastError());
        ADD_ERROR_TEXT("ListenForPeers: Error listening\n");
        return -1;
    }
    return 0;
}

int AcceptPeer(int listeningPort) {
    const PortEntry& listening = portTable[listeningPort];
    int port = FreePortEntry();
    if (port < 0) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("AcceptPeer: More than %d connections used\n", MAX_PORTS);
        return -1;
    }
    bool nobodyWaiting = false;
    SOCKET accepted =
        AcceptWithKeepAlive(static_cast<SOCKET>(listening.handle), "AcceptPeer", &nobodyWaiting);
    if (accepted == INVALID_SOCKET) {
        return nobodyWaiting ? NO_PEER_WAITING : -1;
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
    entry.framing = listening.framing;
    entry.format = listening.format;
    entry.link = listening.link;
    entry.inUse = 1;
    return port;
}
