#include "platform/bind_address.h"

#include <cstdio>
#include <cstring>

#include "os_sockets.h"

namespace plat {

bool ParseBindAddress(const char* text, int port, BindAddress* address) {
    if (text == nullptr || text[0] == '\0') {
        text = "0.0.0.0";
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%d", port);
    addrinfo* found = nullptr;
    if (getaddrinfo(text, service, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    const bool fits = found->ai_addrlen <= sizeof address->storage;
    if (fits) {
        address->family = found->ai_family;
        address->length = static_cast<int>(found->ai_addrlen);
        std::memcpy(address->storage, found->ai_addr, found->ai_addrlen);
    }
    freeaddrinfo(found);
    return fits;
}

}  // namespace plat
