#include "dissector_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>

#include "vksoc/port/tcp_port.h"
#include "vkstp/config_view.h"

namespace {

constexpr const char* ZTR_ID = "ZTR";

bool IsZtr(const std::string& id) {
    return IsZtrController(id.c_str());
}

// A configured CONTROLLER_ID, stopping at its NUL or its width.
std::string IdOf(const ControllerParams& controller) {
    return std::string(controller.CONTROLLER_ID,
                       strnlen(controller.CONTROLLER_ID, sizeof controller.CONTROLLER_ID));
}

std::string NameOf(const FieldSpec& spec) {
    return std::string(spec.FIELD_NAME, strnlen(spec.FIELD_NAME, sizeof spec.FIELD_NAME));
}

DissectorController FromConfiguration(const ControllerParams& params) {
    DissectorController controller;
    controller.id = IdOf(params);
    const LinkRecord* link = FindLinkBounded(controller.id.c_str());
    if (link != nullptr) {
        controller.hasLink = true;
        controller.link = *link;
    }
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const FieldSpec& spec = params.fields[n - 1];
        if (FieldSpecIsDefined(spec)) {
            DissectorElement element{n,
                                     NameOf(spec),
                                     spec.MAX_LEN,
                                     spec.LENGTH_BYTES,
                                     ValueEncoding::Ascii,
                                     LengthEncoding::Ascii,
                                     false};
            if (link != nullptr) {
                const LinkField& field = LinkFieldOf(*link, n);
                element.encoding = FieldEncoding(field);
                element.lengthEncoding = FieldLengthEncoding(field);
                element.tlv = FieldFormatOf(field) == FieldFormat::Tlv;
            }
            controller.elements.push_back(element);
        }
    }
    return controller;
}

// The configured controller a name selects, by the rule ports are opened with.
const ControllerParams* FindConfigured(const std::string& name) {
    const FieldSpec* specs = FindControllerBounded(name.c_str());
    if (specs == nullptr || configView.header == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < configView.header->controllerCount; ++i) {
        if (configView.controllerTable[i].fields == specs) {
            return &configView.controllerTable[i];
        }
    }
    return nullptr;
}

// Keys are unique even when two identifiers differ only in case or in
// characters a key cannot hold.
void AssignKeys(std::vector<DissectorController>& controllers) {
    std::set<std::string> taken;
    for (size_t i = 0; i < controllers.size(); ++i) {
        std::string key;
        for (char byte : controllers[i].id) {
            auto c = static_cast<unsigned char>(byte);
            if (std::isalnum(c) != 0) {
                key += static_cast<char>(std::tolower(c));
            }
        }
        if (key.empty() || taken.count(key) != 0) {
            key += '_';
            key += std::to_string(i + 1);
        }
        taken.insert(key);
        controllers[i].key = key;
    }
}

// The port and the controller of one "N=CONTROLLER" argument.
bool ParsePortArgument(const std::string& argument, int* port, std::string* id,
                       std::string* error) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos ||
        !ParseTcpPort(std::string_view(argument).substr(0, equals), port)) {
        *error = "--port '" + argument + "' is not of the form N=CONTROLLER with N from 1 to " +
                 std::to_string(MAX_TCP_PORT);
        return false;
    }
    *id = argument.substr(equals + 1);
    return true;
}

}  // namespace

bool BuildDissectorModel(const std::vector<std::string>& names,
                         const std::vector<std::string>& ports, int headerLength,
                         DissectorModel* model, std::string* error) {
    std::vector<DissectorController> controllers;
    // What each chosen controller came from (its configured record, or
    // ZTR_ID), in the order of `controllers`.
    std::vector<const void*> chosen;
    auto choose = [&](const std::string& name) -> bool {
        const void* source = ZTR_ID;
        if (!IsZtr(name)) {
            source = FindConfigured(name);
            if (source == nullptr) {
                *error = "controller " + name + " is not in the configuration";
                return false;
            }
        }
        if (std::find(chosen.begin(), chosen.end(), source) != chosen.end()) {
            return true;
        }
        chosen.push_back(source);
        if (source == ZTR_ID) {
            DissectorController ztr;
            ztr.id = ZTR_ID;
            ztr.ztr = true;
            controllers.push_back(ztr);
        } else {
            controllers.push_back(FromConfiguration(*static_cast<const ControllerParams*>(source)));
        }
        return true;
    };
    if (names.empty()) {
        const int32_t count = configView.header != nullptr ? configView.header->controllerCount : 0;
        for (int32_t i = 0; i < count; ++i) {
            const ControllerParams& params = configView.controllerTable[i];
            // A repeated identifier: ports and velkctl find the first.
            if (FindConfigured(IdOf(params)) == &params) {
                choose(IdOf(params));
            }
        }
        choose(ZTR_ID);
    }
    for (const std::string& name : names) {
        if (!choose(name)) {
            return false;
        }
    }
    // A --port names a controller to decode on that port: one not named
    // among the controllers is decoded too.
    std::vector<std::pair<int, const void*>> assigned;
    for (const std::string& argument : ports) {
        int port = 0;
        std::string id;
        if (!ParsePortArgument(argument, &port, &id, error)) {
            return false;
        }
        for (const auto& [taken, source] : assigned) {
            if (taken == port) {
                *error = "--port " + std::to_string(port) + " is given twice";
                return false;
            }
        }
        if (!choose(id)) {
            *error = "--port " + argument + ": " + *error;
            return false;
        }
        const void* source = ZTR_ID;
        if (!IsZtr(id)) {
            source = FindConfigured(id);
        }
        assigned.emplace_back(port, source);
    }
    for (const auto& [port, source] : assigned) {
        const size_t index =
            static_cast<size_t>(std::find(chosen.begin(), chosen.end(), source) - chosen.begin());
        controllers[index].ports.push_back(port);
    }
    AssignKeys(controllers);
    model->controllers = std::move(controllers);
    model->headerLength = headerLength > 0 ? headerLength : 0;
    return true;
}
