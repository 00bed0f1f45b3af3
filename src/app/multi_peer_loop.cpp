#include "app/multi_peer_loop.h"

#include <cstdio>

#include "app/peer_set.h"
#include "diag/error_log.h"
#include "ui/dialog_template.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"

namespace {

class DialogPeers final : public PeerAnswerer {
  public:
    DialogPeers(ui::UiHost& host, PeerHost& peers) : host_(host), peers_(peers) {}

    PeerAnswer Answer(int port) override {
        responderState.connPort = port;
        responderState.endConnection = false;
        unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
        int size = ui::FillDialogTemplate(block);
        // A dialog that cannot be created drops the message without notice.
        return Outcome(host_.RunDialog(block, size, ui::MsgDlgProc));
    }
    int64_t WakeTime(int port) const override { return peers_.WakeTime(port); }
    PeerAnswer Resume(int port) override {
        responderState.connPort = port;
        responderState.endConnection = false;
        return Outcome(peers_.Resume(port));
    }
    void Failed(int) override { Tell("Connection closed"); }
    void Gone(int port) override { peers_.Discard(port); }
    void AcceptFailed() override { Tell("Accept failed"); }

  private:
    PeerAnswer Outcome(int result) {
        if (responderState.endConnection) {
            responderState.endConnection = false;
            return PeerAnswer::End;
        }
        return result == ui::DIALOG_SUSPENDED ? PeerAnswer::Suspended : PeerAnswer::Done;
    }
    // The box first, then the error log, as for one connection.
    void Tell(const char* text) {
        if (!peers_.BoxesWait()) {
            host_.ShowMessageBox(text, ui::MB_NOICON);
        }
        WriteErrorLog();
    }

    ui::UiHost& host_;
    PeerHost& peers_;
};

}  // namespace

void ServeManyPeers(ui::UiHost& host, int limit, PeerHost& peers) {
    if (limit < 1) {
        char text[64];
        std::snprintf(text, sizeof text, "VELK_PEERS must be a number from 1 to %d", MAX_PEERS);
        host.ShowMessageBox(text, ui::MB_NOICON);
        return;
    }
    const int listening =
        OpenPort(nullptr, responderState.portNumber, MODE_LISTEN, responderState.controllerId);
    if (listening == -1 || ListenForPeers(listening) < 0) {
        host.ShowMessageBox("Open Port failed", ui::MB_NOICON);
        WriteErrorLog();
        if (listening != -1) {
            ClosePort(listening);
        }
        return;
    }
    peers.SetSuspendableDelays(true);
    DialogPeers answerer(host, peers);
    if (ServePeers(listening, limit, &responderState.message, answerer) < 0) {
        host.ShowMessageBox("Accept failed", ui::MB_NOICON);
        WriteErrorLog();
    }
    peers.SetSuspendableDelays(false);
    ClosePort(listening);
}
