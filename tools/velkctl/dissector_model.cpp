#include "dissector_model.h"

#include <cctype>
#include <cstring>
#include <set>
#include <string_view>

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
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const FieldSpec& spec = params.fields[n - 1];
        if (FieldSpecIsDefined(spec)) {
            controller.elements.push_back({n, NameOf(spec), spec.MAX_LEN, spec.LENGTH_BYTES});
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

bool AddPort(const std::string& argument, std::vector<DissectorController>& controllers,
             std::set<int>& used, std::string* error) {
    const size_t equals = argument.find('=');
    int port = 0;
    if (equals == std::string::npos ||
        !ParseTcpPort(std::string_view(argument).substr(0, equals), &port)) {
        *error = "--port '" + argument + "' is not of the form N=CONTROLLER with N from 1 to " +
                 std::to_string(MAX_TCP_PORT);
        return false;
    }
    const std::string id = argument.substr(equals + 1);
    if (!used.insert(port).second) {
        *error = "--port " + std::to_string(port) + " is given twice";
        return false;
    }
    for (DissectorController& controller : controllers) {
        if (controller.id == id || (controller.ztr && IsZtr(id))) {
            controller.ports.push_back(port);
            return true;
        }
    }
    *error = "--port " + argument + ": " + id + " is not among the controllers decoded";
    return false;
}

}  // namespace

bool BuildDissectorModel(const std::vector<std::string>& names,
                         const std::vector<std::string>& ports, int headerLength,
                         DissectorModel* model, std::string* error) {
    std::vector<DissectorController> controllers;
    std::set<const void*> chosen;
    auto addZtr = [&] {
        if (chosen.insert(ZTR_ID).second) {
            DissectorController ztr;
            ztr.id = ZTR_ID;
            ztr.ztr = true;
            controllers.push_back(ztr);
        }
    };
    if (names.empty()) {
        const int32_t count = configView.header != nullptr ? configView.header->controllerCount : 0;
        for (int32_t i = 0; i < count; ++i) {
            const ControllerParams& params = configView.controllerTable[i];
            // A repeated identifier: ports and velkctl find the first.
            if (FindConfigured(IdOf(params)) == &params && chosen.insert(&params).second) {
                controllers.push_back(FromConfiguration(params));
            }
        }
        addZtr();
    }
    for (const std::string& name : names) {
        if (IsZtr(name)) {
            addZtr();
            continue;
        }
        const ControllerParams* params = FindConfigured(name);
        if (params == nullptr) {
            *error = "controller " + name + " is not in the configuration";
            return false;
        }
        if (chosen.insert(params).second) {
            controllers.push_back(FromConfiguration(*params));
        }
    }
    AssignKeys(controllers);
    std::set<int> used;
    for (const std::string& argument : ports) {
        if (!AddPort(argument, controllers, used, error)) {
            return false;
        }
    }
    model->controllers = std::move(controllers);
    model->headerLength = headerLength > 0 ? headerLength : 0;
    return true;
}
