#pragma once

#include <string>

#include "diag/message_fields.h"
#include "ui/exchange.h"

// The responder's conformance work around each request: the checks of a
// controller that declares FIELD_TYPEs or message rules (run as the port
// takes the message, so that its field dump shows the findings), one
// error-log record per request with findings, and the JUnit report of
// VELK_REPORT. Each port has its own request in hand, so a run suspended in
// a "delay" keeps its findings until it answers.
//
// Inactive (nothing checked, nothing kept, no cost) unless the controller
// declares something, VELK_REPORT is set, or the operator script expects
// something.

// Starts it for the controller chosen at start-up. False, with the reason,
// when the report cannot be written.
bool StartRequestChecks(bool scriptExpects, std::string& why);
bool RequestChecksActive();
// Fills in the exchange's findings for the request taken on its port.
void ChecksFor(ui::Exchange& exchange);
// The request of the exchange's port is answered (or will never be): its
// record and its test case are written, and the port's findings forgotten.
void RequestAnswered(const ui::Exchange& exchange);
// The port's connection ended with its request unanswered (a suspended
// run dropped).
void RequestDropped(int port);
// Ends the report. Returns the exit code of a run that ended with `code`:
// with VELK_REPORT, a served run (0) becomes EXIT_TESTS_FAILED when a test
// case failed or the report could not be written.
int FinishRequestChecks(int code);
