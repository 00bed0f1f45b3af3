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
};

extern ResponderState responderState;
