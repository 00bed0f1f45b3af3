#include "vksoc/port/port_peer_name.h"

#include <cstring>

#include "platform/peer_address.h"
#include "vksoc/port/port_entry.h"

namespace {
char peerNames[MAX_PORTS][PEER_NAME_SIZE];
}  // namespace

void SetPortPeerName(int port, const char* name) {
    if (port < 0 || port >= MAX_PORTS) {
        return;
    }
    char* place = peerNames[port];
    size_t length = name != nullptr ? strnlen(name, PEER_NAME_SIZE - 1) : 0;
    std::memcpy(place, name != nullptr ? name : "", length);
    place[length] = '\0';
}

const char* NamePortPeer(int port) {
    if (port < 0 || port >= MAX_PORTS) {
        return "?";
    }
    static_assert(PEER_NAME_SIZE >= plat::PEER_ADDRESS_SIZE);
    plat::SocketPeerAddress(static_cast<uintptr_t>(portTable[port].handle), peerNames[port],
                            PEER_NAME_SIZE);
    return peerNames[port];
}

const char* PortPeerName(int port) {
    if (port < 0 || port >= MAX_PORTS || peerNames[port][0] == '\0') {
        return nullptr;
    }
    return peerNames[port];
}
