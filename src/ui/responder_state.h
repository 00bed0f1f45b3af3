#pragma once

#include "diag/message_fields.h"
#include "vkstp/config_image.h"

// The process-wide state of the responder: the controller and port chosen at
// start-up, and the storage of the message on show (one at a time). Which
// connection a message came on is not here: it travels in the request's
// exchange (ui/exchange.h).
struct ResponderState {
    MessageFields message;
    int portNumber;
    // The controller's field specs (entry n - 1 for field n); null for ZTR.
    const FieldSpec* fieldSpecs;
    char controllerId[4];
};

extern ResponderState responderState;
