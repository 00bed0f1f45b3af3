#pragma once

#include <cstdint>

#include "vksoc/port/framing.h"
#include "vksoc/port/port.h"
#include "vkstp/config_image.h"

struct LinkRecord;

// The port table, private to the port layer (and its tests): every other
// caller asks the functions of port.h. A port handle is the index of its
// entry, 0 to MAX_PORTS - 1; entries are never moved.

enum PortState : int32_t {
    PORT_IDLE = 1,       // more bytes must be read before a message can be taken
    PORT_DATA = 2,       // bytes (or a whole framed record) arrived since the last parse
    PORT_LISTENING = 3,  // a listening socket that has not accepted yet
};

struct PortEntry {
    int32_t inUse;          // 1 while open
    int32_t handle;         // the socket, or a file port's descriptor
    int32_t mode;           // MODE_LISTEN, MODE_CONNECT or MODE_FILE
    unsigned char* buffer;  // MAX_MESSAGE_LENGTH bytes, owned while open
    int32_t bufferSize;
    // The bytes not yet taken are buffer[readOffset, readOffset + bytesHeld),
    // and readOffset + bytesHeld never exceeds bufferSize.
    int32_t readOffset;
    int32_t bytesHeld;
    int32_t state;  // PortState
    // HEADER_LENGTH as the port read it when it was opened (0 for ZTR);
    // below 1 means no prefix. `framing` is the framing chosen from it, and
    // the only one ReadPort and SendMsg follow.
    int32_t headerLength;
    Framing framing;
    // The record being read: the bytes of its header so far, NUL-terminated,
    // and once the header is whole, its body length.
    int32_t headerBytesRead;
    char headerText[MAX_FRAME_HEADER + 1];
    int32_t recordLength;
    // Null for the ZTR format; otherwise the 128 field specs of the
    // controller the port serves, inside the configuration image.
    const FieldSpec* format;
    // The link record of that controller (vkstp/link_record.h), or null for
    // the plain link.
    const LinkRecord* link;
};

extern PortEntry portTable[MAX_PORTS];

// The index of the first entry not in use, or -1 when all MAX_PORTS are.
int FreePortEntry();
