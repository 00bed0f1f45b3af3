#pragma once

#include "diag/message_fields.h"
#include "vksoc/port/framing.h"
#include "vkstp/config_image.h"

// A port is a handle, 0 to MAX_PORTS - 1, that OpenPort or AcceptPeer
// returned: a listening or connected socket, or a file read or written as a
// stream of messages. What a caller may learn of one is asked here (its
// socket, for a wait, in port_socket.h); receiving and sending stay with
// RecvMsg/GetMsg and SendMsg. Every function takes the handle of an open port
// unless it says otherwise.

inline constexpr int MAX_PORTS = 50;

inline constexpr char MODE_LISTEN = 'L';
inline constexpr char MODE_CONNECT = 'S';
inline constexpr char MODE_FILE = 'F';

// Whether the handle names an open port; any int may be asked.
bool PortIsOpen(int port);

// How many ports are open.
int PortsInUse();

// Whether the port listens and has not accepted (OpenPort 'L' before
// AcceptConn; a port AcceptPeer serves from).
bool PortIsListening(int port);

// Whether bytes arrived since the last parse: GetMsg may find a message
// without another read.
bool PortHoldsData(int port);

// Whether part of a message has arrived and not been taken: body bytes, or
// part of a record's length header.
bool PortHoldsPartOfMessage(int port);

// The field specs of the controller the port serves (inside the
// configuration image); null for the ZTR format.
const FieldSpec* PortFormat(int port);

// A file port's descriptor.
int PortFileDescriptor(int port);

// The TPDU of the last record the port received, into out (5 bytes); false,
// out untouched, when its framing has none or no record came yet.
bool PortReceivedTpdu(int port, unsigned char* out);

// The port's framing (vksoc/port/framing.h).
const Framing& PortFraming(int port);
