#pragma once

#include <string>

#include "diag/message_fields.h"
#include "platform/tls_contract.h"

class ResponseExpectations;
namespace conform {
class JunitReport;
}
#include "send_tally.h"
#include "vksoc/port/connection_limit.h"

// The controller side of `velkctl send`: C connections to the responder,
// each sending its requests one after another, all served by one thread
// that waits on every connection at once.
struct SendPlan {
    std::string controller;
    std::string host;
    int tcpPort = 0;
    int connections = 1;  // 1 to MAX_SEND_CONNECTIONS
    long long requestsEach = 1;
    int timeoutSeconds = 10;     // connecting, and each whole response
    bool renumber = false;       // each request its own trace number
    bool printResponse = false;  // print the fields of the (one) response
    // Non-null: every connection is a TLS client of this context, its
    // handshake complete within timeoutSeconds of its connect; serverName
    // is the name sent and verified.
    plat::TlsClientContext* tls = nullptr;
    std::string serverName;
    // Checked on every response: one that does not meet them is counted in
    // tally->unmet and told (the first one only with --count).
    const ResponseExpectations* expectations = nullptr;
    // One test case per request: its unmet expectations, or no response, is
    // its failure.
    conform::JunitReport* report = nullptr;
};

// As many connections as one responder serves at once.
inline constexpr int MAX_SEND_CONNECTIONS = MAX_PEERS;

// Connects every connection, retrying a refused connect until the deadline
// (a responder that serves one connection at a time listens again only once
// the previous one has ended), then sends and matches. Each response must be
// whole within timeoutSeconds of its request; a connection whose response is
// late, or that fails, sends nothing more. Responses arriving up to a short
// while after the last answer still count as surplus. Failures are told on
// standard error as they happen. False when not every connection could be
// made (then nothing was sent).
bool RunSendPlan(const SendPlan& plan, const MessageFields& request, SendTally* tally);
