#pragma once

#include <cstdint>
#include <string_view>

#include "conform/findings.h"

namespace conform {

// Writes one error-log record for a request's findings (nothing when it has
// none): a line naming the request, then one line per finding. The record's
// code is ERR_FORMAT with the number of findings as its sub-code. peer: the
// connection's peer where several are served, else null.
void WriteFindingsRecord(const Findings& findings, std::string_view mti, std::string_view trace,
                         uint64_t sequence, const char* peer);

}  // namespace conform
