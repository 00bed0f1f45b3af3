#pragma once

#include <cstdint>

#include "platform/tls_contract.h"
#include "vksoc/port/framing.h"
#include "vksoc/port/port.h"
#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

struct LinkRecord;

// The port table, private to the port layer (and its tests): every other
// caller asks the functions of port.h. A port handle is the index of its
// entry, 0 to MAX_PORTS - 1; entries are never moved.

enum PortState : int32_t {
    PORT_IDLE = 1,       // more bytes must be read before a message can be taken
    PORT_DATA = 2,       // bytes (or a whole framed record) arrived since the last parse
    PORT_LISTENING = 3,  // a listening socket that has not accepted yet
};

// A port's receive buffer: the longest message and what may frame it.
inline constexpr int RECEIVE_BUFFER_SIZE = MAX_MESSAGE_LENGTH + MAX_FRAME_EXTRA;

struct PortEntry {
    int32_t inUse;          // 1 while open
    int32_t handle;         // the socket, or a file port's descriptor
    int32_t mode;           // MODE_LISTEN, MODE_CONNECT or MODE_FILE
    unsigned char* buffer;  // RECEIVE_BUFFER_SIZE bytes, owned while open
    // The most message bytes the port holds (MAX_MESSAGE_LENGTH); a framed
    // record's TPDU and trailer lie beside them in the buffer.
    int32_t bufferSize;
    // The bytes not yet taken are buffer[readOffset, readOffset + bytesHeld),
    // and readOffset + bytesHeld never exceeds bufferSize plus the framing's
    // TPDU and trailer.
    int32_t readOffset;
    int32_t bytesHeld;
    int32_t state;  // PortState
    // HEADER_LENGTH as the port read it when it was opened (0 for ZTR);
    // below 1 means no prefix. `framing` is the framing chosen from it and
    // the controller's link record, and the only one ReadPort and SendMsg
    // follow.
    int32_t headerLength;
    Framing framing;
    // The record being read: the bytes of its header so far, NUL-terminated,
    // and once the header is whole, its body length.
    int32_t headerBytesRead;
    char headerText[MAX_FRAME_HEADER + 1];
    int32_t recordLength;
    // 1 while the message of the last whole record has not been taken: a
    // message the disassembler finds incomplete then can never be whole.
    int32_t recordUntaken;
    // The TPDU of the last record received (tpduReceived 1): an answering
    // port sends it back with its addresses swapped.
    int32_t tpduReceived;
    unsigned char tpdu[FRAME_TPDU_LENGTH];
    // Null for the ZTR format; otherwise the 128 field specs of the
    // controller the port serves, inside the configuration image.
    const FieldSpec* format;
    // The transport of a socket port: null, the socket itself; otherwise the
    // TLS session over it (the socket then non-blocking), owned while open.
    plat::TlsSession* tls;
    // What the TLS handshake waits for: TLS_WANT_READ or TLS_WANT_WRITE
    // until it is complete, then 0.
    int32_t handshakeWant;
    // A listening port whose connections speak TLS: the context their
    // sessions are made from, the caller's (port_tls.h).
    plat::TlsServerContext* tlsServer;
    // The controller's link record (its encodings, framing tags), or null
    // for the plain link.
    const LinkRecord* link;
};

extern PortEntry portTable[MAX_PORTS];

// The index of the first entry not in use, or -1 when all MAX_PORTS are.
int FreePortEntry();
