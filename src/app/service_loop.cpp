#include "app/service_loop.h"

#include "app/exit_codes.h"
#include "app/multi_peer_loop.h"
#include "app/peer_limit.h"
#include "app/request_checks.h"
#include "diag/error_log.h"
#include "platform/stop_request.h"
#include "ui/exchange.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_tls.h"
#include "vksoc/port/recv_msg.h"

int ServiceLoop(ui::UiHost& host, PeerHost& peers) {
    if (int limit = PeerLimit(); limit != 1) {
        return ServeManyPeers(host, limit, peers);
    }
    ResponderState& state = responderState;
    // A stop request ends the loop between messages: a wait it interrupts
    // fails, and that failure is the stop, not a fault to tell of.
    while (!StopRequested()) {
        const int port = OpenPort(nullptr, state.portNumber, MODE_LISTEN, state.controllerId);
        if (port == -1) {
            host.ShowMessageBox("Open Port failed", ui::MB_NOICON);
            WriteErrorLog();
            return EXIT_OPEN_PORT_FAILED;
        }
        SetPortTlsServer(port, state.tls);
        const int accepted = AcceptConn(port);
        if (accepted == HANDSHAKE_FAILED && !StopRequested()) {
            // The connection's own failure: told like any connection's end,
            // then the port listens again.
            host.ShowMessageBox("Connection closed", ui::MB_NOICON);
            WriteErrorLog();
            ClosePort(port);
            continue;
        }
        if (accepted < 0) {
            if (StopRequested()) {
                ClosePort(port);
                return EXIT_SERVED;
            }
            host.ShowMessageBox("Accept failed", ui::MB_NOICON);
            WriteErrorLog();
            return EXIT_ACCEPT_FAILED;
        }
        // Messages that arrived together are shown one after the other, each
        // with its own exchange.
        bool ended = false;
        while (!ended && !StopRequested() && RecvMsg(port, &state.message, -1) >= 0) {
            ui::Exchange exchange;
            exchange.port = port;
            exchange.message = &state.message;
            ChecksFor(exchange);
            ui::RunMessageDialog(host, exchange);
            RequestAnswered(exchange);
            ended = exchange.endConnection;
        }
        if (!ended && !StopRequested()) {
            host.ShowMessageBox("Connection closed", ui::MB_NOICON);
            WriteErrorLog();
        }
        ClosePort(port);
    }
    return EXIT_SERVED;
}
