#pragma once

#include <string>
#include <vector>

#include "field_values.h"

// The fields `velkctl send` sends: the message of a data file first (at most
// one file among the arguments), then each N=VALUE argument on top of it.
// False after telling the user why on standard error: a second file, a file
// that holds no whole message of the controller's format, a bad field, or
// nothing to send at all.
bool CollectRequest(const std::string& controller, const std::vector<std::string>& arguments,
                    FieldValues* values);
