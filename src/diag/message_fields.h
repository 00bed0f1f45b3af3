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

// The longest message this system receives or sends, framing not counted: a
// port's receive buffer holds this many bytes, and nothing longer is sent.
inline constexpr int MAX_MESSAGE_LENGTH = 4096;
// A message with room to spare for the bytes that frame it on the wire (a
// length header): the send buffer, and any copy of a whole message or value.
inline constexpr int MESSAGE_BUFFER_SIZE = MAX_MESSAGE_LENGTH + 8;

// Slots indexed by field number 0 to 128. ISO 8583: 0 is the message type
// identifier, 1 the secondary bitmap, 2 to 128 the data elements. ZTR: 1 is
// the length field, 2 the hash key, 3 the version, 4 to 64 the further fields.
struct MessageFields {
    FieldSlot slots[MESSAGE_SLOTS];
};
