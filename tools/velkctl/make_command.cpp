// velkctl make: writes a message data file through the dialog's own Save,
// length prefix (HEADER_LENGTH) included; a message that cannot be saved
// leaves an earlier file as it was.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "controller_port.h"
#include "field_conformance.h"
#include "field_values.h"
#include "vksoc/port/message_file_port.h"
#include "vkstp/config_view.h"

namespace {

struct MakeOptions {
    std::string controller;
    std::string file;
    std::vector<std::string> fields;
    bool force = false;
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
    values.UseLink(FindLinkBounded(options.controller.c_str()));
    if (!FieldsConform(options.controller, *values.fields(), options.force)) {
        return 1;
    }
    int written = 0;
    switch (ui::WriteMessageFile(options.file.c_str(), values.fields(), options.controller.c_str(),
                                 &written)) {
        case ui::SaveResult::Saved:
            break;
        case ui::SaveResult::NotOpened:
            ReportFailure("could not open " + options.file);
            return 1;
        case ui::SaveResult::NotSaved:
            // The file port writes the message as a connection would send it;
            // nothing was sent, the data file was not written.
            ReportFailure("could not write the data file " + options.file,
                          ChainWording::DataFileWrite);
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
    command->add_flag("--force", options->force,
                      "Write values that break their field's FIELD_TYPE or MAX_LEN as they are "
                      "(a malformed message for a negative test)");
    command->callback([&global, options] { global.exitCode = RunMake(global, *options); });
}
