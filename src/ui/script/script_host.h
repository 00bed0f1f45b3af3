#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog_host.h"
#include "ui/exchange.h"
#include "ui/script/operator_script.h"
#include "ui/script/script_dialog.h"
#include "vksoc/port/connection_limit.h"

// Answers every message dialog by running the operator script against it.
// The dialog's context is its ui::Exchange (never null); the template is not
// looked at: there is no frame to draw.
// Message boxes become lines "VELK Tester: TEXT" on standard error and count
// as answered with OK. "ask" hands the message to the person at the desk
// through the GUI host when there is one. Counts what it answered, for the
// summary line a stopped run ends with.

namespace ui {

// One suspended answer per connection at most.
inline constexpr int MAX_SUSPENDED_RUNS = MAX_PEERS;

class ScriptHost : public UiHost {
  public:
    // openDesk: gives the GUI host for "ask" (null when there is no display);
    // called at the first "ask" only, so that a script that never asks costs
    // no toolkit, and never again once it failed. May itself be null.
    using DeskOpener = UiHost* (*)(std::string& why);
    ScriptHost(const OperatorScript& script, DeskOpener openDesk);
    ~ScriptHost() override;

    void ShowMessageBox(const char* text, unsigned icon) override;
    int RunDialog(const unsigned char* dialogTemplate, int templateSize, DialogProc procedure,
                  void* context) override;

    // Several connections at once. Off (the default): "delay" waits. On: a
    // "delay" returns DIALOG_SUSPENDED from RunDialog and keeps the run (the
    // rule, the next line, the box texts, the message's number) for its
    // exchange's port, due at WakeTime. At most MAX_SUSPENDED_RUNS at once;
    // beyond that a delay waits. Once a stop is requested a delay neither
    // suspends nor waits. Their storage is made when this is first turned
    // on, never per message.
    void SetSuspendableDelays(bool on);
    // SteadyMilliseconds() (platform/steady_clock.h) at which the port's
    // suspended run is due; -1 when it has none.
    int64_t WakeTime(int port) const;
    // Continues the suspended run of exchange.port on that exchange (its
    // message is the one the run began with). Returns the dialog's result,
    // or DIALOG_SUSPENDED again (-1 when the port has no suspended run).
    int Resume(Exchange& exchange);
    // The port's connection ended: its suspended run is dropped.
    void Discard(int port);

    // One line on standard error: how many requests were answered how, how
    // many had findings (where requests are checked), and by which rule.
    void WriteSummary() const;

  private:
    struct Run {
        const ScriptRule* rule;
        size_t next;        // the next line to run
        uint64_t sequence;  // the message's number, from 1
        bool responded;     // a Respond ended the dialog
        bool sendFailed;    // a Respond could not send
        int result;         // the dialog's end result
        DialogProc procedure;
        Exchange* exchange;  // the one of the current call (a resume brings its own)
    };
    struct SuspendedRun;
    class Values;
    enum Outcome { Responded, Cancelled, Closed, Silenced, Asked, SendFailed };

    int Continue(Run& run);
    void Command(Run& run, int id);
    int EndAsCancel(Run& run);
    int Finish(const Run& run, Outcome outcome);
    bool Suspend(const Run& run, int delayMs);
    SuspendedRun* FindSuspended(int port) const;
    int Ask(Run& run, const ScriptAction& action);
    bool FileCommand(Run& run, const ScriptAction& action);
    void Type(const Run& run, const ScriptAction& action);
    // "set N.PATH HEX" and "clear N.PATH": one data object of a chip data
    // field changes, the others keep their order.
    void EditObject(const Run& run, const ScriptAction& action);

    const OperatorScript& script_;
    DeskOpener openDesk_;
    enum { DeskNotTried, DeskOpen, DeskFailed } deskState_ = DeskNotTried;
    UiHost* desk_ = nullptr;
    ScriptDialog dialog_;
    // The layout the kept boxes were made for.
    const void* boxesFor_ = nullptr;
    unsigned boxesGeneration_ = 0;

    uint64_t messages_ = 0;
    bool checked_ = false;       // a request came with findings kept (they may be none)
    uint64_t withFindings_ = 0;  // requests with at least one finding
    uint64_t outcomes_[SendFailed + 1] = {};
    std::vector<uint64_t> byRule_;   // one per rule, then "no rule"
    std::vector<bool> cutReported_;  // by script line: a "set" cut was told once

    bool suspendable_ = false;
    std::unique_ptr<SuspendedRun[]> suspended_;
    std::unique_ptr<SuspendedRun> packing_;  // where a run is packed before it is kept
};

}  // namespace ui
