#include "vksoc/port/recv_msg.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vksoc/port/get_msg.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/port_transport.h"
#include "vksoc/port/read_port.h"
#include "vksoc/port/socket_error.h"
#include "vkstp/config_view.h"

Taken TakeMsg(int port, MessageFields* fields) {
    const Taken taken = TakeHeldMessage(port, fields);
    if (taken.outcome == TakeOutcome::Malformed) {
        ADD_ERROR_TEXT("RecvMsg: Message received is invalid\n");
    }
    return taken;
}

int ReadAfterWait(int port, int held, bool readable, bool exceptional) {
    if (exceptional) {
        SetError(ERR_CONNECTION, 0);
        ADD_ERROR_TEXT("RecvMsg: Connect resetted by peer\n");
        return -1;
    }
    if (!readable) {
        if (held > 0) {
            SetError(ERR_FORMAT, 0);
            ADD_ERROR_TEXT("RecvMsg: Timeout before assembly\n");
        } else {
            SetError(ERR_TIMEOUT, 0);
            ADD_ERROR_TEXT("RecvMsg: Timeout before receipt\n");
        }
        return -1;
    }
    if (ReadPort(port) < 0) {
        ADD_ERROR_TEXT("RecvMsg: Unable to read message\n");
        return -1;
    }
    return 0;
}

void FailWait(int wsaError) {
    SetError(ErrorCodeOfSocketError(SocketCall::Wait, wsaError).code, wsaError);
    ADD_ERROR_TEXT("RecvMsg: Error selecting from socket\n");
}

int RecvMsg(int port, MessageFields* fields, int timeoutSeconds) {
    const PortEntry& entry = portTable[port];
    for (;;) {
        const Taken taken = TakeMsg(port, fields);
        if (taken.outcome != TakeOutcome::NeedMore) {
            return taken.bytes;
        }
        const int held = taken.bytes;
        // File ports do not wait, nor a TLS port whose session holds
        // decrypted bytes: its socket may show nothing of them.
        bool readable = true;
        bool exceptional = false;
        if (entry.mode != MODE_FILE && TransportPending(entry) == 0) {
            int limit = held > 0 ? ConfiguredReadTimeout() : timeoutSeconds;
            if (plat::WaitSocket(static_cast<SOCKET>(entry.handle), limit, &readable,
                                 &exceptional) == SOCKET_ERROR) {
                FailWait(WSAGetLastError());
                return -1;
            }
        }
        if (ReadAfterWait(port, held, readable, exceptional) < 0) {
            return -1;
        }
    }
}
