#include "vksoc/port/read_port.h"

#include <cstring>

#include "diag/error_state.h"
#include "diag/log_text.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/port/card_data_dump.h"
#include "vksoc/port/frame_record.h"
#include "vksoc/port/framing.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/port_transport.h"
#include "vksoc/port/socket_error.h"

namespace {

// The most bytes a record shows of a record it could not frame.
constexpr int FIRST_BYTES_SHOWN = 16;

void FailSocketRead(int wsa) {
    const SocketError error = ErrorCodeOfSocketError(SocketCall::Receive, wsa);
    SetError(error.code, wsa);
    switch (error.fault) {
        case SocketFault::Aborted:
        case SocketFault::TimedOut:
            ADD_ERROR_TEXT("ReadPort: Transmission timeout\n");
            break;
        case SocketFault::Reset:
            ADD_ERROR_TEXT("ReadPort: Connection reset by peer\n");
            break;
        case SocketFault::NoResources:
            ADD_ERROR_TEXT("ReadPort: No resources for receive\n");
            break;
        default:
            ADD_ERROR_TEXT("ReadPort: Error receiving message\n");
            break;
    }
}

// A TLS session that failed: an alert from the peer, a record that does not
// decrypt, the stream ending without close_notify.
void FailTlsRead(const char* reason) {
    SetError(ERR_CONNECTION, 0);
    ADD_ERROR_TEXT("ReadPort: TLS: %s\n", reason);
}

// A header that names no body is most often another protocol's request (an
// HTTP GET, a TLS hello) or a peer that sends no prefix: the record shows the
// first bytes of the record, the header read and what already waits behind
// it, without taking any of them.
void AddFirstBytes(const PortEntry& entry) {
    unsigned char first[FIRST_BYTES_SHOWN];
    const int headerLength = entry.headerBytesRead;
    std::memcpy(first, entry.headerText, static_cast<size_t>(headerLength));
    int count = headerLength;
    bool readable = false;
    bool exceptional = false;
    // What waits behind the header of a TLS port is ciphertext: not shown.
    if (entry.mode != MODE_FILE && entry.tls == nullptr &&
        plat::WaitSocket(static_cast<SOCKET>(entry.handle), 0, &readable, &exceptional) == 0 &&
        readable) {
        int n =
            plat::recv(static_cast<SOCKET>(entry.handle), reinterpret_cast<char*>(first + count),
                       FIRST_BYTES_SHOWN - count, MSG_PEEK);
        if (n > 0) {
            count += n;
        }
    }
    char text[LogSafeTextSize(FIRST_BYTES_SHOWN)];
    LogSafeText(first, static_cast<size_t>(count), text, sizeof text);
    ADD_ERROR_TEXT("ReadPort: First bytes received: \"%s\"\n", text);
}

}  // namespace

int ReadPort(int port) {
    PortEntry& entry = portTable[port];
    const int headerLength = entry.framing.headerLength;
    const bool framed = headerLength > 0;
    const bool inHeader = framed && entry.headerBytesRead < headerLength;

    // A record's header is read only once the body before it has been taken
    // whole; bytes still held then were more than one message's worth.
    if (inHeader && entry.bytesHeld > 0) {
        RefuseExcess(entry.bytesHeld);
        return -1;
    }

    if (entry.readOffset > 0) {
        std::memmove(entry.buffer, entry.buffer + entry.readOffset,
                     static_cast<size_t>(entry.bytesHeld));
        entry.readOffset = 0;
    }

    char* target;
    int wanted;
    if (inHeader) {
        target = entry.headerText + entry.headerBytesRead;
        wanted = headerLength - entry.headerBytesRead;
    } else if (framed) {
        target = reinterpret_cast<char*>(entry.buffer) + entry.bytesHeld;
        wanted = entry.recordLength - entry.bytesHeld;
    } else {
        target = reinterpret_cast<char*>(entry.buffer) + entry.bytesHeld;
        wanted = entry.bufferSize - entry.bytesHeld;
    }

    int n;
    if (entry.mode == MODE_FILE) {
        n = plat::_read(entry.handle, target, static_cast<unsigned int>(wanted));
        if (n < 0) {
            SetError(ERR_INTERNAL, plat::GetLastError());
            ADD_ERROR_TEXT("ReadPort: Error reading from file\n");
            return -1;
        }
    } else {
        TransportFault fault;
        n = TransportReceive(entry, target, wanted, &fault);
        if (n == TRANSPORT_NOTHING) {
            return 0;  // a TLS record not whole yet: nothing changes
        }
        if (n == TRANSPORT_FAILED) {
            if (fault.wsa != 0) {
                FailSocketRead(fault.wsa);
            } else {
                FailTlsRead(fault.tls);
            }
            return -1;
        }
    }

    if (n == 0) {
        if (entry.bytesHeld > 0) {
            SetError(ERR_FORMAT, 0);
            ADD_ERROR_TEXT("ReadPort: Socket closed before full message\n");
        } else if (entry.mode == MODE_FILE) {
            SetError(ERR_CONNECTION, 0);
            ADD_ERROR_TEXT("ReadPort: End of File\n");
        } else {
            SetError(ERR_CONNECTION, 0);
            ADD_ERROR_TEXT("ReadPort: Connection closed by peer\n");
        }
        return -1;
    }

    if (inHeader) {
        DumpBytes(reinterpret_cast<const unsigned char*>(target), n, 'R', nullptr,
                  PortPeerName(port));
    } else {
        // The bytes held, the new ones included, are whole messages from the
        // buffer's start on (readOffset is 0 after the compaction above).
        // A framed record's TPDU lies in front of its message.
        const int held = entry.bytesHeld + n;
        const int tpdu = framed && entry.framing.tpduLength < held ? entry.framing.tpduLength : 0;
        DumpStreamBytes(entry.format, entry.buffer + tpdu, held - tpdu,
                        reinterpret_cast<const unsigned char*>(target), n, 'R', PortPeerName(port),
                        entry.link);
    }

    if (!framed) {
        entry.bytesHeld += n;
        entry.state = PORT_DATA;
        return 0;
    }
    if (!inHeader) {
        entry.bytesHeld += n;
        if (entry.bytesHeld == entry.recordLength) {
            if (FinishRecord(entry) < 0) {
                return -1;
            }
            entry.state = PORT_DATA;
        }
        return 0;
    }
    entry.headerBytesRead += n;
    const FrameHeader header =
        ParseFrameHeader(entry.framing, reinterpret_cast<const unsigned char*>(entry.headerText),
                         entry.headerBytesRead, entry.bufferSize);
    if (TakeFrameHeader(entry, header) < 0) {
        if (header.outcome == HeaderOutcome::Malformed) {
            AddFirstBytes(entry);
        }
        return -1;
    }
    return 0;
}
