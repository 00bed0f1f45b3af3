#pragma once

#include <string>

#include "dissector_model.h"

// The whole Wireshark Lua dissector for a model: the table VELK (the
// controllers with their layouts and ports, the length-prefix width, the ZTR
// field table and hash-key fields) followed by the dissector that reads it.
// `source` names where the configuration came from, for the file's heading.
std::string DissectorLua(const DissectorModel& model, const std::string& source);
