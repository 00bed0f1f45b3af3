#pragma once

#include "diag/message_fields.h"
#include "vksoc/codec/take_outcome.h"

// Receives one whole message on a port: takes it from the bytes held when
// there is one, otherwise waits for the socket and reads, until a message is
// whole. Returns its length (> 0), its slots in `fields` pointing into the
// port's receive buffer, or -1 after recording the error.
// Each wait on a socket is limited anew: by the configuration's READ_TIMEOUT
// while the body of a prefixed record is arriving in pieces or when an
// earlier call left part of a message behind, else by timeoutSeconds (-1:
// no limit). The wait after an incomplete parse thus uses timeoutSeconds,
// and its expiry reads as a time-out before receipt although bytes are held.
// File ports read without waiting.
int RecvMsg(int port, MessageFields* fields, int timeoutSeconds);

// RecvMsg's two turns, for a caller that waits on several sockets itself and
// must never wait inside one port: the caller does the waiting, these do the
// rest with RecvMsg's records, so a connection ends with the same log lines
// whichever loop serves it.
//
// TakeMsg: RecvMsg's parse. Whole with the message's length; NeedMore with
// GetMsg's count (above 0, the next wait is limited by READ_TIMEOUT);
// Malformed (-1) after recording the error.
Taken TakeMsg(int port, MessageFields* fields);
// ReadAfterWait: what follows the wait, given what the wait found for the
// port and what the TakeMsg before it returned: one read when the socket is
// readable; the failure records for urgent data (exceptional) and for a wait
// that ended without either (a time-out). Returns 0 or -1.
int ReadAfterWait(int port, int held, bool readable, bool exceptional);
// A wait that failed: the record RecvMsg leaves for it, with the socket
// error of the wait.
void FailWait(int wsaError);
