#pragma once

// Configuration text for the tests, one record at a time, in the tags and
// the order of data/velk.cfg.

#include <string>
#include <string_view>

// One <FIELD> record of a <FIELD_SPEC_LIST>.
std::string FieldText(int n, std::string_view name, int maxLen, int lengthBytes);
// One <CONTROLLER_PARAMS> record holding the given <FIELD> records.
std::string ControllerText(std::string_view id, std::string_view fields);
// A <CONTROLLER_PARAMS_LIST> around the given <CONTROLLER_PARAMS> records.
std::string ControllerListText(std::string_view controllers);
