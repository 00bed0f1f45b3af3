#include "vksoc/recv_msg.h"

#include "diag/error_state.h"
#include "os_sockets.h"
#include "vkstp/config_view.h"
#include "vksoc/get_msg.h"
#include "vksoc/port_table.h"
#include "vksoc/read_port.h"

int RecvMsg(int port, MessageFields* fields, int timeoutSeconds) {
    PortEntry& entry = portTable[port];
    for (;;) {
        int complete = 0;
        int held = GetMsg(port, fields, &complete);
        if (held < 0) {
            ADD_ERROR_TEXT("RecvMsg: Message received is invalid\n");
            return -1;
        }
        if (complete == 1) {
            return held;
        }

        if (entry.mode != MODE_FILE) {
            int limit = held > 0 ? ConfiguredReadTimeout() : timeoutSeconds;
            bool readable = false;
            bool exceptional = false;
            if (plat::WaitSocket(static_cast<SOCKET>(entry.handle), limit, &readable,
                                 &exceptional) == SOCKET_ERROR) {
                SetError(ERR_INTERNAL, WSAGetLastError());
                ADD_ERROR_TEXT("RecvMsg: Error selecting from socket\n");
                return -1;
            }
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
        }

        if (ReadPort(port) < 0) {
            ADD_ERROR_TEXT("RecvMsg: Unable to read message\n");
            return -1;
        }
    }
}
