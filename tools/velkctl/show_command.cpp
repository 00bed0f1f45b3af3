// velkctl show: the message in a data file, read through a file port as the
// dialog's Read does, one field per line.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "commands.h"
#include "controller_port.h"
#include "field_listing.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/message_file_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"
#include "vkstp/config_view.h"

namespace {

struct ShowOptions {
    std::string controller;
    std::string file;
};

int RunShow(const GlobalOptions& global, const ShowOptions& options) {
    if (!PrepareController(global, options.controller)) {
        return 1;
    }
    int port = ui::OpenMessageFile(options.file.c_str(), options.controller.c_str());
    if (port < 0) {
        ReportFailure("could not open " + options.file);
        return 1;
    }
    MessageFields message{};
    int result = RecvMsg(port, &message, -1);
    if (result < 0) {
        ReportFailure("could not read a message from " + options.file);
        TellFramingHint(options.controller, options.file);
    } else {
        // The slots point into the port's buffer: print before closing.
        unsigned char tpdu[FRAME_TPDU_LENGTH];
        if (PortReceivedTpdu(port, tpdu)) {
            std::printf("TPDU: %02X%02X%02X%02X%02X\n", tpdu[0], tpdu[1], tpdu[2], tpdu[3],
                        tpdu[4]);
        }
        PrintMessage(stdout, PortFormat(port), message,
                     FindLinkBounded(options.controller.c_str()));
    }
    ClosePort(port);
    return result < 0 ? 1 : 0;
}

}  // namespace

void AddShowCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<ShowOptions>();
    CLI::App* command =
        app.add_subcommand("show", "Print the message in a data file, one field per line");
    command->add_option("CONTROLLER", options->controller, "Controller identifier, or ZTR")
        ->required();
    command->add_option("FILE", options->file, "Message data file (*.dat)")->required();
    command->callback([&global, options] { global.exitCode = RunShow(global, *options); });
}
