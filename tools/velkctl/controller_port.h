#pragma once

#include <string>

#include "commands.h"

// What the message commands share: the configuration a controller needs, and
// how a failure of the connection layer reaches the user.

// Loads the configuration (--config) unless the controller is the ZTR host,
// which needs none. False after telling the user why on standard error.
bool PrepareController(const GlobalOptions& global, const std::string& controllerId);

// Prints "velkctl: WHAT" and the recorded error text on standard error, then
// clears the error.
void ReportFailure(const std::string& what);
