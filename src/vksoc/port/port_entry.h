#pragma once

#include <cstdint>

#include "vkstp/config_image.h"

// Every open channel of the process lives in one fixed table. A port handle
// is the index of its entry, 0 to MAX_PORTS - 1; entries are never moved.
// Every operation of the connection layer takes a handle of an open entry.

inline constexpr int MAX_PORTS = 50;
inline constexpr int MAX_MESSAGE_LENGTH = 4096;
inline constexpr int MAX_HEADER_LENGTH = 4;

enum PortState : int32_t {
    PORT_IDLE = 1,       // more bytes must be read before a message can be taken
    PORT_DATA = 2,       // bytes (or a whole prefixed record) arrived since the last parse
    PORT_LISTENING = 3,  // a listening socket that has not accepted yet
};

inline constexpr char MODE_LISTEN = 'L';
inline constexpr char MODE_CONNECT = 'S';
inline constexpr char MODE_FILE = 'F';

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
    // Digits of the decimal length prefix in front of every message; below 1
    // means no prefix. Only ISO 8583 ports have one.
    int32_t headerLength;
    int32_t headerBytesRead;                 // digits of the current record's prefix so far
    char headerText[MAX_HEADER_LENGTH + 1];  // those digits, NUL-terminated
    int32_t recordLength;                    // body length of the current record
    // Null for the ZTR format; otherwise the 128 field specs of the
    // controller the port serves, inside the configuration image.
    const FieldSpec* format;
};

extern PortEntry portTable[MAX_PORTS];

// The index of the first entry not in use, or -1 when all MAX_PORTS are.
int FreePortEntry();
