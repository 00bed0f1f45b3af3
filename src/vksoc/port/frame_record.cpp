#include "vksoc/port/frame_record.h"

#include <cstdio>
#include <cstring>

#include "diag/error_state.h"
#include "diag/log_text.h"
#include "diag/traffic_dump.h"
#include "os_sockets.h"
#include "vksoc/port/port_peer_name.h"

namespace {

void HexText(const unsigned char* bytes, int count, char* out) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        out[2 * i] = DIGITS[bytes[i] >> 4];
        out[2 * i + 1] = DIGITS[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
}

void RefuseHeader(const PortEntry& entry, const FrameHeader& header) {
    SetError(ERR_FORMAT, 0);
    char bytes[2 * MAX_LENGTH_HEADER + 1];
    HexText(reinterpret_cast<const unsigned char*>(entry.headerText), entry.headerBytesRead, bytes);
    const char* name = FramingKindName(entry.framing);
    switch (header.fault) {
        case HeaderFault::NotBcd:
            ADD_ERROR_TEXT("ReadPort: %s length header %s holds a nibble that is no digit\n", name,
                           bytes);
            break;
        case HeaderFault::NotHex: {
            char text[LogSafeTextSize(MAX_LENGTH_HEADER)];
            LogSafeText(entry.headerText, static_cast<size_t>(entry.headerBytesRead), text,
                        sizeof text);
            ADD_ERROR_TEXT("ReadPort: %s length header \"%s\" is not hexadecimal\n", name, text);
            break;
        }
        case HeaderFault::ShorterThanSelf:
            ADD_ERROR_TEXT("ReadPort: %s length %d is shorter than its own %d-byte header\n", name,
                           header.length, entry.framing.headerLength);
            break;
        case HeaderFault::ShorterThanFrame:
            ADD_ERROR_TEXT(
                "ReadPort: %s record of length %d is shorter than its %d-byte TPDU and %d-byte "
                "trailer\n",
                name, header.length, entry.framing.tpduLength, entry.framing.trailerLength);
            break;
        case HeaderFault::Length:
        case HeaderFault::None:
            ADD_ERROR_TEXT("Record length specified : %d longer than %d\n", header.length,
                           entry.bufferSize);
            break;
    }
}

int EchoKeepAlive(const PortEntry& entry, int port) {
    unsigned char frame[MAX_LENGTH_HEADER];
    WriteKeepAliveHeader(entry.framing, frame);
    const int count = entry.framing.headerLength;
    const int n =
        plat::send(static_cast<SOCKET>(entry.handle), reinterpret_cast<char*>(frame), count, 0);
    if (n != count) {
        SetError(ERR_CONNECTION, n == SOCKET_ERROR ? WSAGetLastError() : 0);
        ADD_ERROR_TEXT("ReadPort: Could not answer a keep-alive\n");
        return -1;
    }
    DumpBytes(frame, count, 'S', nullptr, PortPeerName(port));
    return 0;
}

}  // namespace

int TakeFrameHeader(PortEntry& entry, const FrameHeader& header) {
    switch (header.outcome) {
        case HeaderOutcome::NeedMore:
            return 0;
        case HeaderOutcome::Length:
            entry.recordLength = header.length;
            return 0;
        case HeaderOutcome::KeepAlive: {
            entry.headerBytesRead = 0;
            const int port = static_cast<int>(&entry - portTable);
            if (entry.framing.keepAlive == KeepAlive::Echo && entry.mode == MODE_LISTEN) {
                return EchoKeepAlive(entry, port);
            }
            return 0;
        }
        case HeaderOutcome::Malformed:
            break;
    }
    entry.recordLength = header.length;
    RefuseHeader(entry, header);
    return -1;
}

int FinishRecord(PortEntry& entry) {
    const Framing& framing = entry.framing;
    entry.headerBytesRead = 0;
    entry.recordUntaken = 1;
    if (framing.tpduLength == 0 && framing.trailerLength == 0) {
        return 0;
    }
    const int trailerAt = entry.recordLength - framing.trailerLength;
    if (std::memcmp(entry.buffer + trailerAt, framing.trailer,
                    static_cast<size_t>(framing.trailerLength)) != 0) {
        char wanted[2 * MAX_FRAME_TRAILER + 1];
        char found[2 * MAX_FRAME_TRAILER + 1];
        HexText(framing.trailer, framing.trailerLength, wanted);
        HexText(entry.buffer + trailerAt, framing.trailerLength, found);
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("ReadPort: Record ends with %s, not with its trailer %s\n", found, wanted);
        return -1;
    }
    if (framing.tpduLength > 0) {
        std::memcpy(entry.tpdu, entry.buffer, FRAME_TPDU_LENGTH);
        entry.tpduReceived = 1;
    }
    entry.readOffset = framing.tpduLength;
    entry.bytesHeld = trailerAt - framing.tpduLength;
    return 0;
}

void RefuseExcess(int bytes) {
    SetError(ERR_FORMAT, 0);
    ADD_ERROR_TEXT("ReadPort: Formatting error %d bytes in excess\n", bytes);
}

void ResponseTpdu(const PortEntry& entry, unsigned char* out) {
    if (entry.mode != MODE_LISTEN || entry.tpduReceived == 0) {
        std::memcpy(out, entry.framing.tpdu, FRAME_TPDU_LENGTH);
        return;
    }
    out[0] = entry.tpdu[0];
    out[1] = entry.tpdu[3];
    out[2] = entry.tpdu[4];
    out[3] = entry.tpdu[1];
    out[4] = entry.tpdu[2];
}
