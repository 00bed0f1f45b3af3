#include "platform/peer_address.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include <cstdio>

namespace plat {

bool SocketPeerAddress(uintptr_t socket, char* text, int size) {
    if (size <= 0) {
        return false;
    }
    sockaddr_storage address{};
    int length = static_cast<int>(sizeof address);
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
