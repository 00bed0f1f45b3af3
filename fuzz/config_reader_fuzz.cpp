// Fuzzes the configuration reader with whole files. Property: a load either
// fails (-1) or leaves a header whose every table lies inside the image; the
// image is never written past its end (ASan watches the one allocation).

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

namespace fs = std::filesystem;

namespace {

std::string configPath;

// Runs in a scratch root whose log files are /dev/null, so that the error
// records of a long run cost nothing, and with the progress lines muted.
void Prepare() {
    fs::path root = fs::temp_directory_path() / ("velk-fuzz-config-" + std::to_string(getpid()));
    fs::create_directories(root / "log");
    fs::create_directories(root / "work");
    fs::current_path(root / "work");
    LocalTime pinned{126, 12, 9, 12, 0, 0};
    PinLocalTime(&pinned);
    setenv("ERROR_FILE_PFX", "FUZ", 1);
    std::error_code ignored;
    fs::create_symlink("/dev/null", root / "log" / "FUZ0912126.log", ignored);
    configPath = (root / "velk.cfg").string();
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (configPath.empty()) {
        Prepare();
    }
    FILE* file = std::fopen(configPath.c_str(), "wb");
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    if (LoadConfigurationFrom(configPath.c_str(), nullptr) != 0) {
        return 0;
    }
    const ConfigHeader& header = *configView.header;
    // The tables fit, and the link records the reader wrote hold only values
    // this build knows.
    if (!ConfigHeaderFits(header, CONFIG_IMAGE_SIZE) ||
        !ConfigLinksValid(reinterpret_cast<const unsigned char*>(&header))) {
        std::abort();
    }
    for (int32_t c = 0; c < header.controllerCount; ++c) {
        for (const FieldSpec& spec : configView.controllerTable[c].fields) {
            // The reader refuses what the codec cannot use.
            if (spec.MAX_LEN < 0 || spec.LENGTH_BYTES < 0 || spec.LENGTH_BYTES > 3) {
                std::abort();
            }
        }
    }
    return 0;
}
