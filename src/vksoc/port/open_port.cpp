#include "vksoc/port/open_port.h"

#include <cstdlib>
#include <cstring>

#include "diag/error_state.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/port/port_table.h"
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

// Returns the listening socket, or INVALID_SOCKET after recording why; the
// socket is closed again on every failure after its creation.
SOCKET Listen(int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
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
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<unsigned short>(port));
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        FailBind(port);
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

SOCKET Connect(const char* address, int port) {
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
    if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
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

}  // namespace

int OpenPort(const char* address, int portOrFlags, char mode, const char* controllerId) {
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
            SOCKET s = mode == MODE_LISTEN ? Listen(portOrFlags) : Connect(address, portOrFlags);
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
    if (format != nullptr) {
        entry.headerLength = HeaderLengthFromEnvironment();
    }
    entry.inUse = 1;
    return index;
}
