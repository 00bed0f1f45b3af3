#pragma once

#include <string>

#include "dissector_model.h"

// The whole Wireshark Lua dissector for a model: the table VELK (the
// controllers with their layouts, ports and link tags, the length-prefix
// width, the ZTR field table and hash-key fields, the EMV tag names when a
// field is BER-TLV) followed by the dissector that reads it. A controller
// without a link record is written as it was before link records existed.
// `source` names where the configuration came from, for the file's heading.
std::string DissectorLua(const DissectorModel& model, const std::string& source);
