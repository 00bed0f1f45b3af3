#pragma once

#include "diag/error_state.h"  // VELK_PRINTF

// The one form of every line the responder writes for a person on standard
// error: "VELK Tester: ", the text, a line end. One write per line, flushed,
// so that lines from a long run never interleave or wait in a buffer.

namespace ui {

void SayOnStandardError(const char* format, ...) VELK_PRINTF(1, 2);

}  // namespace ui
