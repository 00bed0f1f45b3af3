#include "vksoc/send_msg.h"

#include <cstdio>
#include <cstring>

#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/iso8583.h"
#include "vksoc/port_table.h"
#include "vksoc/ztr.h"

namespace {

// Holds the optional length prefix, then the assembled message; reused by
// every SendMsg and keeping the last message until the next one.
unsigned char sendBuffer[SEND_BUFFER_SIZE];

void FailSend() {
    int wsa = WSAGetLastError();
    switch (wsa) {
    case WSAENETDOWN:
        SetError(ERR_CONNECTION, wsa);
        ADD_ERROR_TEXT("SendMsg: Interface to reach network down\n");
        break;
    case WSAENETUNREACH:
        SetError(ERR_CONNECTION, wsa);
        ADD_ERROR_TEXT("SendMsg: No route to remote network\n");
        break;
    case WSAENETRESET:
    case WSAECONNRESET:
        SetError(ERR_CONNECTION, wsa);
        ADD_ERROR_TEXT("SendMsg: Connection reset\n");
        break;
    case WSAECONNABORTED:
        SetError(ERR_CONNECTION, wsa);
        ADD_ERROR_TEXT("SendMsg: Connection aborted\n");
        break;
    case WSAENOBUFS:
        SetError(ERR_RESOURCE, wsa);
        ADD_ERROR_TEXT("SendMsg: No resources to send message\n");
        break;
    default:
        SetError(ERR_INTERNAL, wsa);
        ADD_ERROR_TEXT("SendMsg: Error while sending message\n");
        break;
    }
}

// The system may take fewer bytes than offered: the rest is offered again
// until everything is written.
int WriteAll(const PortEntry& entry, int count) {
    int written = 0;
    while (written < count) {
        const unsigned char* from = sendBuffer + written;
        int n;
        if (entry.mode == MODE_FILE) {
            n = plat::_write(entry.handle, from, static_cast<unsigned int>(count - written));
            if (n <= 0) {
                SetError(ERR_INVALID, n < 0 ? plat::GetLastError() : 0);
                ADD_ERROR_TEXT("SendMsg: Write failed\n");
                return -1;
            }
        } else {
            n = plat::send(static_cast<SOCKET>(entry.handle), reinterpret_cast<const char*>(from),
                           count - written, 0);
            if (n == SOCKET_ERROR) {
                FailSend();
                return -1;
            }
            if (n == 0) {
                SetError(ERR_INTERNAL, 0);
                ADD_ERROR_TEXT("SendMsg: Error while sending message\n");
                return -1;
            }
        }
        written += n;
    }
    return 0;
}

}  // namespace

int SendMsg(int port, const MessageFields* fields) {
    const PortEntry& entry = portTable[port];
    const int prefix = entry.headerLength > 0 ? entry.headerLength : 0;
    unsigned char* out = sendBuffer + prefix;
    const int room = SEND_BUFFER_SIZE - prefix;

    // Dumped before assembling, so the log shows what was asked for even
    // when assembling then fails.
    DumpFields(entry.format != nullptr, 'S', fields);

    int n = entry.format == nullptr ? AssembleZTR(out, room, fields)
                                    : Assemble8583(out, room, entry.format, fields);
    if (n < 0) {
        ADD_ERROR_TEXT("SendMsg: Error in assembling the message\n");
        return -1;
    }

    if (prefix > 0) {
        char digits[16];
        int width = std::snprintf(digits, sizeof digits, "%0*d", prefix, n);
        // A length cut to the prefix's width would frame a corrupt record.
        if (width != prefix) {
            SetError(ERR_FORMAT, 0);
            ADD_ERROR_TEXT("SendMsg: Message length %d does not fit %d digits\n", n, prefix);
            return -1;
        }
        std::memcpy(sendBuffer, digits, static_cast<size_t>(prefix));
        n += prefix;
    }

    if (WriteAll(entry, n) < 0) {
        return -1;
    }
    DumpBytes(sendBuffer, n, 'S');
    return n;
}
