#include "socket_set_wait.h"

static_assert(FD_SETSIZE >= MAX_WAIT_SOCKETS, "a set must hold every socket velkctl waits on");

int WaitSocketSet(const SOCKET* sockets, int count, int timeoutMs, bool* ready) {
    if (count < 1 || count > MAX_WAIT_SOCKETS) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    // Windows Sockets ignores select's first argument and keeps the sockets
    // in an array of FD_SETSIZE entries.
    fd_set readSet;
    FD_ZERO(&readSet);
    for (int i = 0; i < count; ++i) {
        FD_SET(sockets[i], &readSet);
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int result = ::select(0, &readSet, nullptr, nullptr, timeoutMs >= 0 ? &limit : nullptr);
    if (result == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    for (int i = 0; i < count; ++i) {
        ready[i] = FD_ISSET(sockets[i], &readSet) != 0;
    }
    return result;
}
