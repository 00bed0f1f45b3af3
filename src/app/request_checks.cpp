#include "app/request_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/exit_codes.h"
#include "conform/check_request.h"
#include "conform/findings.h"
#include "conform/findings_record.h"
#include "conform/junit_report.h"
#include "conform/message_text.h"
#include "platform/steady_clock.h"
#include "ui/responder_state.h"
#include "ui/standard_error.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/receive_check.h"
#include "vkstp/config_view.h"

namespace {

// The request text of a report: every field's value form, \xHH at worst.
constexpr size_t REQUEST_TEXT_SIZE = 4 * MAX_MESSAGE_LENGTH + 4096;

struct PortRequest {
    bool pending = false;
    uint64_t sequence = 0;
    int64_t receivedAt = 0;
    char mti[5] = {};
    char trace[7] = {};
    conform::Findings findings;
    FieldNotes notes{};
    size_t requestLength = 0;
    char request[REQUEST_TEXT_SIZE];
};

struct Checks {
    bool active = false;
    const LinkRecord* link = nullptr;  // declares checks; else null
    const FieldSpec* specs = nullptr;
    uint64_t sequence = 0;
    std::unique_ptr<PortRequest[]> ports;
    conform::JunitReport report;
    std::unique_ptr<char[]> responseText;
};

Checks checks;

void CopyField(const FieldSlot& slot, char* out, size_t room) {
    size_t length = slot.data != nullptr && slot.length > 0 ? static_cast<size_t>(slot.length) : 0;
    length = length < room - 1 ? length : room - 1;
    if (length > 0) {
        std::memcpy(out, slot.data, length);
    }
    out[length] = '\0';
}

const FieldNotes* Received(int port, const MessageFields& fields) {
    if (port < 0 || port >= MAX_PORTS || responderState.fieldSpecs == nullptr) {
        return nullptr;
    }
    PortRequest& request = checks.ports[static_cast<size_t>(port)];
    request.pending = true;
    request.sequence = ++checks.sequence;
    request.receivedAt = SteadyMilliseconds();
    CopyField(fields.slots[0], request.mti, sizeof request.mti);
    CopyField(fields.slots[11], request.trace, sizeof request.trace);
    request.findings.Clear();
    if (checks.link != nullptr) {
        conform::CheckRequest(*checks.link, checks.specs, fields, request.findings);
    }
    request.requestLength = 0;
    if (checks.report.open()) {
        conform::TextBuffer text{request.request, sizeof request.request};
        conform::PutMessageText(checks.link, checks.specs, fields, text);
        request.requestLength = text.used;
    }
    if (request.findings.empty()) {
        return nullptr;
    }
    // The dump shows each field's first finding beside it; texts are NUL-
    // terminated copies of the findings' own.
    static char noteText[conform::MAX_FINDINGS][200];
    std::memset(request.notes.text, 0, sizeof request.notes.text);
    for (int i = 0; i < request.findings.count(); ++i) {
        const int field = request.findings.at(i).field;
        if (field < 0 || field >= MESSAGE_SLOTS || request.notes.text[field] != nullptr) {
            continue;
        }
        const std::string_view text = request.findings.Text(i);
        const size_t length =
            text.size() < sizeof noteText[i] - 1 ? text.size() : sizeof noteText[i] - 1;
        std::memcpy(noteText[i], text.data(), length);
        noteText[i][length] = '\0';
        request.notes.text[field] = noteText[i];
    }
    return &request.notes;
}

PortRequest* Request(int port) {
    if (!checks.active || port < 0 || port >= MAX_PORTS) {
        return nullptr;
    }
    PortRequest& request = checks.ports[static_cast<size_t>(port)];
    return request.pending ? &request : nullptr;
}

void Answered(PortRequest& request, const ui::Exchange* exchange, int port) {
    request.pending = false;
    const char* peer = exchange != nullptr ? exchange->peer : PortPeerName(port);
    conform::WriteFindingsRecord(request.findings, request.mti, request.trace, request.sequence,
                                 peer);
    if (!checks.report.open()) {
        return;
    }
    char name[96];
    std::snprintf(name, sizeof name, "%s trace %s seq %llu", request.mti,
                  request.trace[0] != '\0' ? request.trace : "-",
                  static_cast<unsigned long long>(request.sequence));
    char className[16];
    std::snprintf(className, sizeof className, "%.3s.%s", responderState.controllerId, request.mti);
    char rule[32];
    if (exchange != nullptr && exchange->ruleLine > 0) {
        std::snprintf(rule, sizeof rule, "line %d", exchange->ruleLine);
    } else {
        std::snprintf(rule, sizeof rule, "%s",
                      std::getenv("OPERATOR_SCRIPT") != nullptr ? "no rule" : "desk");
    }
    conform::TextBuffer response{checks.responseText.get(), REQUEST_TEXT_SIZE};
    if (exchange != nullptr && exchange->responded && exchange->message != nullptr) {
        conform::PutMessageText(checks.link, checks.specs, *exchange->message, response);
    }
    conform::ReportCase testCase;
    testCase.name = name;
    testCase.className = className;
    testCase.rule = rule;
    testCase.seconds = static_cast<double>(SteadyMilliseconds() - request.receivedAt) / 1000.0;
    testCase.findings = &request.findings;
    testCase.request = std::string_view(request.request, request.requestLength);
    testCase.response = response.view();
    checks.report.Add(testCase);
}

}  // namespace

