#pragma once

#include "diag/message_fields.h"

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
