#pragma once

#include "diag/message_fields.h"
#include "vkstp/config_image.h"

namespace plat {
struct TlsServerContext;
}

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
    // The context of a TLS listening port (VELK_TLS_CERT, ...); null for a
    // plain one.
    plat::TlsServerContext* tls;
};

extern ResponderState responderState;
