#include "vksoc/port/accept_socket.h"

#include "diag/error_state.h"
#include "vksoc/port/socket_error.h"

SOCKET AcceptWithKeepAlive(SOCKET listening, const char* operation, bool* nobodyWaiting) {
    if (nobodyWaiting != nullptr) {
        *nobodyWaiting = false;
    }
    SOCKET accepted = accept(listening, nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        int wsa = WSAGetLastError();
        if (wsa == WSAEWOULDBLOCK && nobodyWaiting != nullptr) {
            *nobodyWaiting = true;
            return INVALID_SOCKET;
        }
        const SocketError error = ErrorCodeOfSocketError(SocketCall::Accept, wsa);
        SetError(error.code, wsa);
        if (error.fault == SocketFault::NoResources) {
            ADD_ERROR_TEXT("%s: No resources to accept connection\n", operation);
        } else if (error.fault == SocketFault::Aborted) {
            ADD_ERROR_TEXT("%s: Connection aborted\n", operation);
        } else {
            ADD_ERROR_TEXT("%s: Internal error accepting connection\n", operation);
        }
        return INVALID_SOCKET;
    }
    if (plat::SetConnectionOptions(accepted) == SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("%s: SetSockOpt failed for keep-alive\n", operation);
        closesocket(accepted);
        return INVALID_SOCKET;
    }
    return accepted;
}
