// The many-peer load of the round-trip benchmark: C connections at once,
// each sending K requests one after the other (the next when the response
// to the last has arrived), all served by one wait in one thread, so the
// client costs the same whichever responder it drives. Prints one summary
// for all connections.
//
//   velk-peer-load CONTROLLER PORT FILE.dat COUNT CONNECTIONS   (from build/)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "diag/error_state.h"
#include "os_lowio.h"
#include "os_sockets.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_socket.h"
#include "vksoc/port/recv_msg.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Link {
    int port = -1;
    int sent = 0;
    int answered = 0;
    int held = 0;
    Clock::time_point since;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: velk-peer-load CONTROLLER PORT FILE.dat COUNT CONNECTIONS\n");
        return 2;
    }
    const char* controller = argv[1];
    const int tcpPort = std::atoi(argv[2]);
    const int count = std::atoi(argv[4]);
    const int connections = std::clamp(std::atoi(argv[5]), 1, plat::MAX_WAIT_SOCKETS);
    if (LoadConfiguration() != 0) {
        std::fprintf(stderr, "velk-peer-load: no configuration\n");
        return 1;
    }
    WSADATA data{};
    WSAStartup(0x0101, &data);
    static MessageFields request;
    int file = OpenPort(argv[3], O_RDONLY | plat::OPEN_BINARY, MODE_FILE, controller);
    if (file < 0 || RecvMsg(file, &request, -1) < 0) {
        std::fprintf(stderr, "velk-peer-load: %s", GetErrorText());
        return 1;
    }

    std::vector<Link> links(static_cast<size_t>(connections));
    std::vector<plat::WaitEntry> waits(links.size());
    std::vector<double> roundTrips;
    roundTrips.reserve(static_cast<size_t>(count) * links.size());
    static MessageFields response;
    int failures = 0;
    auto send = [&](Link& link) {
        link.since = Clock::now();
        ++link.sent;
        if (SendMsg(link.port, &request) < 0) {
            ++failures;
        }
    };
    for (Link& link : links) {
        link.port = OpenPort("127.0.0.1", tcpPort, MODE_CONNECT, controller);
        if (link.port < 0) {
            std::fprintf(stderr, "velk-peer-load: %s", GetErrorText());
            return 1;
        }
    }
    const Clock::time_point start = Clock::now();
    for (Link& link : links) {
        send(link);
    }
    int open = connections;
    while (open > 0) {
        for (size_t i = 0; i < links.size(); ++i) {
            bool busy = links[i].port >= 0 && links[i].answered < count;
            waits[i] = plat::WaitEntry{busy ? PortSocket(links[i].port) : INVALID_SOCKET,
                                       busy,
                                       false,
                                       false,
                                       false,
                                       false};
        }
        if (plat::WaitSockets(waits.data(), connections, 10000) <= 0) {
            std::fprintf(stderr, "velk-peer-load: no response within 10 s\n");
            return 1;
        }
        for (size_t i = 0; i < links.size(); ++i) {
            Link& link = links[i];
            if (!waits[i].readable && !waits[i].exceptional) {
                continue;
            }
            if (ReadAfterWait(link.port, link.held, waits[i].readable, waits[i].exceptional) < 0) {
                std::fprintf(stderr, "velk-peer-load: %s", GetErrorText());
                return 1;
            }
            for (;;) {
                const Taken taken = TakeMsg(link.port, &response);
                link.held = taken.bytes;
                if (taken.outcome == TakeOutcome::Malformed) {
                    std::fprintf(stderr, "velk-peer-load: %s", GetErrorText());
                    return 1;
                }
                if (taken.outcome == TakeOutcome::NeedMore) {
                    break;
                }
                roundTrips.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - link.since).count());
                if (++link.answered == count) {
                    --open;
                } else {
                    send(link);
                }
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(roundTrips.begin(), roundTrips.end());
    const size_t n = roundTrips.size();
    std::printf("connections: %d\nrequests: %zu\nfailures: %d\nrequests per second: %.0f\n",
                connections, n, failures, static_cast<double>(n) / seconds);
    std::printf("round trip median: %.1f us\nround trip 99th percentile: %.1f us\n",
                roundTrips[n / 2], roundTrips[std::min(n - 1, n * 99 / 100)]);
    return failures == 0 ? 0 : 1;
}
