#pragma once

#include "diag/message_fields.h"

namespace conform {
class Findings;
}

// One request in hand: the message on show and the connection it came on.
// The service loop makes it for each message and hands it to the dialog run
// (and, for a suspended run, to its resume); the run hands it to every call
// of the dialog's procedure. Nothing else tells a dialog which connection it
// answers.

namespace ui {

// What the last Read or Save of the dialog came to.
enum class FileOutcome {
    None,       // no Read or Save yet
    Done,       // the file was read into the boxes, or written
    NotChosen,  // the file dialog was cancelled: nothing happened
    Failed,     // told in a box (and, where the error state says why, a record)
};

struct Exchange {
    // The connection the message came on; responses go there.
    int port = -1;
    // The message, answered in place: Respond collects the boxes into it.
    MessageFields* message = nullptr;
    // The peer's address and port ("127.0.0.1:54321") where records name
    // it (several connections at once); null otherwise.
    const char* peer = nullptr;
    // The longest a send may wait for the peer to take bytes, in
    // milliseconds; below 0: HOST_TIMEOUT, without progress.
    int sendWaitMs = -1;
    // Set while the dialog runs when the connection must end once it is over
    // (the operator script's "close", a send into a connection that is
    // gone). Whoever sets it has already written its record; the service
    // loop closes the connection and shows no further box.
    bool endConnection = false;
    // A Respond could not send (told in its box and record).
    bool sendFailed = false;
    FileOutcome lastFile = FileOutcome::None;
    // What the request breaks of its controller's declared types and rules
    // (conform/findings.h), where the responder checks requests; null where
    // it does not. An operator script's failed "expect" adds to them.
    conform::Findings* findings = nullptr;
    // A Respond sent a response.
    bool responded = false;
    // The operator-script line of the rule that answered; 0 for none.
    int ruleLine = 0;
};

}  // namespace ui
