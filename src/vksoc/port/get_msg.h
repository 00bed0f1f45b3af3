#pragma once

#include "diag/message_fields.h"
#include "vksoc/codec/take_outcome.h"

// Tries to take one whole message out of the bytes a port holds, with the
// disassembler of the port's format. Three outcomes:
//   - Whole: `bytes` is the length the message occupied; the slots of
//     `fields` point into the port's receive buffer until the next ReadPort
//     or ClosePort. Bytes left over stay for the next call.
//   - NeedMore: nothing whole yet. `bytes` is the count held when nothing
//     new arrived since the last parse (part of a message may be held), or 0
//     after a parse that found the message incomplete.
//   - Malformed (bytes -1) after recording the error: a malformed message,
//     a whole framed record whose message is incomplete in it ("Formatting
//     error N bytes in excess": no later byte belongs to it), or a full
//     buffer that still holds no whole message.
Taken TakeHeldMessage(int port, MessageFields* fields);

// The same with the outcome as an int and a flag: Whole returns the length
// with *complete = 1, NeedMore the count with *complete = 0, Malformed -1.
int GetMsg(int port, MessageFields* fields, int* complete);
