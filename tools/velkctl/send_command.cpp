// velkctl send: plays the controller. Sends the request and prints the
// response's fields; with --count it is the load generator of the responder's
// benchmark: requests one after another on each connection, and no
// allocation per request (the send buffer, the receive buffers and the round
// trip table all exist before the first request).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "conform/junit_report.h"
#include "controller_port.h"
#include "field_conformance.h"
#include "field_values.h"
#include "platform/tls_contract.h"
#include "response_expectations.h"
#include "send_connections.h"
#include "send_request.h"
#include "vksoc/port/tcp_port.h"
#include "vkstp/config_view.h"

namespace {

struct SendOptions {
    std::string controller;
    std::string host;
    std::string port;                    // checked here: CLI11 would take "-1" and 70000
    std::vector<std::string> arguments;  // [FILE.dat] [N=VALUE ...]
    int count = 0;                       // 0: one request, response printed
    int connections = 1;
    int timeout = 10;
    bool tls = false;
    std::string ca;
    std::string cert;
    std::string key;
    std::string serverName;
    bool insecure = false;
    std::vector<std::string> expect;  // N=VALUE conditions on every response
    std::string report;               // with --count: a JUnit report
    bool force = false;
};

// The client context of --tls, or null after telling why on standard error.
plat::TlsClientContext* MakeTlsClient(const SendOptions& options) {
    plat::TlsClientSettings settings;
    settings.caFile = options.ca.c_str();
    settings.certFile = options.cert.c_str();
    settings.keyFile = options.key.c_str();
    settings.insecure = options.insecure;
    const char* keyLog = std::getenv("SSLKEYLOGFILE");
    settings.keyLogFile = keyLog;
    if (keyLog != nullptr && keyLog[0] != '\0' && !plat::TlsWritesKeyLog()) {
        std::fprintf(stderr,
                     "velkctl: SSLKEYLOGFILE is ignored: this build's TLS cannot write "
                     "key logs\n");
    }
    char error[plat::TLS_ERROR_TEXT_SIZE];
    plat::TlsClientContext* context = plat::NewTlsClient(settings, error, sizeof error);
    if (context == nullptr) {
        std::fprintf(stderr, "velkctl: %s\n", error);
    }
    return context;
}

// Exit codes: 0 every response arrived and met --expect; 1 a response was
// missing or the request could not be sent; 3 every response arrived but
// one did not meet --expect.
constexpr int EXIT_UNMET = 3;

int RunSend(const GlobalOptions& global, const SendOptions& options) {
    SendPlan plan;
    if (!ParseTcpPort(options.port, &plan.tcpPort)) {
        std::fprintf(stderr, "velkctl: '%s' is not a TCP port: ports are 1 to %d\n",
                     options.port.c_str(), MAX_TCP_PORT);
        return 1;
    }
    if (!PrepareController(global, options.controller)) {
        return 1;
    }
    ResponseExpectations expectations;
    for (const std::string& text : options.expect) {
        std::string why;
        if (!expectations.Add(text, &why)) {
            std::fprintf(stderr, "velkctl: --expect %s: %s\n", text.c_str(), why.c_str());
            return 1;
        }
    }
    FieldValues values(IsZtrController(options.controller.c_str()));
    values.UseLink(FindLinkBounded(options.controller.c_str()));
    if (!CollectRequest(options.controller, options.arguments, &values)) {
        return 1;
    }
    if (!FieldsConform(options.controller, *values.fields(), options.force)) {
        return 1;
    }
    conform::JunitReport report;
    if (!options.report.empty()) {
        std::string why;
        if (!report.Open(options.report, options.controller, why)) {
            std::fprintf(stderr, "velkctl: --report: %s\n", why.c_str());
            return 1;
        }
        plan.report = &report;
    }
    if (!expectations.empty()) {
        plan.expectations = &expectations;
    }
    plan.controller = options.controller;
    plan.host = options.host;
    plan.connections = options.connections;
    plan.requestsEach = options.count > 0 ? options.count : 1;
    plan.timeoutSeconds = options.timeout;
    plan.renumber = options.count > 0;
    plan.printResponse = options.count == 0;

    if (options.tls) {
        plan.tls = MakeTlsClient(options);
        if (plan.tls == nullptr) {
            return 1;
        }
        plan.serverName = options.serverName.empty() ? options.host : options.serverName;
    }

    SendTally tally;
    tally.expecting = plan.expectations != nullptr;
    const bool ran = RunSendPlan(plan, *values.fields(), &tally);
    plat::FreeTlsClient(plan.tls);
    if (report.open() && !report.Close()) {
        std::fprintf(stderr, "velkctl: --report: could not write %s\n", options.report.c_str());
        return 1;
    }
    if (!ran) {
        return 1;
    }
    if (options.count > 0) {
        PrintSendSummary(stdout, plan.connections, tally);
    }
    if (!tally.AllAnswered()) {
        return 1;
    }
    return tally.unmet > 0 ? EXIT_UNMET : 0;
}

}  // namespace

void AddSendCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<SendOptions>();
    CLI::App* command = app.add_subcommand(
        "send", "Act as the controller: send a request and print the response's fields");
    command->add_option("CONTROLLER", options->controller, "Controller identifier, or ZTR")
        ->required();
    command->add_option("HOST", options->host, "The responder's IPv4 address")->required();
    command->add_option("PORT", options->port, "The responder's TCP port, 1 to 65535")->required();
    command->add_option("REQUEST", options->arguments,
                        "[FILE.dat] [N=VALUE ...]: a data file, fields on top of it, or both");
    CLI::Option* count =
        command
            ->add_option("--count", options->count,
                         "Send this many requests one after another on each connection and print "
                         "a summary instead of the response; field 11, where the layout has it, "
                         "numbers them")
            ->check(CLI::PositiveNumber);
    command
        ->add_option("--connections", options->connections,
                     "With --count: this many connections in parallel, each sending --count "
                     "requests; one summary for all")
        ->check(CLI::Range(1, MAX_SEND_CONNECTIONS))
        ->needs(count);
    command
        ->add_option("--timeout", options->timeout,
                     "Seconds to connect (a refused connect is tried again), and the deadline "
                     "for each whole response")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    CLI::Option* tls = command->add_flag(
        "--tls", options->tls,
        "Speak TLS: verify the responder's certificate (--ca, or the system's store) and its "
        "name; SSLKEYLOGFILE writes the session keys");
    command
        ->add_option("--ca", options->ca,
                     "PEM file of the CAs the responder's certificate "
                     "must verify against (default: the system's store)")
        ->needs(tls);
    CLI::Option* cert =
        command->add_option("--cert", options->cert, "PEM file of a client certificate to present")
            ->needs(tls);
    CLI::Option* key =
        command->add_option("--key", options->key, "PEM file of its private key")->needs(tls);
    cert->needs(key);
    key->needs(cert);
    command
        ->add_option("--servername", options->serverName,
                     "The name to send and verify (default: HOST)")
        ->needs(tls);
    command
        ->add_flag("--insecure", options->insecure,
                   "Do not verify the responder's certificate or name")
        ->needs(tls);
    command->add_option("--expect", options->expect,
                        "N=VALUE (or any condition of the operator script: N!=, N=TEXT*, N<=NUMBER "
                        "...) that every response must meet; repeatable. Unmet: the fields that "
                        "differed are told and the exit status is 3");
    command
        ->add_option("--report", options->report,
                     "With --count: write a JUnit XML report, one test case per request")
        ->needs(count);
    command->add_flag("--force", options->force,
                      "Send values that break their field's FIELD_TYPE or MAX_LEN as they are (a "
                      "malformed request for a negative test)");
    command->callback([&global, options] { global.exitCode = RunSend(global, *options); });
}
