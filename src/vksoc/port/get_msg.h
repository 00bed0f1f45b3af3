#pragma once

#include "diag/message_fields.h"

// Tries to take one whole message out of the bytes a port holds, with the
// disassembler of the port's format. Three outcomes:
//   - *complete = 1: returns the bytes the message occupied; the slots of
//     `fields` point into the port's receive buffer until the next ReadPort
//     or ClosePort. Bytes left over stay for the next call.
//   - *complete = 0: nothing whole yet. Returns the bytes held when nothing
//     new arrived since the last parse (part of a message may be held), or 0
//     after a parse that found the message incomplete.
//   - -1 after recording the error: a malformed message, or a full buffer
//     that still holds no whole message.
int GetMsg(int port, MessageFields* fields, int* complete);
