#include "vksoc/port/card_data_dump.h"

#include <cstring>

#include "diag/card_mask.h"
#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_card_mask.h"
#include "vksoc/codec/tlv_field.h"
#include "vksoc/port/send_msg.h"

namespace {

// The character column being built: a copy of the chunk.
unsigned char shown[SEND_BUFFER_SIZE];

struct Chunk {
    const unsigned char* begin;
    const unsigned char* end;
};

void MaskValue(const Chunk& chunk, int n, const FieldSlot& slot) {
    static unsigned char masked[SEND_BUFFER_SIZE];
    if (slot.length <= 0 || slot.length > SEND_BUFFER_SIZE) {
        return;
    }
    MaskCardField(n, slot.data, slot.length, masked);
    for (int i = 0; i < slot.length; ++i) {
        const unsigned char* at = slot.data + i;
        if (at >= chunk.begin && at < chunk.end) {
            shown[at - chunk.begin] = masked[i];
        }
    }
}

void MaskDigitsFrom(const Chunk& chunk, const unsigned char* from) {
    for (const unsigned char* at = from < chunk.begin ? chunk.begin : from; at < chunk.end; ++at) {
        if (*at >= '0' && *at <= '9') {
            shown[at - chunk.begin] = '*';
        }
    }
}

// The card data objects of a chip data field whose slot holds its wire bytes.
void MaskChipData(const Chunk& chunk, const FieldSlot& slot) {
    static TlvTable table;
    static unsigned char masked[SEND_BUFFER_SIZE];
    if (slot.length <= 0 || slot.length > SEND_BUFFER_SIZE) {
        return;
    }
    DecodeTlv(slot.data, slot.length, &table);
    std::memcpy(masked, slot.data, static_cast<size_t>(slot.length));
    MaskTlvCardBytes(table, slot.data, masked);
    for (int i = 0; i < slot.length; ++i) {
        const unsigned char* at = slot.data + i;
        if (at >= chunk.begin && at < chunk.end && masked[i] != *at) {
            shown[at - chunk.begin] = masked[i];
        }
    }
}

}  // namespace

void DumpStreamBytes(const FieldSpec* specs, const unsigned char* stream, int streamLength,
                     const unsigned char* chunk, int chunkLength, char direction, const char* peer,
                     const LinkRecord* link) {
    if (specs == nullptr || chunkLength <= 0 || chunkLength > SEND_BUFFER_SIZE ||
        !DumpBytesOn(direction) || !MaskPanOn()) {
        DumpBytes(chunk, chunkLength, direction, nullptr, peer);
        return;
    }
    std::memcpy(shown, chunk, static_cast<size_t>(chunkLength));
    const Chunk range{chunk, chunk + chunkLength};
    const ErrorState saved = SaveError();
    int position = 0;
    while (position < streamLength) {
        MessageFields fields;
        const Taken taken = Take8583(stream + position, streamLength - position, specs, &fields);
        if (taken.outcome != TakeOutcome::Whole || taken.bytes <= 0) {
            MaskDigitsFrom(range, stream + position);
            break;
        }
        for (int n = 2; n <= MAX_FIELD_NO; ++n) {
            if (IsCardDataField(n)) {
                MaskValue(range, n, fields.slots[n]);
            } else if (FieldShowsTlvAsHex(link, n)) {
                MaskChipData(range, fields.slots[n]);
            }
        }
        position += taken.bytes;
    }
    RestoreError(saved);
    DumpBytes(chunk, chunkLength, direction, shown, peer);
}
