#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "vkstp/config_view.h"

struct ConfigWarning {
    int line;  // 0 when the warning concerns the whole configuration
    std::string text;
};

// Bytes of the image the tables take, header included.
long long ConfigBytesUsed(const ConfigHeader& header);

// The readable summary of a loaded configuration: each table, each
// controller with its defined fields.
void PrintConfigSummary(FILE* out, const ConfigView& view);

// What READ_TIMEOUT bounds, in the words the summary and the sample
// configuration use.
extern const char* const READ_TIMEOUT_MEANING;
// What HOST_TIMEOUT bounds, likewise.
extern const char* const HOST_TIMEOUT_MEANING;

// Findings about the loaded image that no single line shows (a controller
// given twice, an empty identifier, a READ_TIMEOUT that does not wait or
// waits without limit, ...), and about the length-prefix width the ports
// would take (headerLength, below 1: none) that cannot carry the messages.
std::vector<ConfigWarning> CheckLoadedConfig(const ConfigView& view, int headerLength);
