#include "vksoc/port/open_port.h"

#include <cstdlib>
#include <cstring>

#include "diag/error_state.h"
#include "diag/log_text.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "platform/bind_address.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/socket_error.h"
#include "vkstp/config_view.h"

// Leading digits after an optional sign, as the environment gives them; a
// width outside 0 to 4 digits means no prefix.
int HeaderLengthFromEnvironment() {
    const char* value = std::getenv("HEADER_LENGTH");
    if (value == nullptr) {
        return 0;
    }
    long width = std::strtol(value, nullptr, 10);
    if (width > MAX_HEADER_LENGTH) {
        return 0;
    }
    return width < -MAX_MESSAGE_LENGTH ? -MAX_MESSAGE_LENGTH : static_cast<int>(width);
}

namespace {

void FailSocket() {
    int wsa = WSAGetLastError();
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Create, wsa);
    SetError(error.code, wsa);
    if (error.fault == SocketFault::NoResources) {
        ADD_ERROR_TEXT("OpenPort: No resources to get socket\n");
    } else {
        ADD_ERROR_TEXT("OpenPort: Internal error getting socket\n");
    }
}

void FailBind(int port) {
    int wsa = WSAGetLastError();
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Bind, wsa);
    SetError(error.code, wsa);
    switch (error.fault) {
        case SocketFault::AddressInUse:
            ADD_ERROR_TEXT("OpenPort: Port %d already in use\n", port);
            break;
        case SocketFault::AddressUnavailable:
            ADD_ERROR_TEXT("OpenPort: Cannot bind to %d\n", port);
            break;
        case SocketFault::NoResources:
            ADD_ERROR_TEXT("OpenPort: Out of resources to bind\n");
            break;
        default:
            ADD_ERROR_TEXT("OpenPort: Internal error binding\n");
            break;
    }
}

void FailListen() {
    int wsa = WSAGetLastError();
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Listen, wsa);
    SetError(error.code, wsa);
    if (error.fault == SocketFault::NoResources) {
        ADD_ERROR_TEXT("OpenPort: Out of resources to listen\n");
    } else {
        ADD_ERROR_TEXT("OpenPort: Internal error listening\n");
    }
}

void FailConnect(const char* address, int port) {
    int wsa = WSAGetLastError();
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Connect, wsa);
    SetError(error.code, wsa);
    switch (error.fault) {
        case SocketFault::NoResources:
            ADD_ERROR_TEXT("OpenPort: No resources for connect\n");
            break;
        case SocketFault::WrongProtocol:
            ADD_ERROR_TEXT("OpenPort: Wrong program at: [%s,%d]\n", address, port);
            break;
        case SocketFault::NetworkDown:
            ADD_ERROR_TEXT("OpenPort: Interface to reach %s down\n", address);
            break;
        case SocketFault::NetworkUnreachable:
            ADD_ERROR_TEXT("OpenPort: Could not reach network for: %s\n", address);
            break;
        case SocketFault::Reset:
            ADD_ERROR_TEXT("OpenPort: Connection to [%s,%d] was reset\n", address, port);
            break;
        case SocketFault::TimedOut:
            ADD_ERROR_TEXT("OpenPort: Connection to [%s,%d] Timed out\n", address, port);
            break;
        case SocketFault::Refused:
            ADD_ERROR_TEXT("OpenPort: No program running at: [%s,%d]\n", address, port);
            break;
        case SocketFault::HostUnreachable:
            ADD_ERROR_TEXT("OpenPort: Host %s down or unreachable\n", address);
            break;
        default:
            ADD_ERROR_TEXT("OpenPort: Error connecting to node\n");
            break;
    }
}

// The value of VELK_BIND as a record shows it: the user's text, escaped and
// cut to a readable length.
struct BindText {
    char text[LogSafeTextSize(64)];
    explicit BindText(const char* value) {
        LogSafeText(value, std::strlen(value), text, sizeof text);
    }
};

