#include "send_connections.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "conform/findings.h"
#include "conform/junit_report.h"
#include "conform/message_text.h"
#include "controller_port.h"
#include "diag/error_state.h"
#include "field_listing.h"
#include "os_sockets.h"
#include "response_expectations.h"
#include "trace_number.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/get_msg.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_socket.h"
#include "vksoc/port/port_tls.h"
#include "vksoc/port/read_port.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_view.h"

namespace {

using Clock = std::chrono::steady_clock;

static_assert(MAX_SEND_CONNECTIONS <= plat::MAX_WAIT_SOCKETS);

// A refused connect is tried again after this pause.
constexpr auto kConnectRetryPause = std::chrono::milliseconds(50);
// After the last answer, responses that still arrive within this while are
// counted as surplus: a responder that answers twice is caught also on the
// last request.
constexpr auto kSurplusWatch = std::chrono::milliseconds(100);

struct Connection {
    int port = -1;  // -1 once closed
    int number = 0;
    long long sent = 0;
    long long answered = 0;
    bool awaiting = false;
    Clock::time_point sentAt{};
    Clock::time_point deadline{};
    MessageFields request{};
    char trace[MAX_TRACE_WIDTH]{};
};

// A trace number as text fit for the terminal.
std::string TraceText(const FieldSlot& slot) {
    std::string text;
    for (int i = 0; i < slot.length && slot.data != nullptr; ++i) {
        unsigned char c = slot.data[i];
        text += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    }
    return text;
}

class SendRun {
  public:
    SendRun(const SendPlan& plan, const MessageFields& request, SendTally* tally)
        : plan_(plan),
          tally_(*tally),
          trace_(nullptr, request.slots[TRACE_FIELD], plan.renumber),
          connections_(static_cast<size_t>(plan.connections)) {
        for (size_t i = 0; i < connections_.size(); ++i) {
            connections_[i].number = static_cast<int>(i) + 1;
            connections_[i].request = request;
        }
    }

    bool Connect() {
        const Clock::time_point deadline =
            Clock::now() + std::chrono::seconds(plan_.timeoutSeconds);
        for (Connection& c : connections_) {
            c.port = ConnectWithin(deadline);
            if (c.port < 0) {
                std::string what = "could not connect to " + plan_.host + ":" +
                                   std::to_string(plan_.tcpPort) + " within " +
                                   std::to_string(plan_.timeoutSeconds) + " s";
                if (plan_.connections > 1) {
                    what += " (connection " + std::to_string(c.number) + " of " +
                            std::to_string(plan_.connections) + ")";
                }
                const std::string hint = ConnectHint(c.number);
                ReportFailure(what);
                if (!hint.empty()) {
                    std::fprintf(stderr, "velkctl: %s\n", hint.c_str());
                }
                return false;
            }
            if (plan_.tls != nullptr && !Handshake(c, deadline)) {
                return false;
            }
        }
        // Every connection speaks the controller's format: its layout decides
        // whether field 11 can pair responses with requests.
        trace_ = TraceNumbers(PortFormat(connections_[0].port),
                              connections_[0].request.slots[TRACE_FIELD], plan_.renumber);
        return true;
    }

    void Exchange() {
        start_ = Clock::now();
        lastAnswer_ = start_;
        for (Connection& c : connections_) {
            SendNext(c);
        }
        while (WaitAndReceive(true)) {
            const Clock::time_point now = Clock::now();
            for (Connection& c : connections_) {
                if (c.port >= 0 && c.awaiting && c.deadline <= now) {
                    TimeOut(c);
                }
            }
            for (Connection& c : connections_) {
                if (c.port >= 0 && !c.awaiting) {
                    SendNext(c);
                }
            }
        }
        tally_.elapsed = (tally_.answered > 0 ? lastAnswer_ : Clock::now()) - start_;
        watchEnd_ = Clock::now() + kSurplusWatch;
        while (WaitAndReceive(false)) {
        }
    }

    void CloseAll() {
        for (Connection& c : connections_) {
            Close(c);
        }
    }

