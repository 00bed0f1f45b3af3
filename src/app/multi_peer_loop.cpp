#include "app/multi_peer_loop.h"

#include <cstdio>

#include "app/exit_codes.h"
#include "app/peer_set.h"
#include "app/request_checks.h"
#include "diag/error_log.h"
#include "ui/exchange.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "ui/standard_error.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/port_tls.h"

namespace {

// The longest one response may wait for its peer to take bytes while the
// other connections wait for the loop: a peer that does not read costs the
// others this once, then its connection ends. HOST_TIMEOUT (1 s at least)
// is never shorter.
constexpr int PEER_SEND_WAIT_MS = 1000;

class DialogPeers final : public PeerAnswerer {
  public:
    DialogPeers(ui::UiHost& host, PeerHost& peers, MessageFields& message)
        : host_(host), peers_(peers), message_(message) {}

    PeerAnswer Answer(int port) override {
        ui::Exchange exchange = ExchangeFor(port);
        // A dialog that cannot be created drops the message without notice.
        int result = ui::RunMessageDialog(host_, exchange);
        return Answered(exchange, result);
    }
    int64_t WakeTime(int port) const override { return peers_.WakeTime(port); }
    PeerAnswer Resume(int port) override {
        ui::Exchange exchange = ExchangeFor(port);
        int result = peers_.Resume(exchange);
        return Answered(exchange, result);
    }
    void Accepted(int port) override { Say(port, "connected"); }
    void Failed(int port) override { Tell("Connection closed", port); }
    void Gone(int port) override {
        peers_.Discard(port);
        RequestDropped(port);
        Say(port, "ended");
    }
    void AcceptFailed() override { Tell("Accept failed", -1); }

  private:
    ui::Exchange ExchangeFor(int port) {
        ui::Exchange exchange;
        exchange.port = port;
        exchange.message = &message_;
        exchange.peer = PortPeerName(port);
        exchange.sendWaitMs = PEER_SEND_WAIT_MS;
        ChecksFor(exchange);
        return exchange;
    }
    // A run that is over (not suspended) has answered its request.
    static PeerAnswer Answered(const ui::Exchange& exchange, int result) {
        if (result != ui::DIALOG_SUSPENDED) {
            RequestAnswered(exchange);
        }
        return Outcome(exchange, result);
    }
    static PeerAnswer Outcome(const ui::Exchange& exchange, int result) {
        if (exchange.endConnection) {
            return PeerAnswer::End;
        }
        return result == ui::DIALOG_SUSPENDED ? PeerAnswer::Suspended : PeerAnswer::Done;
    }
    // The box first, then the error log, as for one connection.
    void Tell(const char* text, int port) {
        if (!peers_.BoxesWait()) {
            host_.ShowMessageBox(text, ui::MB_NOICON);
        }
        WriteErrorLog(PortPeerName(port));
    }
    static void Say(int port, const char* what) {
        const char* peer = PortPeerName(port);
        ui::SayOnStandardError("peer %s %s", peer != nullptr ? peer : "?", what);
    }

    ui::UiHost& host_;
    PeerHost& peers_;
    MessageFields& message_;
};

}  // namespace

int ServeManyPeers(ui::UiHost& host, int limit, PeerHost& peers) {
    if (limit < 1) {
        char text[64];
        std::snprintf(text, sizeof text, "VELK_PEERS must be a number from 1 to %d", MAX_PEERS);
        host.ShowMessageBox(text, ui::MB_NOICON);
        return EXIT_BAD_PEERS;
    }
    const int listening =
        OpenPort(nullptr, responderState.portNumber, MODE_LISTEN, responderState.controllerId);
    if (listening != -1) {
        SetPortTlsServer(listening, responderState.tls);
    }
    if (listening == -1 || ListenForPeers(listening) < 0) {
        host.ShowMessageBox("Open Port failed", ui::MB_NOICON);
        WriteErrorLog();
        if (listening != -1) {
            ClosePort(listening);
        }
        return EXIT_OPEN_PORT_FAILED;
    }
    peers.SetSuspendableDelays(true);
    DialogPeers answerer(host, peers, responderState.message);
    int code = EXIT_SERVED;
    if (ServePeers(listening, limit, &responderState.message, answerer) < 0) {
        host.ShowMessageBox("Accept failed", ui::MB_NOICON);
        WriteErrorLog();
        code = EXIT_ACCEPT_FAILED;
    }
    peers.SetSuspendableDelays(false);
    ClosePort(listening);
    return code;
}
