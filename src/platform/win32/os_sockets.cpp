#include "os_sockets.h"

namespace plat {

int recv(SOCKET s, char* buffer, int length, int flags) { return ::recv(s, buffer, length, flags); }

int send(SOCKET s, const char* buffer, int length, int flags) {
    return ::send(s, buffer, length, flags);
}

int WaitSocket(SOCKET s, int timeoutSeconds, bool* readable, bool* exceptional) {
    *readable = false;
    *exceptional = false;
    // Windows Sockets ignores the first argument and keeps sockets in an
    // array: one socket always fits, whatever its number.
    fd_set readSet;
    fd_set exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&exceptSet);
    FD_SET(s, &readSet);
    FD_SET(s, &exceptSet);
    timeval limit{timeoutSeconds, 0};
    int ready = ::select(0, &readSet, nullptr, &exceptSet, timeoutSeconds >= 0 ? &limit : nullptr);
    if (ready == SOCKET_ERROR) {
        return SOCKET_ERROR;
    }
    *readable = FD_ISSET(s, &readSet) != 0;
    *exceptional = FD_ISSET(s, &exceptSet) != 0;
    return 0;
}

int SocketLocalPort(SOCKET s) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

}  // namespace plat
