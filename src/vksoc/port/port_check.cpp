#include "vksoc/port/port_check.h"

#include "vksoc/port/port_entry.h"

bool PortBookkeepingHolds(int port) {
    const PortEntry& entry = portTable[port];
    return entry.readOffset >= 0 && entry.bytesHeld >= 0 &&
           entry.readOffset + entry.bytesHeld <=
               entry.bufferSize + entry.framing.tpduLength + entry.framing.trailerLength &&
           entry.readOffset + entry.bytesHeld <= RECEIVE_BUFFER_SIZE &&
           entry.headerBytesRead >= 0 && entry.headerBytesRead <= entry.framing.headerLength &&
           entry.framing.headerLength <= MAX_LENGTH_HEADER &&
           (entry.state == PORT_IDLE || entry.state == PORT_DATA);
}

const unsigned char* PortHeldBytes(int port) {
    const PortEntry& entry = portTable[port];
    return entry.buffer + entry.readOffset;
}
