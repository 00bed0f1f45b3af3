#include "app/start_up.h"

#include <cstring>

#include "os_sockets.h"
#include "ui/responder_state.h"
#include "vksoc/port/tcp_port.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_values.h"
#include "vkstp/config_view.h"

namespace {

int Fail(ui::UiHost& host, const char* text) {
    host.ShowMessageBox(text, ui::MB_NOICON);
    return -1;
}

}  // namespace

int StartUp(ui::UiHost& host, char* controllerToken, char* portToken) {
    if (LoadConfiguration() != 0) {
        return Fail(host, "Unable to read configuration file");
    }
    WSADATA data{};
    if (WSAStartup(0x0101, &data) != 0) {
        return Fail(host, "Could not start WSA");
    }
    if (controllerToken == nullptr) {
        return Fail(host, "Controller not given");
    }
    if (std::strlen(controllerToken) > 3) {
        return Fail(host, "Controller invalid");
    }
    std::strcpy(responderState.controllerId, controllerToken);
    if (IsZtrController(responderState.controllerId)) {
        responderState.fieldSpecs = nullptr;
    } else {
        responderState.fieldSpecs = FindControllerExact(responderState.controllerId);
        if (responderState.fieldSpecs == nullptr) {
            return Fail(host, "Controller is invalid");
        }
    }
    if (portToken == nullptr) {
        return Fail(host, "Port not given");
    }
    if (std::strlen(portToken) > 5) {
        return Fail(host, "Port invalid");
    }
    responderState.portNumber = ConvertNumber(portToken);
    if (responderState.portNumber == 0) {
        return Fail(host, "Port not found");
    }
    if (!IsTcpPort(responderState.portNumber)) {
        return Fail(host, "Port invalid");
    }
    return 0;
}
