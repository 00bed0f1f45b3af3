// velkctl send: plays the controller. Opens a client port, sends the request
// and waits for each response. With --count it is the load generator of the
// responder's benchmark: one connection, requests one after another, and no
// allocation per request (the send buffer, the receive buffer and the round
// trip table all exist before the first request).

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "controller_port.h"
#include "field_listing.h"
#include "field_values.h"
#include "os_lowio.h"
#include "vkstp/config_view.h"
#include "vksoc/close_port.h"
#include "vksoc/open_port.h"
#include "vksoc/port_table.h"
#include "vksoc/recv_msg.h"
#include "vksoc/send_msg.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SendOptions {
    std::string controller;
    std::string host;
    int tcpPort = 0;
    std::vector<std::string> arguments;  // [FILE.dat] [N=VALUE ...]
    int count = 0;                       // 0: one request, response printed
    int timeout = 10;
};

// The fields to send: the data file's message first, then N=VALUE on top.
bool CollectRequest(const SendOptions& options, FieldValues* values) {
    std::string file;
    for (const std::string& argument : options.arguments) {
        if (FieldValues::IsFieldArgument(argument)) {
            continue;
        }
        if (!file.empty()) {
            std::fprintf(stderr, "velkctl: more than one data file: %s and %s\n", file.c_str(),
                         argument.c_str());
            return false;
        }
        file = argument;
    }
    if (!file.empty()) {
        int port = OpenPort(file.c_str(), O_RDONLY | plat::OPEN_BINARY, MODE_FILE,
                            options.controller.c_str());
        if (port < 0) {
            ReportFailure("could not open " + file);
            return false;
        }
        MessageFields message{};
        int result = RecvMsg(port, &message, -1);
        if (result >= 0) {
            // The slots point into the file port's buffer, which closing frees.
            values->TakeFrom(message);
        }
        ClosePort(port);
        if (result < 0) {
            ReportFailure("could not read a message from " + file);
            return false;
        }
    }
    for (const std::string& argument : options.arguments) {
        std::string error;
        if (FieldValues::IsFieldArgument(argument) && !values->Set(argument, &error)) {
            std::fprintf(stderr, "velkctl: %s\n", error.c_str());
            return false;
        }
    }
    if (values->empty()) {
        std::fprintf(stderr, "velkctl: nothing to send: give a data file or N=VALUE fields\n");
        return false;
    }
    return true;
}

double Microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// Nearest rank of a sorted, non-empty table.
double Percentile(const std::vector<double>& sorted, double fraction) {
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

void PrintSummary(int requested, std::vector<double>& roundTrips, Clock::duration elapsed) {
    int answered = static_cast<int>(roundTrips.size());
    double seconds = std::chrono::duration<double>(elapsed).count();
    std::printf("requests: %d\n", requested);
    std::printf("failures: %d\n", requested - answered);
    std::printf("elapsed: %.3f s\n", seconds);
    std::printf("requests per second: %.0f\n", seconds > 0 ? answered / seconds : 0.0);
    if (answered > 0) {
        std::sort(roundTrips.begin(), roundTrips.end());
        std::printf("round trip median: %.1f us\n", Percentile(roundTrips, 0.5));
        std::printf("round trip 99th percentile: %.1f us\n", Percentile(roundTrips, 0.99));
    }
}

int RunSend(const GlobalOptions& global, const SendOptions& options) {
    if (!PrepareController(global, options.controller)) {
        return 1;
    }
    FieldValues values(IsZtrController(options.controller.c_str()));
    if (!CollectRequest(options, &values)) {
        return 1;
    }
    const MessageFields* request = values.fields();

    int port = OpenPort(options.host.c_str(), options.tcpPort, MODE_CONNECT,
                        options.controller.c_str());
    if (port < 0) {
        ReportFailure("could not connect to " + options.host + ":" + std::to_string(options.tcpPort));
        return 1;
    }

    const int requests = options.count > 0 ? options.count : 1;
    std::vector<double> roundTrips;
    roundTrips.reserve(static_cast<size_t>(requests));
    MessageFields response{};
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < requests; ++i) {
        const Clock::time_point sent = Clock::now();
        if (SendMsg(port, request) < 0) {
            ReportFailure("request " + std::to_string(i + 1) + " could not be sent");
            break;
        }
        if (RecvMsg(port, &response, options.timeout) < 0) {
            ReportFailure("no response to request " + std::to_string(i + 1));
            break;
        }
        roundTrips.push_back(Microseconds(Clock::now() - sent));
    }
    const Clock::duration elapsed = Clock::now() - start;

    const bool allAnswered = static_cast<int>(roundTrips.size()) == requests;
    if (options.count == 0) {
        if (allAnswered) {
            // The slots point into the port's buffer: print before closing.
            PrintMessage(stdout, portTable[port].format, response);
        }
    } else {
        PrintSummary(requests, roundTrips, elapsed);
    }
    ClosePort(port);
    return allAnswered ? 0 : 1;
}

}  // namespace

void AddSendCommand(CLI::App& app, GlobalOptions& global) {
    auto options = std::make_shared<SendOptions>();
    CLI::App* command = app.add_subcommand(
        "send", "Act as the controller: send a request and print the response's fields");
    command->add_option("CONTROLLER", options->controller, "Controller identifier, or ZTR")
        ->required();
    command->add_option("HOST", options->host, "The responder's IPv4 address")->required();
    command->add_option("PORT", options->tcpPort, "The responder's TCP port")->required();
    command->add_option("REQUEST", options->arguments,
                        "[FILE.dat] [N=VALUE ...]: a data file, fields on top of it, or both");
    command
        ->add_option("--count", options->count,
                     "Send this many requests one after another on one connection and print a "
                     "summary instead of the response")
        ->check(CLI::PositiveNumber);
    command->add_option("--timeout", options->timeout, "Seconds to wait for each response")
        ->capture_default_str();
    command->callback([&global, options] { global.exitCode = RunSend(global, *options); });
}