  private:
    // What the last failed connect suggests, for the user: empty when the
    // error text says all there is.
    std::string ConnectHint(int number) const {
        if (GetErrorCode() != ERR_CONNECTION) {
            return "";
        }
        const int why = GetErrorSubCode();
        if (why == WSAECONNREFUSED || why == WSAECONNRESET) {
            if (number > 1) {
                return "connection " + std::to_string(number) +
                       " was refused while the others were open: the responder may serve one "
                       "connection at a time (started without VELK_PEERS), and refuses others "
                       "until the first has ended";
            }
            return "nothing accepted the connection: no responder listens there, or the "
                   "responder is serving another connection (without VELK_PEERS it serves one "
                   "at a time and listens again only once that one has ended)";
        }
        if (why == WSAETIMEDOUT) {
            return "the connect was never answered: the responder's listen queue may be full "
                   "(it serves VELK_PEERS connections at once, and the system holds only a few "
                   "more waiting), or the host drops what is sent to that port";
        }
        return "";
    }

    // The TLS handshake of a connected connection, within what is left of
    // the connect's time (a second at least).
    bool Handshake(Connection& c, Clock::time_point deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int leftMs = static_cast<int>(std::clamp<long long>(left.count(), 1000, 1 << 30));
        if (StartClientTls(c.port, plan_.tls, plan_.serverName.c_str(), leftMs) == 0) {
            return true;
        }
        std::string what =
            "TLS handshake with " + plan_.host + ":" + std::to_string(plan_.tcpPort) + " failed";
        if (plan_.connections > 1) {
            what += " (connection " + std::to_string(c.number) + " of " +
                    std::to_string(plan_.connections) + ")";
        }
        ReportFailure(what);
        Close(c);
        return false;
    }

    int ConnectWithin(Clock::time_point deadline) const {
        for (;;) {
            // The connect itself is bounded by what is left: a responder whose
            // listen queue is full answers nothing.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            const int leftMs = static_cast<int>(std::clamp<long long>(left.count(), 1, 1 << 30));
            int port = OpenPortConnectWithin(plan_.host.c_str(), plan_.tcpPort,
                                             plan_.controller.c_str(), leftMs);
            if (port >= 0) {
                return port;
            }
            // Nobody listens (yet): a responder listens again only once its
            // previous connection has ended.
            const int why = GetErrorSubCode();
            const bool refused = GetErrorCode() == ERR_CONNECTION &&
                                 (why == WSAECONNREFUSED || why == WSAECONNRESET);
            if (!refused || Clock::now() + kConnectRetryPause > deadline) {
                return -1;
            }
            ClearError();
            std::this_thread::sleep_for(kConnectRetryPause);
        }
    }

