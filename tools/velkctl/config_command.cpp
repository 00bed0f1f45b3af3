// velkctl config: load the configuration as the responder does, then show
// what was understood and every line that was passed over or refused.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "config_summary.h"
#include "vksoc/port/open_port.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

namespace {

struct ConfigOptions {
    std::string imagePath;
    bool strict = false;  // any warning fails the check (exit 2)
};

// The exit code of a configuration that loaded and was checked with
// --strict: for a CI job, a warning is a failure of its own kind.
constexpr int EXIT_WARNINGS = 2;

void CollectWarning(void* context, int line, const char* text) {
    static_cast<std::vector<ConfigWarning>*>(context)->push_back({line, text});
}

bool WriteImage(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    size_t written = std::fwrite(LoadedConfigImage(), 1, CONFIG_IMAGE_SIZE, file);
    bool closed = std::fclose(file) == 0;
    return written == static_cast<size_t>(CONFIG_IMAGE_SIZE) && closed;
}

// Warnings of lines in line order (the reader tells some only once a list
// is read), those of the whole configuration after them.
void PrintWarnings(std::vector<ConfigWarning> warnings) {
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const ConfigWarning& a, const ConfigWarning& b) {
                         return a.line > 0 && (b.line == 0 || a.line < b.line);
                     });
    if (warnings.empty()) {
        std::printf("\nNo warnings.\n");
        return;
    }
    std::printf("\nWarnings: %zu\n", warnings.size());
    for (const ConfigWarning& w : warnings) {
        if (w.line > 0) {
            std::printf("  line %d: %s\n", w.line, w.text.c_str());
        } else {
            std::printf("  %s\n", w.text.c_str());
        }
    }
}

int RunConfig(const GlobalOptions& global, const ConfigOptions& options) {
    std::vector<ConfigWarning> warnings;
    ConfigNotices notices{CollectWarning, &warnings, false};
    int loaded = LoadConfigurationFrom(global.configPath.c_str(), &notices);
    if (loaded != 0) {
        PrintWarnings(warnings);
        std::fprintf(stderr,
                     "velkctl: the configuration %s could not be loaded; the error log in ../log/ "
                     "(or the lines above) says why\n",
                     global.configPath.c_str());
        return 1;
    }
    std::printf("\nConfiguration %s: %lld of %d image bytes used\n", global.configPath.c_str(),
                ConfigBytesUsed(*configView.header), CONFIG_IMAGE_SIZE);
    PrintConfigSummary(stdout, configView);
    const int headerLength = HeaderLengthFromEnvironment();
    if (headerLength > 0) {
        std::printf("\nLength prefix: %d digits before every ISO 8583 message (HEADER_LENGTH)\n",
                    headerLength);
    } else {
        std::printf("\nLength prefix: none (HEADER_LENGTH unset, or not 1 to 4)\n");
    }
    for (ConfigWarning& w : CheckLoadedConfig(configView, headerLength)) {
        warnings.push_back(std::move(w));
    }
    PrintWarnings(warnings);
    if (!options.imagePath.empty()) {
        if (!WriteImage(options.imagePath)) {
            std::fprintf(stderr, "velkctl: could not write the image to %s\n",
                         options.imagePath.c_str());
            return 1;
        }
        std::printf("\nImage written to %s (%d bytes)\n", options.imagePath.c_str(),
                    CONFIG_IMAGE_SIZE);
    }
    if (options.strict && !warnings.empty()) {
        std::fprintf(stderr, "velkctl: %zu warning%s, and --strict was given\n", warnings.size(),
                     warnings.size() == 1 ? "" : "s");
        return EXIT_WARNINGS;
    }
    return 0;
}

}  // namespace

void AddConfigCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<ConfigOptions>();
    CLI::App* command = app.add_subcommand(
        "config", "Load the configuration, summarise it and warn about every line passed over");
    command->add_option("--image", options->imagePath,
                        "Also write the 98,304-byte configuration image to this file");
    command->add_flag("--strict", options->strict,
                      "Exit 2 when any warning was given (for CI); 1 still means it did not load");
    command->callback([&global, options] { global.exitCode = RunConfig(global, *options); });
}
