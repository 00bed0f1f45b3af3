// velkctl publish: loads the configuration and publishes its image as the
// shared configuration image that VELK_GetShm attaches, until interrupted.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "commands.h"
#include "os_lowio.h"
#include "os_shared_memory.h"
#include "vksoc/port/shm_attach.h"
#include "vkstp/config_reader.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

struct PublishOptions {
    std::string name = SHARED_CONFIG_NAME;
    bool replace = false;
};

int RunPublish(const GlobalOptions& global, const PublishOptions& options) {
    if (LoadConfigurationFrom(global.configPath.c_str(), nullptr) != 0) {
        std::fprintf(stderr,
                     "velkctl: the configuration %s could not be loaded; the error log in ../log/ "
                     "says why\n",
                     global.configPath.c_str());
        return 1;
    }
    if (options.replace) {
        // A publisher that was killed leaves its image behind. A live one
        // keeps its view and, at its exit, leaves the new image alone.
        plat::RemoveStaleSharedMemory(options.name.c_str());
    }
    unsigned char* image = plat::CreateSharedMemory(options.name.c_str(), CONFIG_IMAGE_SIZE);
    if (image == nullptr) {
        int error = plat::GetLastError();
        // The system's number is shown as it is (17 here, 183 on Windows);
        // the text is the same everywhere.
        const bool exists = error == plat::SHARED_MEMORY_EXISTS;
        std::fprintf(stderr, "velkctl: could not publish the shared image '%s': %s (%d)%s\n",
                     options.name.c_str(), exists ? "File exists" : std::strerror(error), error,
                     exists ? "; another publisher holds it, or use --replace" : "");
        return 1;
    }
    std::memcpy(image, LoadedConfigImage(), CONFIG_IMAGE_SIZE);

    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::printf("Published %s as the shared image '%s' (%d bytes) until interrupted\n",
                global.configPath.c_str(), options.name.c_str(), CONFIG_IMAGE_SIZE);
    std::fflush(stdout);
    while (stopRequested == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    // Removes the name only while it is still this publisher's image: after a
    // --replace the image belongs to whoever published it last.
    plat::RemoveSharedMemory(options.name.c_str());
    plat::UnmapSharedMemory(image, CONFIG_IMAGE_SIZE);
    std::printf("Removed the shared image '%s'\n", options.name.c_str());
    return 0;
}

}  // namespace

void AddPublishCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<PublishOptions>();
    CLI::App* command = app.add_subcommand(
        "publish", "Publish the configuration image in shared memory until interrupted");
    command->add_option("--name", options->name, "Name of the shared image")->capture_default_str();
    command->add_flag("--replace", options->replace,
                      "Take the name over: an image left behind by a publisher that was killed, "
                      "or one still published (that publisher then leaves the new image alone)");
    command->callback([&global, options] { global.exitCode = RunPublish(global, *options); });
}
