#pragma once

#include "diag/message_fields.h"
#include "vkstp/config_image.h"

// The process-wide state of the responder: the message on show, the
// connection it came on, and the controller chosen at start-up.
struct ResponderState {
    MessageFields message;
    int connPort;
    int portNumber;
    // The controller's field specs (entry n - 1 for field n); null for ZTR.
    const FieldSpec* fieldSpecs;
    char controllerId[4];
    // Set while a message is answered when its connection must end once the
    // dialog is over (the operator script's "close", a send into a
    // connection that is gone). Whoever sets it has already written its
    // record; the service loop closes the connection, clears the flag and
    // listens again, and shows no further box.
    bool endConnection;
};

extern ResponderState responderState;
