#include "vksoc/port/socket_error.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/wsa_codes.h"

namespace {

constexpr SocketCall kCalls[] = {SocketCall::Create,  SocketCall::Bind,   SocketCall::Listen,
                                 SocketCall::Connect, SocketCall::Accept, SocketCall::Receive,
                                 SocketCall::Send,    SocketCall::Wait};

TEST(SocketError, EachCallTellsApartTheNumbersOfItsFailureTable) {
    struct Case {
        SocketCall call;
        int wsa;
        ErrorCode code;
        SocketFault fault;
        bool lost;
    };
    const Case cases[] = {
        {SocketCall::Create, WSAEMFILE, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Create, WSAEACCES, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Bind, WSAEADDRINUSE, ERR_INVALID, SocketFault::AddressInUse, false},
        {SocketCall::Bind, WSAEADDRNOTAVAIL, ERR_INVALID, SocketFault::AddressUnavailable, false},
        {SocketCall::Bind, WSAENOBUFS, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Bind, WSAEMFILE, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Listen, WSAENOBUFS, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Listen, WSAEADDRINUSE, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Connect, WSAEPROTOTYPE, ERR_INVALID, SocketFault::WrongProtocol, false},
        {SocketCall::Connect, WSAENETDOWN, ERR_CONNECTION, SocketFault::NetworkDown, false},
        {SocketCall::Connect, WSAENETUNREACH, ERR_CONNECTION, SocketFault::NetworkUnreachable,
         false},
        {SocketCall::Connect, WSAEHOSTUNREACH, ERR_CONNECTION, SocketFault::HostUnreachable, false},
        {SocketCall::Connect, WSAECONNREFUSED, ERR_CONNECTION, SocketFault::Refused, false},
        {SocketCall::Connect, WSAECONNRESET, ERR_CONNECTION, SocketFault::Reset, true},
        {SocketCall::Connect, WSAETIMEDOUT, ERR_CONNECTION, SocketFault::TimedOut, true},
        {SocketCall::Connect, WSAECONNABORTED, ERR_INTERNAL, SocketFault::Other, true},
        {SocketCall::Accept, WSAEMFILE, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Accept, WSAECONNABORTED, ERR_CONNECTION, SocketFault::Aborted, true},
        {SocketCall::Accept, WSAENOTSOCK, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Receive, WSAECONNABORTED, ERR_CONNECTION, SocketFault::Aborted, true},
        {SocketCall::Receive, WSAETIMEDOUT, ERR_CONNECTION, SocketFault::TimedOut, true},
        {SocketCall::Receive, WSAECONNRESET, ERR_CONNECTION, SocketFault::Reset, true},
        {SocketCall::Receive, WSAENOBUFS, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Receive, WSAENETDOWN, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Send, WSAENETRESET, ERR_CONNECTION, SocketFault::Reset, true},
        {SocketCall::Send, WSAECONNABORTED, ERR_CONNECTION, SocketFault::Aborted, true},
        {SocketCall::Send, WSAENOBUFS, ERR_RESOURCE, SocketFault::NoResources, false},
        {SocketCall::Send, WSAENETUNREACH, ERR_CONNECTION, SocketFault::NetworkUnreachable, false},
        // A send's table has no time-out: internal, but the connection is gone.
        {SocketCall::Send, WSAETIMEDOUT, ERR_INTERNAL, SocketFault::Other, true},
        {SocketCall::Send, WSAENOTCONN, ERR_INTERNAL, SocketFault::Other, true},
        {SocketCall::Send, WSAESHUTDOWN, ERR_INTERNAL, SocketFault::Other, true},
        {SocketCall::Send, WSAEMFILE, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Wait, WSAECONNRESET, ERR_INTERNAL, SocketFault::Other, true},
        {SocketCall::Wait, WSAEINVAL, ERR_INTERNAL, SocketFault::Other, false},
        // A number without a meaning here, and an errno passed through.
        {SocketCall::Receive, 0, ERR_INTERNAL, SocketFault::Other, false},
        {SocketCall::Send, 32, ERR_INTERNAL, SocketFault::Other, false},
    };
    for (const Case& c : cases) {
        const SocketError error = ErrorCodeOfSocketError(c.call, c.wsa);
        EXPECT_EQ(error.code, c.code) << static_cast<int>(c.call) << " " << c.wsa;
        EXPECT_EQ(error.fault, c.fault) << static_cast<int>(c.call) << " " << c.wsa;
        EXPECT_EQ(error.connectionLost, c.lost) << static_cast<int>(c.call) << " " << c.wsa;
    }
}

TEST(SocketError, ANumberMeansTheSameOnEveryCallThatTellsItApart) {
    for (int wsa = WSAEINTR; wsa <= WSAEHOSTUNREACH; ++wsa) {
        const bool lost = ErrorCodeOfSocketError(SocketCall::Wait, wsa).connectionLost;
        std::optional<SocketError> told;
        for (SocketCall call : kCalls) {
            const SocketError error = ErrorCodeOfSocketError(call, wsa);
            EXPECT_EQ(error.connectionLost, lost) << wsa;
            if (error.fault == SocketFault::Other) {
                EXPECT_EQ(error.code, ERR_INTERNAL) << wsa;
            } else if (!told) {
                told = error;
            } else {
                EXPECT_EQ(error.code, told->code) << wsa;
                EXPECT_EQ(error.fault, told->fault) << wsa;
            }
        }
    }
}

}  // namespace
