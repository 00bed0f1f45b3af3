#pragma once

#include <cstdint>

#include "ui/dialog_host.h"
#include "ui/exchange.h"

// What serving several connections at once asks of the host that answers
// them, beyond dialogs and boxes: suspended answers (a script's "delay" that
// holds only its own connection) and whether a message box would hold every
// other connection while it is shown.
//
// Times are SteadyMilliseconds() (platform/steady_clock.h).

class PeerHost {
  public:
    virtual ~PeerHost() = default;
    // On while several connections are served: a delay then ends the dialog
    // with ui::DIALOG_SUSPENDED and keeps the run for the connection in hand.
    virtual void SetSuspendableDelays(bool on) = 0;
    // When the port's suspended run is due; -1 when it has none.
    virtual int64_t WakeTime(int port) const = 0;
    // Continues the suspended run of exchange.port on that exchange: the
    // dialog's result, or ui::DIALOG_SUSPENDED again.
    virtual int Resume(ui::Exchange& exchange) = 0;
    // The port's connection ended: its suspended run is dropped.
    virtual void Discard(int port) = 0;
    // True when a message box waits for a person: the end of one connection
    // is then told by its log record alone.
    virtual bool BoxesWait() const = 0;
};

// The desk: dialogs never suspend, and boxes wait for a person.
class DeskPeerHost final : public PeerHost {
  public:
    void SetSuspendableDelays(bool) override {}
    int64_t WakeTime(int) const override { return -1; }
    int Resume(ui::Exchange&) override { return 0; }
    void Discard(int) override {}
    bool BoxesWait() const override { return true; }
};

// A host that keeps suspended runs itself (the operator script's host): the
// four operations are its own; its boxes are lines that wait for nobody.
template <class Host>
class SuspendingPeerHost final : public PeerHost {
  public:
    explicit SuspendingPeerHost(Host& host) : host_(host) {}
    void SetSuspendableDelays(bool on) override { host_.SetSuspendableDelays(on); }
    int64_t WakeTime(int port) const override { return host_.WakeTime(port); }
    int Resume(ui::Exchange& exchange) override { return host_.Resume(exchange); }
    void Discard(int port) override { host_.Discard(port); }
    bool BoxesWait() const override { return false; }

  private:
    Host& host_;
};

// The desk's, for a loop given no other.
PeerHost& DeskPeers();
