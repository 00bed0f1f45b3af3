// What the operator script adds to answering a message: a 0200 of the sample
// controller C01 answered by a script (set two fields, respond), against
// sending the same message back as the echo responder does. Both write to
// /dev/null through the same SendMsg. Run from build/ (it reads
// ../data/velk.cfg).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os_lowio.h"
#include "ui/dialog_template.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "ui/script/script_host.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

namespace {

struct Request {
    int number;
    const char* value;
};
// The request of bench/roundtrip.sh.
const Request kRequest[] = {
    {0, "0200"},    {2, "4111111111111111"}, {3, "000000"}, {4, "000000001000"}, {7, "1209120000"},
    {11, "000123"}, {41, "TERM0001"},        {49, "978"},   {102, "1234567890"}};

MessageFields request;
// The responses go to /dev/null.
int wirePort = -1;

void SetUpResponder() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    if (LoadConfiguration() != 0) {
        std::fprintf(stderr, "run from build/: ../data/velk.cfg is needed\n");
        std::exit(1);
    }
    std::strcpy(responderState.controllerId, "C01");
    responderState.fieldSpecs = FindControllerExact("C01");
    wirePort =
        OpenPort("/dev/null", O_WRONLY | plat::OPEN_BINARY, 'F', responderState.controllerId);
    for (const Request& field : kRequest) {
        request.slots[field.number] = FieldSlot{reinterpret_cast<const unsigned char*>(field.value),
                                                static_cast<int32_t>(std::strlen(field.value))};
    }
}

void ScriptAnswer(benchmark::State& state) {
    SetUpResponder();
    static ui::OperatorScript script;
    std::string error;
    if (!ui::ParseOperatorScript(
            "bench.script", "on 0=0200\n  set 0 0210\n  set 39 00\n  respond\n", script, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ui::ScriptHost host(script, nullptr);
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
    int size = ui::FillDialogTemplate(block);
    for (auto _ : state) {
        responderState.message = request;
        ui::Exchange exchange;
        exchange.port = wirePort;
        exchange.message = &responderState.message;
        benchmark::DoNotOptimize(host.RunDialog(block, size, ui::MsgDlgProc, &exchange));
    }
}
BENCHMARK(ScriptAnswer);

void EchoAnswer(benchmark::State& state) {
    SetUpResponder();
    static const unsigned char identifier[] = {'0', '2', '1', '0'};
    for (auto _ : state) {
        responderState.message = request;
        responderState.message.slots[0].data = identifier;
        benchmark::DoNotOptimize(SendMsg(wirePort, &responderState.message));
    }
}
BENCHMARK(EchoAnswer);

}  // namespace

BENCHMARK_MAIN();
