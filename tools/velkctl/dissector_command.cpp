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

// "framed BIN2 counting itself, TPDU, trailer 03" for a controller whose
// link record names a FRAMING, a TPDU or a trailer; empty otherwise.
std::string FramingInWords(const DissectorController& controller) {
    if (!controller.hasLink) {
        return "";
    }
    const LinkRecord& link = controller.link;
    std::string words;
    if (LinkFraming(link) != FramingTag::Absent) {
        words = std::string("framed ") + FramingTagName(LinkFraming(link));
        if (link.FRAMING_COUNTS_ITSELF != 0) {
            words += " counting itself";
        }
    }
    if (link.tpduLength > 0) {
        words += words.empty() ? "TPDU" : ", TPDU";
    }
    if (link.trailerLength > 0) {
        words += words.empty() ? "trailer " : ", trailer ";
        for (int i = 0; i < link.trailerLength; ++i) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", link.TRAILER[i]);
            words += digits;
        }
    }
    return words;
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
    // Whether a controller is framed by HEADER_LENGTH: it has no FRAMING.
    bool prefixed = false;
    for (const DissectorController& controller : model.controllers) {
        ids += ids.empty() ? " " : ", ";
        ids += controller.id;
        std::string notes;
        if (!controller.ports.empty()) {
            notes += controller.ports.size() == 1 ? "TCP port" : "TCP ports";
            for (size_t i = 0; i < controller.ports.size(); ++i) {
                notes += i == 0 ? " " : ", ";
                notes += std::to_string(controller.ports[i]);
            }
        }
        const std::string framing = FramingInWords(controller);
        if (!framing.empty()) {
            notes += notes.empty() ? "" : "; ";
            notes += framing;
        }
        if (!notes.empty()) {
            ids += " (" + notes + ")";
        }
        prefixed = prefixed ||
                   (!controller.ztr &&
                    (!controller.hasLink || LinkFraming(controller.link) == FramingTag::Absent));
    }
    std::string prefix = "none";
    if (model.headerLength > 0) {
        prefix = std::to_string(model.headerLength) + " digits";
    } else if (prefixed) {
        // What the dissector then does, so that nobody is misled by it.
        prefix +=
            " (HEADER_LENGTH unset or 0: a record that is one whole message under a 1- to "
            "4-digit prefix is decoded with it and flagged; set HEADER_LENGTH as the "
            "responder has it)";
    }
    std::printf("%s: decodes%s; ISO 8583 length prefix: %s\n", options.output.c_str(), ids.c_str(),
                prefix.c_str());
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
