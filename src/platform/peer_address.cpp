#include "platform/peer_address.h"

#include <cstdio>

#include "os_sockets.h"  // the system's getpeername and getnameinfo

namespace plat {

bool SocketPeerAddress(uintptr_t socket, char* text, int size) {
    if (size <= 0) {
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = static_cast<socklen_t>(sizeof address);
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getpeername(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&address), &length) !=
            0 ||
        getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        std::snprintf(text, static_cast<size_t>(size), "?");
        return false;
    }
    const bool v6 = address.ss_family == AF_INET6;
    std::snprintf(text, static_cast<size_t>(size), v6 ? "[%s]:%s" : "%s:%s", host, service);
    return true;
}

}  // namespace plat
