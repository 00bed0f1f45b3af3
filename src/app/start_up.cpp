#include "app/start_up.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/exit_codes.h"
#include "app/listener_tls.h"
#include "app/peer_limit.h"
#include "os_sockets.h"
#include "platform/descriptor_limit.h"
#include "ui/responder_state.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/tcp_port.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_values.h"
#include "vkstp/config_view.h"

namespace {

int Fail(ui::UiHost& host, const char* text, int exitCode) {
    host.ShowMessageBox(text, ui::MB_NOICON);
    return exitCode;
}

// Running out of descriptors would show only later, as "Accept failed" or a
// connection refused, long after the cause: it is told here instead.
int CheckDescriptorLimit(ui::UiHost& host) {
    const int peers = PeerLimit();
    if (peers < 1) {
        return EXIT_SERVED;  // not understood: the service loop refuses it
    }
    const int needed = DescriptorsNeeded(peers);
    const int limit = OpenDescriptorLimit();
    if (limit >= needed) {
        return EXIT_SERVED;
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "VELK_PEERS=%d needs about %d file descriptors; the limit is %d (ulimit -n)",
                  peers, needed, limit);
    return Fail(host, text, EXIT_TOO_FEW_DESCRIPTORS);
}

}  // namespace

int StartUp(ui::UiHost& host, char* controllerToken, char* portToken) {
    if (LoadConfiguration() != 0) {
        return Fail(host, "Unable to read configuration file", EXIT_NO_CONFIGURATION);
    }
    WSADATA data{};
    if (WSAStartup(0x0101, &data) != 0) {
        return Fail(host, "Could not start WSA", EXIT_NO_SOCKETS);
    }
    if (controllerToken == nullptr) {
        return Fail(host, "Controller not given", EXIT_BAD_ARGUMENTS);
    }
    if (std::strlen(controllerToken) > 3) {
        return Fail(host, "Controller invalid", EXIT_BAD_ARGUMENTS);
    }
    std::strcpy(responderState.controllerId, controllerToken);
    if (IsZtrController(responderState.controllerId)) {
        responderState.fieldSpecs = nullptr;
    } else {
        responderState.fieldSpecs = FindControllerExact(responderState.controllerId);
        if (responderState.fieldSpecs == nullptr) {
            return Fail(host, "Controller is invalid", EXIT_BAD_ARGUMENTS);
        }
    }
    if (portToken == nullptr) {
        return Fail(host, "Port not given", EXIT_BAD_ARGUMENTS);
    }
    if (std::strlen(portToken) > 5) {
        return Fail(host, "Port invalid", EXIT_BAD_ARGUMENTS);
    }
    responderState.portNumber = ConvertNumber(portToken);
    if (responderState.portNumber == 0) {
        return Fail(host, "Port not found", EXIT_BAD_ARGUMENTS);
    }
    if (!IsTcpPort(responderState.portNumber)) {
        return Fail(host, "Port invalid", EXIT_BAD_ARGUMENTS);
    }
    if (const char* bind = InvalidListenAddress()) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "VELK_BIND must be a numeric IPv4 or IPv6 address (got: %.100s)", bind);
        return Fail(host, text, EXIT_BAD_BIND);
    }
    std::string why;
    if (!LoadListenerTls(&responderState.tls, &why)) {
        return Fail(host, why.c_str(), EXIT_BAD_TLS);
    }
    return CheckDescriptorLimit(host);
}
