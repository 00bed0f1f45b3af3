#pragma once

#include "vkstp/config_image.h"

// Reading the configuration file into the configuration image.

inline constexpr const char* CONFIG_FILE_PATH = "../data/velk.cfg";

// A line the lenient reader passed over or refused, for whoever wants to tell
// the user (velkctl config). The responder passes no sink.
using ConfigNoticeSink = void (*)(void* context, int line, const char* text);
struct ConfigNotices {
    ConfigNoticeSink sink;  // may be null
    void* context;
    bool quiet;  // no progress lines (tools that print something else)
};

// Reads "../data/velk.cfg" into the process's image and sets the view.
// Prints the progress lines. Returns 0, or -1 after writing the error log.
int LoadConfiguration();
// The same from another file, telling notices to the sink when one is given.
int LoadConfigurationFrom(const char* path, const ConfigNotices* notices);

// The image the last load filled (null before the first load); it is
// CONFIG_IMAGE_SIZE bytes and lives as long as the process.
const unsigned char* LoadedConfigImage();
