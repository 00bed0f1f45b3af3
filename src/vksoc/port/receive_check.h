#pragma once

#include "diag/message_fields.h"
#include "diag/traffic_dump.h"

// A check the program runs on every whole message a port takes, before the
// message's field dump: the responder's conformance checks. It returns the
// notes the dump prints beside the fields (null for none). None is set
// unless the program sets one; tools that only send never do.
using ReceiveCheck = const FieldNotes* (*)(int port, const MessageFields& fields);

void SetReceiveCheck(ReceiveCheck check);
// The check in force, or null.
ReceiveCheck CurrentReceiveCheck();
