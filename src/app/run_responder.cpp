#include "app/run_responder.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "app/peer_host.h"
#include "app/request_checks.h"
#include "app/service_loop.h"
#include "app/start_up.h"
#include "platform/stop_request.h"
#include "platform/stop_signals.h"
#include "platform/tls_contract.h"
#include "ui/desk_host.h"
#include "ui/responder_state.h"
#include "ui/script/operator_script.h"
#include "ui/script/script_host.h"
#include "ui/standard_error.h"

namespace {

char* Given(char* argument) {
    return argument != nullptr && argument[0] != '\0' ? argument : nullptr;
}

int Serve(ui::UiHost& host, PeerHost& peers, char* controller, char* port, bool scriptExpects) {
    int code = StartUp(host, Given(controller), Given(port));
    if (code == EXIT_SERVED) {
        if (std::string why; !StartRequestChecks(scriptExpects, why)) {
            host.ShowMessageBox(why.c_str(), ui::MB_NOICON);
            code = EXIT_CANNOT_START;
        } else {
            code = FinishRequestChecks(ServiceLoop(host, peers));
        }
    }
    plat::FreeTlsServer(responderState.tls);
    responderState.tls = nullptr;
    return code;
}

bool ScriptExpects(const ui::OperatorScript& script) {
    for (const ui::ScriptRule& rule : script.rules) {
        for (const ui::ScriptAction& action : rule.actions) {
            if (action.kind == ui::ScriptAction::Expect) {
                return true;
            }
        }
    }
    return false;
}

// The summary is written once, by the main thread or, where a stop cannot
// interrupt a blocking call, by the stop handler.
ui::ScriptHost* scriptHost = nullptr;
std::atomic<bool> summaryWritten{false};

void WriteSummaryOnce() {
    if (scriptHost != nullptr && !summaryWritten.exchange(true)) {
        scriptHost->WriteSummary();
    }
}

}  // namespace

const char* OperatorScriptPath() {
    const char* path = std::getenv("OPERATOR_SCRIPT");
    return path != nullptr && path[0] != '\0' ? path : nullptr;
}

int RunResponder(const char* scriptPath, char* controller, char* port) {
    if (scriptPath != nullptr) {
        static ui::OperatorScript script;
        std::string error;
        if (!ui::LoadOperatorScript(scriptPath, script, error)) {
            ui::SayOnStandardError("%s", error.c_str());
            return EXIT_CANNOT_START;
        }
        static ui::ScriptHost host(script, ui::OpenDeskHost);
        scriptHost = &host;
        CatchStopSignals(WriteSummaryOnce);
        static SuspendingPeerHost<ui::ScriptHost> peers(host);
        int code = Serve(host, peers, controller, port, ScriptExpects(script));
        if (StopRequested()) {
            WriteSummaryOnce();
        }
        return code;
    }
    std::string why;
    ui::UiHost* desk = ui::OpenDeskHost(why);
    if (desk == nullptr) {
        ui::SayOnStandardError(
            "%s.\nRun it at a desktop, or unattended with an operator script, for example:\n"
            "  OPERATOR_SCRIPT=../data/answer.script ./velk-tester C01 7001",
            why.c_str());
        return EXIT_CANNOT_START;
    }
    return Serve(*desk, DeskPeers(), controller, port, false);
}
