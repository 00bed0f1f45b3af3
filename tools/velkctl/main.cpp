// velkctl: the companion tool of the responder. Each command lives in its own
// file and registers itself here.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "commands.h"
#include "os_sockets.h"

int main(int argc, char** argv) {
    CLI::App app{"velkctl - check, publish and exercise a VELK Tester configuration"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Show help for every command");
    app.set_version_flag("--version", std::string("velkctl ") + VELK_VERSION,
                         "Print the version and exit");
    GlobalOptions global;
    app.add_option("--config", global.configPath,
                   "Configuration file to read (default ../data/velk.cfg)");

    AddConfigCommand(app, global);
    AddPublishCommand(app, global);
    AddSendCommand(app, global);
    AddShowCommand(app, global);
    AddMakeCommand(app, global);
    AddDissectorCommand(app, global);
    AddCheckCommand(app, global);

    // The commands run inside parse. On Windows no socket can be made before
    // the socket layer is started.
    WSADATA data{};
    if (WSAStartup(0x0202, &data) != 0) {
        std::fprintf(stderr, "velkctl: the socket layer could not be started\n");
        return 1;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return global.exitCode;
}
