#include "vksoc/port/port.h"

#include <cstring>

#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_socket.h"

bool PortIsOpen(int port) {
    return port >= 0 && port < MAX_PORTS && portTable[port].inUse == 1;
}

int PortsInUse() {
    int count = 0;
    for (const PortEntry& entry : portTable) {
        count += entry.inUse == 1 ? 1 : 0;
    }
    return count;
}

bool PortIsListening(int port) {
    return portTable[port].state == PORT_LISTENING;
}

bool PortHoldsData(int port) {
    return portTable[port].state == PORT_DATA;
}

bool PortHoldsPartOfMessage(int port) {
    const PortEntry& entry = portTable[port];
    return entry.bytesHeld > 0 || entry.headerBytesRead > 0;
}

const FieldSpec* PortFormat(int port) {
    return portTable[port].format;
}

int PortFileDescriptor(int port) {
    return portTable[port].handle;
}

SOCKET PortSocket(int port) {
    return static_cast<SOCKET>(portTable[port].handle);
}

bool PortReceivedTpdu(int port, unsigned char* out) {
    const PortEntry& entry = portTable[port];
    if (entry.tpduReceived == 0) {
        return false;
    }
    std::memcpy(out, entry.tpdu, FRAME_TPDU_LENGTH);
    return true;
}

const Framing& PortFraming(int port) {
    return portTable[port].framing;
}
