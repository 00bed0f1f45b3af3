#include "ui/desk_host.h"

namespace ui {

void SetDeskArguments(int, char**) {}

UiHost* OpenDeskHost(std::string& why) {
    why = "this build of VELK Tester has no GUI";
    return nullptr;
}

}  // namespace ui
