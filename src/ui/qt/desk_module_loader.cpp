// OpenDeskHost for a program whose GUI host lives in a loadable module.

#include <string>

#include "os_module.h"
#include "ui/desk_host.h"
#include "ui/qt/desk_module.h"

namespace ui {

namespace {
const char* programName = "velk-tester";
}

void SetDeskArguments(int argc, char** argv) {
    if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
        programName = argv[0];
    }
}

UiHost* OpenDeskHost(std::string& why) {
    static UiHost* host = nullptr;
    if (host != nullptr) {
        return host;
    }
    std::string error;
    void* module = plat::LoadModuleBesideProgram(VELK_DESK_MODULE_FILE, error);
    if (module == nullptr) {
        why = "the dialog's GUI module could not be loaded (" + error + ")";
        return nullptr;
    }
    auto open = reinterpret_cast<VelkOpenDeskHostFunction>(
        plat::ModuleSymbol(module, VELK_DESK_MODULE_ENTRY));
    if (open == nullptr) {
        why = "the dialog's GUI module " VELK_DESK_MODULE_FILE " has no entry";
        return nullptr;
    }
    char text[512] = "";
    host = open(programName, text, sizeof text);
    if (host == nullptr) {
        why = text;
    }
    return host;
}

}  // namespace ui