bool StartRequestChecks(bool scriptExpects, std::string& why) {
    const char* reportPath = std::getenv("VELK_REPORT");
    const bool report = reportPath != nullptr && reportPath[0] != '\0';
    checks.specs = responderState.fieldSpecs;
    const LinkRecord* link = FindLinkExact(responderState.controllerId);
    checks.link = checks.specs != nullptr && conform::DeclaresChecks(link) ? link : nullptr;
    checks.active = checks.link != nullptr || report || scriptExpects;
    if (!checks.active) {
        return true;
    }
    checks.ports = std::make_unique<PortRequest[]>(MAX_PORTS);
    if (report) {
        checks.responseText = std::make_unique<char[]>(REQUEST_TEXT_SIZE);
        char suite[4] = {};
        std::memcpy(suite, responderState.controllerId, 3);
        if (!checks.report.Open(reportPath, suite, why)) {
            why = "VELK_REPORT: " + why;
            return false;
        }
    }
    SetReceiveCheck(Received);
    return true;
}

bool RequestChecksActive() {
    return checks.active;
}

void ChecksFor(ui::Exchange& exchange) {
    PortRequest* request = Request(exchange.port);
    exchange.findings = request != nullptr ? &request->findings : nullptr;
}

void RequestAnswered(const ui::Exchange& exchange) {
    if (PortRequest* request = Request(exchange.port); request != nullptr) {
        Answered(*request, &exchange, exchange.port);
    }
}

void RequestDropped(int port) {
    if (PortRequest* request = Request(port); request != nullptr) {
        Answered(*request, nullptr, port);
    }
}

int FinishRequestChecks(int code) {
    if (!checks.active) {
        return code;
    }
    SetReceiveCheck(nullptr);
    if (!checks.report.open()) {
        return code;
    }
    const bool written = checks.report.Close();
    ui::SayOnStandardError("report %s: %lld test cases, %lld failed", std::getenv("VELK_REPORT"),
                           checks.report.cases(), checks.report.failures());
    if (!written) {
        ui::SayOnStandardError("VELK_REPORT: the report %s could not be written",
                               std::getenv("VELK_REPORT"));
    }
    if (code == EXIT_SERVED && (!written || checks.report.failures() > 0)) {
        return EXIT_TESTS_FAILED;
    }
    return code;
}
