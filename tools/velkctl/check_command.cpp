// velkctl check: the findings of the message in a data file, as the
// responder finds them in a request of the controller: its field types,
// lengths and message rules, one finding per line.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "commands.h"
#include "conform/check_request.h"
#include "controller_port.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/message_file_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"
#include "vkstp/config_view.h"

namespace {

struct CheckOptions {
    std::string controller;
    std::string file;
};

// A controller that declares nothing still has its lengths checked.
const LinkRecord kNoDeclarations{};

int RunCheck(const GlobalOptions& global, const CheckOptions& options) {
    if (IsZtrController(options.controller.c_str())) {
        std::fprintf(stderr, "velkctl: the ZTR host format declares no field types or rules\n");
        return 1;
    }
    if (!PrepareController(global, options.controller)) {
        return 1;
    }
    const FieldSpec* specs = FindControllerBounded(options.controller.c_str());
    const LinkRecord* link = FindLinkBounded(options.controller.c_str());
    int port = ui::OpenMessageFile(options.file.c_str(), options.controller.c_str());
    if (port < 0) {
        ReportFailure("could not open " + options.file);
        return 1;
    }
    MessageFields message{};
    int result = RecvMsg(port, &message, -1);
    static conform::Findings findings;
    if (result < 0) {
        ReportFailure("could not read a message from " + options.file);
        TellFramingHint(options.controller, options.file);
    } else {
        // The slots point into the port's buffer: check before closing.
        conform::CheckRequest(link != nullptr ? *link : kNoDeclarations, specs, message, findings);
    }
    ClosePort(port);
    if (result < 0) {
        return 1;
    }
    for (int i = 0; i < findings.count(); ++i) {
        const std::string_view text = findings.Text(i);
        std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
    }
    if (findings.dropped() > 0) {
        std::printf("%d more\n", findings.dropped());
    }
    if (findings.empty()) {
        std::printf("%s: no findings\n", options.file.c_str());
        return 0;
    }
    return 3;
}

}  // namespace

void AddCheckCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check",
        "Print the findings of the message in a data file: what breaks the controller's field "
        "types, lengths and message rules (exit 0: none, 3: findings, 1: unreadable)");
    command->add_option("CONTROLLER", options->controller, "Controller identifier")->required();
    command->add_option("FILE", options->file, "Message data file (*.dat)")->required();
    command->callback([&global, options] { global.exitCode = RunCheck(global, *options); });
}
