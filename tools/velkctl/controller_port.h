#pragma once

#include <string>

#include "commands.h"
#include "error_chain.h"

// What the message commands share: the configuration a controller needs, and
// how a failure of the connection layer reaches the user.

// Loads the configuration (--config) unless the controller is the ZTR host,
// which needs none. False after telling the user why on standard error.
bool PrepareController(const GlobalOptions& global, const std::string& controllerId);

// Prints "velkctl: WHAT" and the recorded error text, one link a line, on
// standard error, then clears the error.
void ReportFailure(const std::string& what, ChainWording wording = ChainWording::AsRecorded);

// After a data file of the controller could not be read under the
// HEADER_LENGTH in force: tells on standard error the length prefix the file
// seems to carry, when another width makes it one whole message.
void TellFramingHint(const std::string& controllerId, const std::string& file);