// Returns the listening socket, or INVALID_SOCKET after recording why; the
// socket is closed again on every failure after its creation. VELK_BIND
// names the one local address to listen on; unset or empty, every IPv4
// interface.
SOCKET Listen(int port) {
    const char* bindText = std::getenv("VELK_BIND");
    const bool bound = bindText != nullptr && bindText[0] != '\0';
    plat::BindAddress local{};
    if (!plat::ParseBindAddress(bound ? bindText : nullptr, port, &local)) {
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("OpenPort: VELK_BIND=%s is not an IPv4 or IPv6 address\n",
                       BindText(bindText).text);
        return INVALID_SOCKET;
    }
    SOCKET s = socket(local.family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        FailSocket();
        return INVALID_SOCKET;
    }
    int reuse = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                   sizeof reuse) == SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("OpenPort: SetSockOpt failed for Port %d\n", port);
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (bind(s, reinterpret_cast<const sockaddr*>(local.storage),
             static_cast<socklen_t>(local.length)) == SOCKET_ERROR) {
        FailBind(port);
        if (bound) {
            ADD_ERROR_TEXT("OpenPort: Listening on VELK_BIND=%s\n", BindText(bindText).text);
        }
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (listen(s, 0) == SOCKET_ERROR) {
        FailListen();
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// timeoutMs below 0: a blocking connect, as the system bounds it.
SOCKET Connect(const char* address, int port, int timeoutMs) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        FailSocket();
        return INVALID_SOCKET;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = inet_addr(address);
    peer.sin_port = htons(static_cast<unsigned short>(port));
    if (peer.sin_addr.s_addr == INADDR_NONE) {
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("OpenPort: Invalid address: %15.15s\n", address);
        closesocket(s);
        return INVALID_SOCKET;
    }
    const int connected = timeoutMs < 0
                              ? connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer)
                              : plat::ConnectWithin(s, reinterpret_cast<const sockaddr*>(&peer),
                                                    sizeof peer, timeoutMs);
    if (connected == SOCKET_ERROR) {
        FailConnect(address, port);
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (plat::SetConnectionOptions(s) == SOCKET_ERROR) {
        SetError(ERR_INVALID, WSAGetLastError());
        ADD_ERROR_TEXT("OpenPort: SetSockOpt failed for keep-alive\n");
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

int OpenPortEntry(const char* address, int portOrFlags, char mode, const char* controllerId,
                  int connectTimeoutMs) {
    int index = FreePortEntry();
    if (index < 0) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("OpenPort: More than %d connections used\n", MAX_PORTS);
        return -1;
    }

    const FieldSpec* format = nullptr;
    if (!IsZtrController(controllerId)) {
        format = FindControllerBounded(controllerId);
        if (format == nullptr) {
            SetError(ERR_INVALID, 0);
            ADD_ERROR_TEXT("OpenPort: Controller: %-3.3s is invalid\n", controllerId);
            return -1;
        }
    }

    auto* buffer = static_cast<unsigned char*>(std::malloc(MAX_MESSAGE_LENGTH));
    if (buffer == nullptr) {
        SetError(ERR_RESOURCE, 0);
        ADD_ERROR_TEXT("OpenPort: Could not allocate receive buffer\n");
        return -1;
    }

    int handle = -1;
    bool opened = false;
    switch (mode) {
        case MODE_FILE:
            handle = plat::_open(address, portOrFlags, plat::PERMIT_READ_WRITE);
            opened = handle >= 0;
            if (!opened) {
                SetError(ERR_INVALID, plat::GetLastError());
                ADD_ERROR_TEXT("OpenPort: Error opening %s\n", address);
            }
            break;
        case MODE_LISTEN:
        case MODE_CONNECT: {
            SOCKET s = mode == MODE_LISTEN ? Listen(portOrFlags)
                                           : Connect(address, portOrFlags, connectTimeoutMs);
            opened = s != INVALID_SOCKET;
            handle = static_cast<int>(s);
            break;
        }
        default:
            SetError(ERR_INVALID, 0);
            ADD_ERROR_TEXT("OpenPort: Invalid mode %c\n", mode);
            break;
    }
    if (!opened) {
        std::free(buffer);
        return -1;
    }

    PortEntry& entry = portTable[index];
    entry = PortEntry{};
    entry.handle = handle;
    entry.mode = mode;
    entry.buffer = buffer;
    entry.bufferSize = MAX_MESSAGE_LENGTH;
    entry.state = mode == MODE_LISTEN ? PORT_LISTENING : PORT_IDLE;
    entry.format = format;
    entry.link = format != nullptr ? FindLinkBounded(controllerId) : nullptr;
    if (format != nullptr) {
        entry.headerLength = HeaderLengthFromEnvironment();
        entry.framing = DecimalFraming(entry.headerLength);
    }
    entry.inUse = 1;
    return index;
}

}  // namespace

const char* InvalidListenAddress() {
    const char* value = std::getenv("VELK_BIND");
    plat::BindAddress local{};
    if (value == nullptr || value[0] == '\0' || plat::ParseBindAddress(value, 0, &local)) {
        return nullptr;
    }
    return value;
}

int OpenPort(const char* address, int portOrFlags, char mode, const char* controllerId) {
    return OpenPortEntry(address, portOrFlags, mode, controllerId, -1);
}

int OpenPortConnectWithin(const char* address, int tcpPort, const char* controllerId,
                          int timeoutMs) {
    return OpenPortEntry(address, tcpPort, MODE_CONNECT, controllerId,
                         timeoutMs < 0 ? 0 : timeoutMs);
}
