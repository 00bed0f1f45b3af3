#include "vksoc/port/get_msg.h"

#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/port_table.h"

int GetMsg(int port, MessageFields* fields, int* complete) {
    PortEntry& entry = portTable[port];
    *complete = 0;
    if (entry.state == PORT_IDLE || entry.state == PORT_LISTENING) {
        return entry.bytesHeld;
    }

    const unsigned char* bytes = entry.buffer + entry.readOffset;
    int taken = entry.format == nullptr
                    ? DisassembleZTR(bytes, entry.bytesHeld, fields, complete)
                    : Disassemble8583(bytes, entry.bytesHeld, entry.format, fields, complete);
    if (taken < 0) {
        ADD_ERROR_TEXT("GetMsg: Message disassembly failed\n");
        return -1;
    }

    if (*complete == 1) {
        entry.bytesHeld -= taken;
        if (entry.bytesHeld > 0) {
            entry.readOffset += taken;
        } else {
            entry.state = PORT_IDLE;
        }
        DumpFields(entry.format != nullptr, 'R', fields, PortPeerName(port));
        return taken;
    }

    if (entry.bytesHeld >= MAX_MESSAGE_LENGTH) {
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("GetMsg: Message longer than %d\n", MAX_MESSAGE_LENGTH);
        return -1;
    }
    entry.state = PORT_IDLE;
    return 0;
}
