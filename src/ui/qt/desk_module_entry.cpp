// The one function the GUI module exports to the program.

#include <cstdio>
#include <string>

#include "ui/desk_host.h"
#include "ui/qt/desk_module.h"

extern "C" __attribute__((visibility("default"))) ui::UiHost* VelkOpenDeskHost(
    const char* programName, char* why, int whySize) {
    static char* arguments[2] = {const_cast<char*>(programName), nullptr};
    ui::SetDeskArguments(1, arguments);
    std::string reason;
    ui::UiHost* host = ui::OpenDeskHost(reason);
    if (host == nullptr && whySize > 0) {
        std::snprintf(why, static_cast<size_t>(whySize), "%s", reason.c_str());
    }
    return host;
}
