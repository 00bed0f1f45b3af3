#include "vksoc/port/socket_error.h"

#include <cstddef>

#include "platform/wsa_codes.h"

namespace {

// What each number means wherever a call tells it apart.
struct Meaning {
    int wsa;
    ErrorCode code;
    SocketFault fault;
    bool connectionLost;
};

constexpr Meaning kMeanings[] = {
    {WSAEMFILE, ERR_RESOURCE, SocketFault::NoResources, false},
    {WSAENOBUFS, ERR_RESOURCE, SocketFault::NoResources, false},
    {WSAEADDRINUSE, ERR_INVALID, SocketFault::AddressInUse, false},
    {WSAEADDRNOTAVAIL, ERR_INVALID, SocketFault::AddressUnavailable, false},
    {WSAEPROTOTYPE, ERR_INVALID, SocketFault::WrongProtocol, false},
    {WSAENETDOWN, ERR_CONNECTION, SocketFault::NetworkDown, false},
    {WSAENETUNREACH, ERR_CONNECTION, SocketFault::NetworkUnreachable, false},
    {WSAEHOSTUNREACH, ERR_CONNECTION, SocketFault::HostUnreachable, false},
    {WSAECONNREFUSED, ERR_CONNECTION, SocketFault::Refused, false},
    {WSAENETRESET, ERR_CONNECTION, SocketFault::Reset, true},
    {WSAECONNRESET, ERR_CONNECTION, SocketFault::Reset, true},
    {WSAECONNABORTED, ERR_CONNECTION, SocketFault::Aborted, true},
    {WSAETIMEDOUT, ERR_CONNECTION, SocketFault::TimedOut, true},
    // Told apart by no call, but the connection is gone all the same.
    {WSAENOTCONN, ERR_INTERNAL, SocketFault::Other, true},
    {WSAESHUTDOWN, ERR_INTERNAL, SocketFault::Other, true},
};

// The numbers each call tells apart; the rest are its internal errors.
constexpr int kCreate[] = {WSAEMFILE, WSAENOBUFS};
constexpr int kBind[] = {WSAEADDRINUSE, WSAEADDRNOTAVAIL, WSAENOBUFS};
constexpr int kListen[] = {WSAEMFILE, WSAENOBUFS};
constexpr int kConnect[] = {WSAEMFILE,    WSAENOBUFS,      WSAEPROTOTYPE,
                            WSAENETDOWN,  WSAENETUNREACH,  WSAECONNRESET,
                            WSAETIMEDOUT, WSAECONNREFUSED, WSAEHOSTUNREACH};
constexpr int kAccept[] = {WSAEMFILE, WSAENOBUFS, WSAECONNABORTED};
constexpr int kReceive[] = {WSAECONNABORTED, WSAETIMEDOUT, WSAECONNRESET, WSAENOBUFS};
constexpr int kSend[] = {WSAENETDOWN,   WSAENETUNREACH,  WSAENETRESET,
                         WSAECONNRESET, WSAECONNABORTED, WSAENOBUFS};

template <std::size_t N>
bool Among(const int (&numbers)[N], int wsa) {
    for (int number : numbers) {
        if (number == wsa) {
            return true;
        }
    }
    return false;
}

bool ToldApart(SocketCall call, int wsa) {
    switch (call) {
        case SocketCall::Create:
            return Among(kCreate, wsa);
        case SocketCall::Bind:
            return Among(kBind, wsa);
        case SocketCall::Listen:
            return Among(kListen, wsa);
        case SocketCall::Connect:
            return Among(kConnect, wsa);
        case SocketCall::Accept:
            return Among(kAccept, wsa);
        case SocketCall::Receive:
            return Among(kReceive, wsa);
        case SocketCall::Send:
            return Among(kSend, wsa);
        case SocketCall::Wait:
            return false;
    }
    return false;
}

}  // namespace

SocketError ErrorCodeOfSocketError(SocketCall call, int wsaNumber) {
    for (const Meaning& meaning : kMeanings) {
        if (meaning.wsa != wsaNumber) {
            continue;
        }
        if (ToldApart(call, wsaNumber)) {
            return SocketError{meaning.code, meaning.fault, meaning.connectionLost};
        }
        return SocketError{ERR_INTERNAL, SocketFault::Other, meaning.connectionLost};
    }
    return SocketError{ERR_INTERNAL, SocketFault::Other, false};
}
