#pragma once

#include "diag/message_fields.h"
#include "vksoc/port/framing.h"

// The length header with its TPDU, the longest message behind it, and its
// trailer.
inline constexpr int SEND_BUFFER_SIZE = MAX_MESSAGE_LENGTH + MAX_FRAME_HEADER + MAX_FRAME_TRAILER;

// Assembles `fields` in the port's format and writes the message, framed as
// the port frames (length header, TPDU, trailer: vksoc/port/framing.h), to
// the socket or file. Returns
// the bytes written, prefix included, or -1 after recording the error: a
// message that cannot be assembled or is longer than a receiver of this
// system takes (MAX_MESSAGE_LENGTH; nothing is written then), a length the
// header cannot carry (nothing written), or a failed write. A
// socket write that makes no progress for HOST_TIMEOUT seconds (a peer that
// does not read) fails. The receive side of the port is not touched. All
// ports share one send buffer.
int SendMsg(int port, const MessageFields* fields);
// The same with the socket write's wait bounded: below 0, as SendMsg; else
// the write fails, its connection lost, once it has waited waitMs
// milliseconds in all for the peer to take bytes (a loop serving other
// connections meanwhile cannot give one peer HOST_TIMEOUT).
int SendMsgWithin(int port, const MessageFields* fields, int waitMs);

// Whether the last SendMsg failed because its connection is gone (reset,
// aborted, timed out, or no progress within HOST_TIMEOUT): nothing more can
// be sent on it, and the caller should end it.
bool SendLostConnection();
