// velkctl make: writes a message data file exactly as the dialog's Save does,
// through a file port and SendMsg, length prefix (HEADER_LENGTH) included.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "controller_port.h"
#include "field_values.h"
#include "os_lowio.h"
#include "vkstp/config_view.h"
#include "vksoc/close_port.h"
#include "vksoc/open_port.h"
#include "vksoc/port_table.h"
#include "vksoc/send_msg.h"

namespace {

struct MakeOptions {
    std::string controller;
    std::string file;
    std::vector<std::string> fields;
};

int RunMake(const GlobalOptions& global, const MakeOptions& options) {
    const bool ztr = IsZtrController(options.controller.c_str());
    FieldValues values(ztr);
    for (const std::string& argument : options.fields) {
        std::string error;
        if (!FieldValues::IsFieldArgument(argument)) {
            std::fprintf(stderr, "velkctl: '%s' is not of the form N=VALUE\n", argument.c_str());
            return 1;
        }
        if (!values.Set(argument, &error)) {
            std::fprintf(stderr, "velkctl: %s\n", error.c_str());
            return 1;
        }
    }
    if (!PrepareController(global, options.controller)) {
        return 1;
    }
    int port = OpenPort(options.file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY,
                        MODE_FILE, options.controller.c_str());
    if (port < 0) {
        ReportFailure("could not open " + options.file);
        return 1;
    }
    int written = SendMsg(port, values.fields());
    ClosePort(port);
    if (written < 0) {
        ReportFailure("could not save the message to " + options.file);
        return 1;
    }
    std::printf("%s: %d bytes\n", options.file.c_str(), written);
    return 0;
}

}  // namespace

void AddMakeCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<MakeOptions>();
    CLI::App* command = app.add_subcommand(
        "make", "Write a message data file from N=VALUE fields, as the dialog's Save would");
    command->add_option("CONTROLLER", options->controller, "Controller identifier, or ZTR")
        ->required();
    command->add_option("FILE", options->file, "Message data file to write (*.dat)")->required();
    command->add_option("FIELDS", options->fields,
                        "N=VALUE: ISO 8583 field 0 (message id) or 2-128; ZTR field 4-64");
    command->callback([&global, options] { global.exitCode = RunMake(global, *options); });
}
