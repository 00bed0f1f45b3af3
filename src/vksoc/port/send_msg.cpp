#include "vksoc/port/send_msg.h"

#include <cstring>

#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "platform/steady_clock.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/port/card_data_dump.h"
#include "vksoc/port/chip_data_dump.h"
#include "vksoc/port/frame_record.h"
#include "vksoc/port/framing.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/port_transport.h"
#include "vksoc/port/socket_error.h"
#include "vkstp/config_view.h"

namespace {

// Holds the port's length header, when its framing has one, then the
// assembled message; reused by every SendMsg and keeping the last message
// until the next one.
unsigned char sendBuffer[SEND_BUFFER_SIZE];

// Set by a socket write that failed because the connection is gone.
bool connectionLost = false;

void FailSend(int wsa) {
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Send, wsa);
    connectionLost = error.connectionLost;
    SetError(error.code, wsa);
    switch (error.fault) {
        case SocketFault::NetworkDown:
            ADD_ERROR_TEXT("SendMsg: Interface to reach network down\n");
            break;
        case SocketFault::NetworkUnreachable:
            ADD_ERROR_TEXT("SendMsg: No route to remote network\n");
            break;
        case SocketFault::Reset:
            ADD_ERROR_TEXT("SendMsg: Connection reset\n");
            break;
        case SocketFault::Aborted:
            ADD_ERROR_TEXT("SendMsg: Connection aborted\n");
            break;
        case SocketFault::NoResources:
            ADD_ERROR_TEXT("SendMsg: No resources to send message\n");
            break;
        default:
            ADD_ERROR_TEXT("SendMsg: Error while sending message\n");
            break;
    }
}

void FailTlsSend(const char* reason) {
    connectionLost = true;
    SetError(ERR_CONNECTION, 0);
    ADD_ERROR_TEXT("SendMsg: TLS: %s\n", reason);
}

// The system may take fewer bytes than offered: the rest is offered again
// until everything is written (on a socket too, below).
int WriteFile(const PortEntry& entry, int count) {
    int written = 0;
    while (written < count) {
        int n = plat::_write(entry.handle, sendBuffer + written,
                             static_cast<unsigned int>(count - written));
        if (n <= 0) {
            SetError(ERR_INVALID, n < 0 ? plat::GetLastError() : 0);
            ADD_ERROR_TEXT("SendMsg: Write failed\n");
            return -1;
        }
        written += n;
    }
    return 0;
}

// A peer that stops reading fills the system's buffers; the send then waits
// for room, but never longer than HOST_TIMEOUT seconds without progress. A
// send cut off there has put part of a message on the wire: the connection
// is lost for framing, and is reported so. With waitMs at 0 or above, the
// whole send waits at most that long instead, progress or not.
int WriteSocket(const PortEntry& entry, int count, int waitMs) {
    const SOCKET s = static_cast<SOCKET>(entry.handle);
    const int64_t deadline = waitMs >= 0 ? SteadyMilliseconds() + waitMs : -1;
    int written = 0;
    while (written < count) {
        TransportFault fault;
        int n = TransportSend(entry, reinterpret_cast<const char*>(sendBuffer + written),
                              count - written, &fault);
        if (n == TRANSPORT_FAILED) {
            if (fault.wsa != 0) {
                FailSend(fault.wsa);
            } else {
                FailTlsSend(fault.tls);
            }
            return -1;
        }
        if (n > 0) {
            written += n;
            continue;
        }
        if (deadline >= 0) {
            const int64_t left = deadline - SteadyMilliseconds();
            plat::WaitEntry wait{s, false, true, false, false, false};
            // 0 also after a signal: the deadline decides.
            int ready = left > 0 ? plat::WaitSockets(&wait, 1, static_cast<int>(left)) : 0;
            if (ready == SOCKET_ERROR) {
                FailSend(WSAGetLastError());
                return -1;
            }
            if (ready == 0 && SteadyMilliseconds() >= deadline) {
                connectionLost = true;
                SetError(ERR_CONNECTION, WSAETIMEDOUT);
                ADD_ERROR_TEXT("SendMsg: Peer did not take the message within %d ms\n", waitMs);
                return -1;
            }
            continue;
        }
        const int timeout = ConfiguredHostTimeout();
        int ready = plat::WaitWritable(s, timeout);
        if (ready == SOCKET_ERROR) {
            FailSend(WSAGetLastError());
            return -1;
        }
        if (ready == 0) {
            connectionLost = true;
            SetError(ERR_CONNECTION, WSAETIMEDOUT);
            ADD_ERROR_TEXT("SendMsg: Peer took no bytes for %d seconds\n", timeout);
            return -1;
        }
    }
    return 0;
}

}  // namespace

bool SendLostConnection() {
    return connectionLost;
}

int SendMsg(int port, const MessageFields* fields) {
    return SendMsgWithin(port, fields, -1);
}

int SendMsgWithin(int port, const MessageFields* fields, int waitMs) {
    connectionLost = false;
    if (!PortIsOpen(port)) {
        SetError(ERR_INVALID, 0);
        ADD_ERROR_TEXT("SendMsg: Port %d is not open\n", port);
        return -1;
    }
    const PortEntry& entry = portTable[port];
    const Framing& framing = entry.framing;
    const int prefix = FramePrefixLength(framing);
    unsigned char* out = sendBuffer + prefix;
    // What no receiver of this system can take is refused like any other
    // message that cannot be assembled.
    static_assert(MAX_MESSAGE_LENGTH + MAX_FRAME_HEADER + MAX_FRAME_TRAILER <= SEND_BUFFER_SIZE);
    const int room = MAX_MESSAGE_LENGTH;
    if (framing.tpduLength > 0) {
        ResponseTpdu(entry, sendBuffer + framing.headerLength);
    }

    // Dumped before assembling, so the log shows what was asked for even
    // when assembling then fails.
    DumpFields(entry.format != nullptr, 'S', fields, PortPeerName(port),
               framing.tpduLength > 0 ? sendBuffer + framing.headerLength : nullptr,
               DumpChipDataField, entry.link);

    int n = entry.format == nullptr ? AssembleZTR(out, room, fields)
                                    : Assemble8583(out, room, entry.format, entry.link, fields);
    if (n < 0) {
        ADD_ERROR_TEXT("SendMsg: Error in assembling the message\n");
        return -1;
    }

    if (!WriteFrameHeader(framing, sendBuffer, n)) {
        SetError(ERR_FORMAT, 0);
        if (framing.kind == FramingKind::Decimal) {
            ADD_ERROR_TEXT("SendMsg: Message length %d does not fit %d digits\n", n,
                           framing.headerLength);
        } else {
            ADD_ERROR_TEXT("SendMsg: Message length %d does not fit the %s length header\n", n,
                           FramingKindName(framing));
        }
        return -1;
    }
    std::memcpy(out + n, framing.trailer, static_cast<size_t>(framing.trailerLength));
    const int message = n;
    n += prefix + framing.trailerLength;

    int written = entry.mode == MODE_FILE ? WriteFile(entry, n) : WriteSocket(entry, n, waitMs);
    if (written < 0) {
        return -1;
    }
    DumpStreamBytes(entry.format, out, message, sendBuffer, n, 'S', PortPeerName(port), entry.link);
    return n;
}
