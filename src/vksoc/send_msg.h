#pragma once

#include "diag/message_fields.h"

inline constexpr int SEND_BUFFER_SIZE = 4104;

// Assembles `fields` in the port's format and writes the message, behind its
// decimal length prefix when the port has one, to the socket or file. Returns
// the bytes written, prefix included, or -1 after recording the error: a
// message that cannot be assembled or does not fit (nothing is written then),
// a length with more digits than the prefix has (nothing written), or a
// failed write. The receive side of the port is not touched. All ports share
// one send buffer.
int SendMsg(int port, const MessageFields* fields);
