#pragma once

#include <cstdint>

// One field of one message. The bytes are not NUL-terminated and are never
// owned by the slot: they lie in a port's receive buffer or in the dialog's
// text areas.
struct FieldSlot {
    const unsigned char* data;  // null for an absent ZTR field
    int32_t length;             // 0 = absent; never negative
};

inline constexpr int MESSAGE_SLOTS = 129;

// Slots indexed by field number 0 to 128. ISO 8583: 0 is the message type
// identifier, 1 the secondary bitmap, 2 to 128 the data elements. ZTR: 1 is
// the length field, 2 the hash key, 3 the version, 4 to 64 the further fields.
struct MessageFields {
    FieldSlot slots[MESSAGE_SLOTS];
};
