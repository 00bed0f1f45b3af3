#include "app/service_loop.h"

#include "app/multi_peer_loop.h"
#include "app/peer_limit.h"
#include "diag/error_log.h"
#include "platform/stop_request.h"
#include "ui/dialog_template.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"

void ServiceLoop(ui::UiHost& host, PeerHost& peers) {
    if (int limit = PeerLimit(); limit != 1) {
        return ServeManyPeers(host, limit, peers);
    }
    ResponderState& state = responderState;
    // A stop request ends the loop between messages: a wait it interrupts
    // fails, and that failure is the stop, not a fault to tell of.
    while (!StopRequested()) {
        state.connPort = OpenPort(nullptr, state.portNumber, MODE_LISTEN, state.controllerId);
        if (state.connPort == -1) {
            host.ShowMessageBox("Open Port failed", ui::MB_NOICON);
            WriteErrorLog();
            return;
        }
        if (AcceptConn(state.connPort) < 0) {
            if (StopRequested()) {
                ClosePort(state.connPort);
                return;
            }
            host.ShowMessageBox("Accept failed", ui::MB_NOICON);
            WriteErrorLog();
            return;
        }
        // Messages that arrived together are shown one after the other.
        state.endConnection = false;
        while (!state.endConnection && !StopRequested() &&
               RecvMsg(state.connPort, &state.message, -1) >= 0) {
            ui::BuildDialog(host, ui::MsgDlgProc);
        }
        if (!state.endConnection && !StopRequested()) {
            host.ShowMessageBox("Connection closed", ui::MB_NOICON);
            WriteErrorLog();
        }
        state.endConnection = false;
        ClosePort(state.connPort);
    }
}
