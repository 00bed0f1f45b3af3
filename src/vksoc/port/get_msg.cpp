#include "vksoc/port/get_msg.h"
#include "vksoc/port/chip_data_dump.h"

#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/port/decode_area.h"
#include "vksoc/port/frame_record.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/receive_check.h"

Taken TakeHeldMessage(int port, MessageFields* fields) {
    PortEntry& entry = portTable[port];
    if (entry.state == PORT_IDLE || entry.state == PORT_LISTENING) {
        return {TakeOutcome::NeedMore, entry.bytesHeld};
    }

    const unsigned char* bytes = entry.buffer + entry.readOffset;
    const Taken taken = entry.format == nullptr
                            ? TakeZTR(bytes, entry.bytesHeld, fields)
                            : Take8583(bytes, entry.bytesHeld, entry.format, entry.link,
                                       PortDecodeArea(port), fields);
    switch (taken.outcome) {
        case TakeOutcome::Malformed:
            ADD_ERROR_TEXT("GetMsg: Message disassembly failed\n");
            return taken;
        case TakeOutcome::Whole:
            entry.recordUntaken = 0;
            entry.bytesHeld -= taken.bytes;
            if (entry.bytesHeld > 0) {
                entry.readOffset += taken.bytes;
            } else {
                entry.state = PORT_IDLE;
            }
            {
                const ReceiveCheck check = CurrentReceiveCheck();
                const FieldNotes* notes = check != nullptr ? check(port, *fields) : nullptr;
                DumpFields(entry.format != nullptr, 'R', fields, PortPeerName(port),
                           entry.tpduReceived != 0 ? entry.tpdu : nullptr, DumpChipDataField,
                           entry.link, notes);
                return taken;
            }
        case TakeOutcome::NeedMore:
            break;
    }

    // A record is whole when it is held: no byte that arrives later belongs
    // to its message, and waiting for one would wait for ever.
    if (entry.recordUntaken != 0) {
        entry.recordUntaken = 0;
        RefuseExcess(entry.bytesHeld);
        return {TakeOutcome::Malformed, -1};
    }
    if (entry.bytesHeld >= MAX_MESSAGE_LENGTH) {
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("GetMsg: Message longer than %d\n", MAX_MESSAGE_LENGTH);
        return {TakeOutcome::Malformed, -1};
    }
    entry.state = PORT_IDLE;
    return {TakeOutcome::NeedMore, 0};
}

int GetMsg(int port, MessageFields* fields, int* complete) {
    const Taken taken = TakeHeldMessage(port, fields);
    *complete = taken.outcome == TakeOutcome::Whole ? 1 : 0;
    return taken.bytes;
}
