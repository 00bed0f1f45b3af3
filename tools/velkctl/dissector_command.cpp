// velkctl dissector: writes a Wireshark Lua dissector that decodes the
// traffic by the configured layouts, framed as the responder frames it.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "controller_port.h"
#include "dissector_lua.h"
#include "dissector_model.h"
#include "vksoc/port/open_port.h"
#include "vkstp/config_view.h"

namespace {

struct DissectorOptions {
    std::vector<std::string> controllers;
    std::vector<std::string> ports;
    std::string output = "velk.lua";
};

// Whether every controller named, among the controllers and in each --port
// N=CONTROLLER, is ZTR: then no configuration is needed.
bool OnlyZtr(const DissectorOptions& options) {
    for (const std::string& name : options.controllers) {
        if (!IsZtrController(name.c_str())) {
            return false;
        }
    }
    for (const std::string& port : options.ports) {
        const size_t equals = port.find('=');
        if (equals != std::string::npos && !IsZtrController(port.c_str() + equals + 1)) {
            return false;
        }
    }
    return !options.controllers.empty();
}

// The file's heading names the configuration; nothing in it may end the
// comment line.
std::string Printable(const std::string& text) {
    std::string out;
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return out;
}

bool WriteWhole(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

int RunDissector(const GlobalOptions& global, const DissectorOptions& options) {
    // Every name ZTR needs no configuration; anything else does.
    if (!OnlyZtr(options) && !PrepareController(global, "")) {
        return 1;
    }
    DissectorModel model;
    std::string error;
    if (!BuildDissectorModel(options.controllers, options.ports, HeaderLengthFromEnvironment(),
                             &model, &error)) {
        std::fprintf(stderr, "velkctl: %s\n", error.c_str());
        return 1;
    }
    const std::string source = OnlyZtr(options)
                                   ? std::string("the ZTR host format")
                                   : "the configuration " + Printable(global.configPath);
    if (!WriteWhole(options.output, DissectorLua(model, source))) {
        std::fprintf(stderr, "velkctl: could not write %s\n", options.output.c_str());
        return 1;
    }
    std::string ids;
    for (const DissectorController& controller : model.controllers) {
        ids += ids.empty() ? " " : ", ";
        ids += controller.id;
        if (!controller.ports.empty()) {
            ids += controller.ports.size() == 1 ? " (TCP port" : " (TCP ports";
            for (size_t i = 0; i < controller.ports.size(); ++i) {
                ids += i == 0 ? " " : ", ";
                ids += std::to_string(controller.ports[i]);
            }
            ids += ")";
        }
    }
    std::printf(
        "%s: decodes%s; ISO 8583 length prefix: %s\n", options.output.c_str(), ids.c_str(),
        model.headerLength > 0 ? (std::to_string(model.headerLength) + " digits").c_str() : "none");
    return 0;
}

}  // namespace

void AddDissectorCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<DissectorOptions>();
    CLI::App* command = app.add_subcommand(
        "dissector", "Write a Wireshark Lua dissector for the configured controllers and ZTR");
    command->add_option("CONTROLLER", options->controllers,
                        "Controllers to decode, or ZTR (default: every configured one and ZTR)");
    // One value per --port, so that controllers may follow it.
    command
        ->add_option("--port", options->ports,
                     "N=CONTROLLER: decode TCP port N as that controller, which is then decoded "
                     "too (repeatable)")
        ->allow_extra_args(false);
    command->add_option("-o,--output", options->output, "File to write (default velk.lua)");
    command->callback([&global, options] { global.exitCode = RunDissector(global, *options); });
}
