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

// Findings about the loaded image that no single line shows (a controller
// given twice, an empty identifier, ...).
std::vector<ConfigWarning> CheckLoadedConfig(const ConfigView& view);
