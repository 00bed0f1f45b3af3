#include "vksoc/port/read_port.h"

#include <cstring>

#include "diag/error_state.h"
#include "diag/traffic_dump.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/codec/length_prefix.h"
#include "vksoc/port/card_data_dump.h"
#include "vksoc/port/port_table.h"
#include "vksoc/port/socket_error.h"

namespace {

void FailSocketRead() {
    int wsa = WSAGetLastError();
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

}  // namespace

int ReadPort(int port) {
    PortEntry& entry = portTable[port];
    const bool prefixed = entry.headerLength > 0;
    const bool inPrefix = prefixed && entry.headerBytesRead < entry.headerLength;

    // A record's prefix is read only once the body before it has been taken
    // whole; bytes still held then were more than one message's worth.
    if (inPrefix && entry.bytesHeld > 0) {
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("ReadPort: Formatting error %d bytes in excess\n", entry.bytesHeld);
        return -1;
    }

    if (entry.readOffset > 0) {
        std::memmove(entry.buffer, entry.buffer + entry.readOffset,
                     static_cast<size_t>(entry.bytesHeld));
        entry.readOffset = 0;
    }

    char* target;
    int wanted;
    if (inPrefix) {
        target = entry.headerText + entry.headerBytesRead;
        wanted = entry.headerLength - entry.headerBytesRead;
    } else if (prefixed) {
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
        n = plat::recv(static_cast<SOCKET>(entry.handle), target, wanted, 0);
        if (n == SOCKET_ERROR) {
            FailSocketRead();
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

    if (inPrefix) {
        DumpBytes(reinterpret_cast<const unsigned char*>(target), n, 'R');
    } else {
        // The bytes held, the new ones included, are whole messages from the
        // buffer's start on (readOffset is 0 after the compaction above).
        DumpStreamBytes(entry.format, entry.buffer, entry.bytesHeld + n,
                        reinterpret_cast<const unsigned char*>(target), n, 'R');
    }

    if (!prefixed) {
        entry.bytesHeld += n;
        entry.state = PORT_DATA;
    } else if (!inPrefix) {
        entry.bytesHeld += n;
        if (entry.bytesHeld == entry.recordLength) {
            entry.headerBytesRead = 0;
            entry.state = PORT_DATA;
        }
    } else {
        entry.headerBytesRead += n;
        if (entry.headerBytesRead == entry.headerLength) {
            entry.recordLength = ParseLengthPrefix(
                reinterpret_cast<const unsigned char*>(entry.headerText), entry.headerLength);
            if (entry.recordLength < 1 || entry.recordLength > entry.bufferSize) {
                SetError(ERR_FORMAT, 0);
                ADD_ERROR_TEXT("Record length specified : %d longer than %d\n", entry.recordLength,
                               entry.bufferSize);
                return -1;
            }
        }
    }
    return 0;
}