    // One wait over the open connections, then every ready one is read.
    // exchanging: until the earliest response deadline, and false once no
    // request is awaited; otherwise until the surplus watch ends.
    bool WaitAndReceive(bool exchanging) {
        plat::WaitEntry entries[MAX_SEND_CONNECTIONS];
        Connection* open[MAX_SEND_CONNECTIONS];
        int count = 0;
        bool awaiting = false;
        bool held = false;  // a TLS session holds decrypted bytes: no wait
        Clock::time_point until = exchanging ? Clock::time_point::max() : watchEnd_;
        for (Connection& c : connections_) {
            if (c.port < 0) {
                continue;
            }
            entries[count] = {PortSocket(c.port), true, false, false, false, false};
            open[count++] = &c;
            held = held || PortPendingBytes(c.port) > 0;
            if (c.awaiting) {
                awaiting = true;
                until = std::min(until, c.deadline);
            }
        }
        if (count == 0 || (exchanging && !awaiting)) {
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (!exchanging && left.count() <= 0) {
            return false;
        }
        const int waitMs =
            held ? 0 : static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
        // A wait a signal cut short reads as a time-out: the caller's loop
        // then waits again for what is left.
        if (plat::WaitSockets(entries, count, waitMs) == SOCKET_ERROR) {
            SetError(ERR_INTERNAL, WSAGetLastError());
            ReportFailure("waiting for the responses failed");
            for (int i = 0; i < count; ++i) {
                tally_.failures += open[i]->awaiting ? 1 : 0;
                Close(*open[i]);
            }
            return false;
        }
        for (int i = 0; i < count; ++i) {
            if (entries[i].readable || entries[i].exceptional ||
                PortPendingBytes(open[i]->port) > 0) {
                Receive(*open[i]);
            }
        }
        return true;
    }

    void SendNext(Connection& c) {
        if (c.port < 0 || c.sent >= plan_.requestsEach) {
            return;
        }
        trace_.Apply((c.number - 1) * plan_.requestsEach + c.sent, c.trace, &c.request);
        c.sentAt = Clock::now();
        c.deadline = c.sentAt + std::chrono::seconds(plan_.timeoutSeconds);
        if (SendMsg(c.port, &c.request) < 0) {
            ++tally_.failures;
            Tell(c, "request " + std::to_string(c.sent + 1) + " could not be sent", true);
            Close(c);
            return;
        }
        ++c.sent;
        ++tally_.sent;
        c.awaiting = true;
    }

    void Receive(Connection& c) {
        if (ReadPort(c.port) < 0) {
            Ended(c);
            return;
        }
        for (;;) {
            MessageFields response{};
            int complete = 0;
            if (GetMsg(c.port, &response, &complete) < 0) {
                // Whether it answered the request in hand or none, it is a failure.
                ++tally_.failures;
                Tell(c,
                     c.awaiting ? "the response to request " + std::to_string(c.sent) +
                                      " could not be read"
                                : "a surplus response could not be read",
                     true);
                Close(c);
                return;
            }
            if (complete == 0) {
                return;
            }
            Take(c, response);
        }
    }

    void Take(Connection& c, const MessageFields& response) {
        if (!c.awaiting || (trace_.enabled() && !TraceNumbers::Matches(response, c.request))) {
            ++tally_.failures;
            TellSurplus(c, response);
            return;
        }
        const Clock::time_point now = Clock::now();
        c.awaiting = false;
        ++c.answered;
        ++tally_.answered;
        lastAnswer_ = now;
        tally_.roundTripsUs.push_back(
            std::chrono::duration<double, std::micro>(now - c.sentAt).count());
        if (plan_.printResponse) {
            // The slots point into the port's buffer: print before the next read.
            PrintMessage(stdout, PortFormat(c.port), response,
                         FindLinkBounded(plan_.controller.c_str()));
        }
        findings_.Clear();
        if (plan_.expectations != nullptr) {
            plan_.expectations->Check(response, findings_);
            if (!findings_.empty()) {
                ++tally_.unmet;
                TellUnmet(c);
            }
        }
        AddCase(c, &response, tally_.roundTripsUs.back() / 1e6);
    }

    void TellUnmet(const Connection& c) {
        if (unmetTold_ && !plan_.printResponse) {
            return;
        }
        unmetTold_ = true;
        std::string what = plan_.printResponse
                               ? std::string("the response did not meet --expect")
                               : "the response to request " + std::to_string(c.sent) +
                                     " did not meet --expect (further ones are only counted)";
        Tell(c, what, false);
        for (int i = 0; i < findings_.count(); ++i) {
            const std::string_view text = findings_.Text(i);
            std::fprintf(stderr, "  %.*s\n", static_cast<int>(text.size()), text.data());
        }
    }

    // The request of connection c as a test case of the report: answered by
    // response, or (null) never.
    void AddCase(const Connection& c, const MessageFields* response, double seconds) {
        if (plan_.report == nullptr) {
            return;
        }
        if (response == nullptr) {
            findings_.Clear();
            findings_.Add({conform::FindingKind::ExpectFailed, -1, 0, 0}, "no response");
        }
        const FieldSpec* specs = FindControllerBounded(plan_.controller.c_str());
        const LinkRecord* link = FindLinkBounded(plan_.controller.c_str());
        const FieldSlot& mti = c.request.slots[0];
        const FieldSlot& trace = c.request.slots[TRACE_FIELD];
        char name[96];
        std::snprintf(name, sizeof name, "%.*s trace %.*s seq %lld", mti.length,
                      mti.data != nullptr ? reinterpret_cast<const char*>(mti.data) : "",
                      trace.length > 0 ? trace.length : 1,
                      trace.length > 0 ? reinterpret_cast<const char*>(trace.data) : "-",
                      ++caseNumber_);
        char className[16];
        std::snprintf(className, sizeof className, "%.3s.%.*s", plan_.controller.c_str(),
                      mti.length,
                      mti.data != nullptr ? reinterpret_cast<const char*>(mti.data) : "");
        static char requestText[4 * 4096 + 4096];
        static char responseText[4 * 4096 + 4096];
        conform::TextBuffer request{requestText, sizeof requestText};
        conform::TextBuffer answer{responseText, sizeof responseText};
        if (specs != nullptr) {
            conform::PutMessageText(link, specs, c.request, request);
            if (response != nullptr) {
                conform::PutMessageText(link, specs, *response, answer);
            }
        }
        const std::string rule = plan_.expectations != nullptr && !plan_.expectations->empty()
                                     ? "--expect " + plan_.expectations->written()
                                     : std::string("a response");
        conform::ReportCase testCase;
        testCase.name = name;
        testCase.className = className;
        testCase.rule = rule;
        testCase.seconds = seconds;
        testCase.findings = &findings_;
        testCase.request = request.view();
        testCase.response = answer.view();
        plan_.report->Add(testCase);
    }

    // The connection ended or failed while being read.
    void Ended(Connection& c) {
        if (c.awaiting) {
            ++tally_.failures;
            Tell(c, "no response to request " + std::to_string(c.sent), true);
            AddCase(c, nullptr, 0);
        } else if (c.sent < plan_.requestsEach) {
            Tell(c,
                 "the connection ended before request " + std::to_string(c.sent + 1) + " was sent",
                 true);
        } else {
            ClearError();  // every request answered: the responder may hang up
        }
        Close(c);
    }

    void TimeOut(Connection& c) {
        ++tally_.failures;
        ++tally_.timedOut;
        AddCase(c, nullptr, plan_.timeoutSeconds);
        const bool partial = PortHoldsPartOfMessage(c.port);
        Tell(c,
             "no response to request " + std::to_string(c.sent) + " within " +
                 std::to_string(plan_.timeoutSeconds) + " s" +
                 (partial ? " (part of one had arrived)" : ""),
             false);
        if (c.answered == 0 && !partial && tally_.answered > 0) {
            // Other connections are served: this one was connected, but is
            // waiting in the responder's listen queue.
            Tell(c,
                 "connected, but never served while other connections were: the responder "
                 "serves fewer connections at once (VELK_PEERS) than --connections, and keeps "
                 "the rest waiting in its listen queue",
                 false);
        }
        Close(c);
    }

    void TellSurplus(const Connection& c, const MessageFields& response) {
        if (surplusTold_) {
            return;
        }
        surplusTold_ = true;
        std::string what = "a response answered no request in hand";
        if (!c.awaiting) {
            what += " (none was awaited)";
        } else if (response.slots[TRACE_FIELD].length > 0) {
            what += " (trace number " + TraceText(response.slots[TRACE_FIELD]) + ", awaited " +
                    TraceText(c.request.slots[TRACE_FIELD]) + ")";
        } else {
            what += " (it has no trace number, field 11)";
        }
        Tell(c, what + "; further ones are only counted", false);
    }

    void Tell(const Connection& c, const std::string& what, bool withError) const {
        std::string text =
            plan_.connections > 1 ? "connection " + std::to_string(c.number) + ": " + what : what;
        if (withError) {
            ReportFailure(text);
        } else {
            std::fprintf(stderr, "velkctl: %s\n", text.c_str());
        }
    }

    static void Close(Connection& c) {
        if (c.port >= 0) {
            ClosePort(c.port);
            c.port = -1;
        }
        c.awaiting = false;
    }

    const SendPlan& plan_;
    SendTally& tally_;
    TraceNumbers trace_;
    std::vector<Connection> connections_;
    Clock::time_point start_{};
    Clock::time_point lastAnswer_{};
    Clock::time_point watchEnd_{};
    bool surplusTold_ = false;
    bool unmetTold_ = false;
    long long caseNumber_ = 0;
    conform::Findings findings_;
};

}  // namespace

bool RunSendPlan(const SendPlan& plan, const MessageFields& request, SendTally* tally) {
    tally->requested = plan.requestsEach * plan.connections;
    tally->roundTripsUs.reserve(
        static_cast<size_t>(std::min<long long>(tally->requested, 1 << 20)));
    SendRun run(plan, request, tally);
    bool connected = run.Connect();
    if (connected) {
        run.Exchange();
    }
    run.CloseAll();
    return connected;
}
