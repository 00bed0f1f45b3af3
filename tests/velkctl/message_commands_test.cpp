#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "os_shared_memory.h"
#include "run_command.h"
#include "scoped_env.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/get_msg.h"
#include "vksoc/port/recv_msg.h"

extern char** environ;

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class VelkctlMessageTest : public ConnectionTest {};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\n";
    }
    return text;
}

TEST_F(VelkctlMessageTest, MakeThenShowRoundTripsWithAndWithoutPrefixAndForZtr) {
    struct Case {
        const char* controller;
        const char* headerLength;
        const char* fields;
        const char* leading;  // the first bytes of the file
        std::string shown;
    } const cases[] = {
        {"C01", "0", "0=0200 3=000000 4=000000001000 41=TERM01", "0200",
         Lines({"0 Message Id: 0200", "3 PROC_CODE: 000000", "4 AMOUNT: 000000001000",
                "41 TERMINAL_ID: TERM01  "})},
        {"C01", "4", "0=0200 3=000000 2=4761739001010119", "00360200",
         Lines({"0 Message Id: 0200", "2 PAN: 4761739001010119", "3 PROC_CODE: 000000"})},
        {"ZTR", "4", "4=BINQ 5=CUST01", "00085\x1c",
         Lines({"1 MESSAGE_LENGTH: 00085", "2 HASH_KEY: 55100034", "3 VERSION: B1.0",
                "4 COMMAND: BINQ", "5 CUSTOMER_ID: CUST01"})},
    };
    for (const Case& c : cases) {
        ScopedEnv env("HEADER_LENGTH", c.headerLength);
        CommandResult made = RunVelkctl(std::string("make ") + c.controller + " x.dat " + c.fields);
        ASSERT_EQ(made.exitCode, 0) << made.output;
        EXPECT_EQ(ReadFile("x.dat").rfind(c.leading, 0), 0u) << c.controller;

        CommandResult shown = RunVelkctl(std::string("show ") + c.controller + " x.dat");
        ASSERT_EQ(shown.exitCode, 0) << shown.output;
        EXPECT_THAT(shown.output, HasSubstr(c.shown)) << c.controller;
    }
}

TEST_F(VelkctlMessageTest, AFileIsReadOnlyUnderThePrefixItWasMadeWith) {
    {
        ScopedEnv env("HEADER_LENGTH", "4");
        ASSERT_EQ(RunVelkctl("make C01 x.dat 0=0800").exitCode, 0);
    }
    CommandResult shown = RunVelkctl("show C01 x.dat");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_THAT(shown.output, HasSubstr("velkctl: could not read a message from x.dat\n"));
    EXPECT_THAT(shown.output, HasSubstr("RecvMsg: "));
}

TEST_F(VelkctlMessageTest, AFifoInPlaceOfADataFileIsRefusedNotWaitedOn) {
    // Nobody ever opens the FIFO's other end: a blocking open would hang.
    ASSERT_EQ(mkfifo("x.dat", 0600), 0);
    for (const char* command : {"show C01 x.dat", "send C01 127.0.0.1 9 x.dat --timeout 1"}) {
        SCOPED_TRACE(command);
        CommandResult run = RunVelkctl(command);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.output, HasSubstr("velkctl: could not open x.dat\n"));
        EXPECT_THAT(run.output, HasSubstr("x.dat is not a regular file"));
    }
}

TEST_F(VelkctlMessageTest, BadFieldArgumentsAreRefusedAndTheEarlierFileStays) {
    struct Case {
        const char* arguments;
        const char* says;
    } const cases[] = {
        {"make C01 x.dat 0=0200 1=XX", "field 1 cannot be given"},
        {"make ZTR x.dat 2=12345678", "field 2 cannot be given"},
        {"make C01 x.dat 0=0200 3000000", "'3000000' is not of the form N=VALUE"},
        {"make C01 x.dat 0=02", "Assemble8583: Message Id shorter than 4 bytes"},
        {"make C03 x.dat 0=0200", "OpenPort: Controller: C03 is invalid"},
    };
    // A message that cannot be made leaves the file it was to replace whole.
    for (const Case& c : cases) {
        WriteFile("x.dat", "an earlier message");
        CommandResult run = RunVelkctl(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_THAT(run.output, HasSubstr(c.says)) << c.arguments;
        EXPECT_EQ(ReadFile("x.dat"), "an earlier message") << c.arguments;
    }
}

TEST_F(VelkctlMessageTest, ValuesAsShowPrintsThemMakeTheSameFileAgain) {
    // Bytes no keyboard gives, a backslash, and a backslash that begins no
    // escape, in a fixed and in a variable element.
    CommandResult made =
        RunVelkctl("make C01 a.dat 0=0200 '41=\\x01\\xfeAB\\x5cCD\\x7f' '120=\\x00\\x1c\\xFF\\x'");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string bytes = ReadFile("a.dat");
    EXPECT_THAT(bytes, HasSubstr(std::string("\x01\xfe"
                                             "AB\\CD\x7f"
                                             "005\0\x1c\xff\\x",
                                             16)));
    CommandResult shown = RunVelkctl("show C01 a.dat");
    ASSERT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_THAT(shown.output, HasSubstr("41 TERMINAL_ID: \\x01\\xfeAB\\x5cCD\\x7f\n"));
    EXPECT_THAT(shown.output, HasSubstr("120 PRIVATE: \\x00\\x1c\\xff\\x5cx\n"));

    // Each "N NAME: VALUE" line given back to make as N=VALUE.
    std::string again = "make C01 b.dat";
    std::istringstream lines(shown.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        again += " '" + line.substr(0, line.find(' ')) + "=" + line.substr(colon + 2) + "'";
    }
    ASSERT_EQ(RunVelkctl(again).exitCode, 0) << again;
    EXPECT_EQ(ReadFile("b.dat"), bytes);
}

TEST_F(VelkctlMessageTest, MakeTellsAFailedWriteOfTheDataFileOneLinkALine) {
    CommandResult run = RunVelkctl("make C01 x.dat 0=0200 5=X");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("velkctl: could not write the data file x.dat\n["));
    EXPECT_THAT(run.output, HasSubstr("Assemble8583: Field: 5 unknown\n["));
    EXPECT_THAT(run.output,
                HasSubstr("] writing the data file: Error in assembling the message\n"));
    EXPECT_THAT(run.output, Not(HasSubstr("SendMsg")));
}

TEST_F(VelkctlMessageTest, AFileMadeUnderAnotherPrefixIsShownWithTheWidthItSeemsToCarry) {
    struct Case {
        const char* madeWith;
        const char* readWith;
        const char* hint;  // null: none
    } const cases[] = {
        {"4", "0", "the file seems to carry a 4-digit length prefix: HEADER_LENGTH=4"},
        {"2", "4", "the file seems to carry a 2-digit length prefix: HEADER_LENGTH=2"},
        {"0", "3", "the file seems to carry no length prefix: HEADER_LENGTH unset or 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.madeWith) + " read with " + c.readWith);
        {
            ScopedEnv env("HEADER_LENGTH", c.madeWith);
            ASSERT_EQ(RunVelkctl("make C01 x.dat 0=0800 3=000000 11=000001").exitCode, 0);
        }
        ScopedEnv env("HEADER_LENGTH", c.readWith);
        for (const char* command : {"show C01 x.dat", "send C01 127.0.0.1 9 x.dat"}) {
            CommandResult run = RunVelkctl(command);
            EXPECT_EQ(run.exitCode, 1) << command;
            EXPECT_THAT(run.output, HasSubstr(std::string("velkctl: ") + c.hint + "\n")) << command;
        }
    }
    // Bytes no width makes a message of get no guess.
    WriteFile("x.dat", "0800garbage");
    CommandResult run = RunVelkctl("show C01 x.dat");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, Not(HasSubstr("seems to carry")));
}

// A responder written for the test: answers each request with the request's
// fields, message id 0210 and RESP_CODE 00, until the controller hangs up.
class Responder {
  public:
    explicit Responder(const char* controller, bool answer = true) {
        port_ = OpenPort(nullptr, 0, MODE_LISTEN, controller);
        EXPECT_GE(port_, 0) << GetErrorText();
        tcpPort_ = plat::SocketLocalPort(PortSocket(port_));
        thread_ = std::thread([this, answer] { Serve(answer); });
    }
    ~Responder() {
        thread_.join();
        ClosePort(port_);
    }
    int tcpPort() const { return tcpPort_; }
    int requests() const { return requests_; }
    std::string lastField(int n) const { return last_[n]; }

  private:
    void Serve(bool answer) {
        if (AcceptConn(port_) != 0) {
            return;
        }
        static const unsigned char kResponseId[] = "0210";
        static const unsigned char kApproved[] = "00";
        MessageFields request{};
        while (RecvMsg(port_, &request, 20) > 0) {
            ++requests_;
            for (int n = 0; n < MESSAGE_SLOTS; ++n) {
                last_[n] = SlotText(request, n);
            }
            if (!answer) {
                continue;
            }
            MessageFields response = request;
            response.slots[0] = {kResponseId, 4};
            response.slots[39] = {kApproved, 2};
            if (SendMsg(port_, &response) < 0) {
                return;
            }
        }
    }

    int port_ = -1;
    int tcpPort_ = 0;
    std::atomic<int> requests_{0};
    std::string last_[MESSAGE_SLOTS];
    std::thread thread_;
};

TEST_F(VelkctlMessageTest, SendPrintsTheResponsesFields) {
    Responder responder("C01");
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0200 3=011000 11=000042");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr(Lines({"0 Message Id: 0210", "3 PROC_CODE: 011000",
                                             "11 STAN: 000042", "39 RESP_CODE: 00"})));
}

TEST_F(VelkctlMessageTest, SendTakesTheRequestFromAFileWithFieldsOnTop) {
    ScopedEnv env("HEADER_LENGTH", "2");
    ASSERT_EQ(RunVelkctl("make C01 request.dat 0=0200 3=011000 11=000001").exitCode, 0);
    Responder responder("C01");
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " request.dat 11=000077");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("3 PROC_CODE: 011000\n11 STAN: 000077\n"));
}

TEST_F(VelkctlMessageTest, SendCountSendsOneRequestAfterAnotherAndSummarises) {
    Responder responder("ZTR");
    CommandResult run = RunVelkctl("send ZTR 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 4=ECHO 5=CUST --count 200");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(responder.requests(), 200);
    for (const char* line :
         {"requests: 200\nsent: 200\nanswered: 200\n", "failures: 0\n",
          "requests per second: ", "round trip median: ", "round trip 99th percentile: "}) {
        EXPECT_THAT(run.output, HasSubstr(line));
    }
    EXPECT_THAT(run.output, Not(HasSubstr("COMMAND")));
}

TEST_F(VelkctlMessageTest, ASilentResponderTimesOutAndTheRequestsNeverSentAreNoFailures) {
    Responder responder("C01", false);
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0800 --timeout 1 --count 3");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("velkctl: no response to request 1 within 1 s\n"));
    EXPECT_THAT(run.output, HasSubstr("requests: 3\nsent: 1\nanswered: 0\ntimed out: 1\n"
                                      "failures: 1\n"));
}

// A port that was free a moment ago: a connect to it is refused.
int PortNobodyListensOn() {
    Listener gone;
    return gone.port();
}

TEST_F(VelkctlMessageTest, SendToNoResponderSaysSoOnceItsTimeIsUp) {
    const int unused = PortNobodyListensOn();
    CommandResult run =
        RunVelkctl("send C01 127.0.0.1 " + std::to_string(unused) + " 0=0800 --timeout 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("velkctl: could not connect to 127.0.0.1:" +
                                      std::to_string(unused) + " within 1 s\n"));
    EXPECT_THAT(run.output, HasSubstr("OpenPort: No program running at: [127.0.0.1," +
                                      std::to_string(unused) + "]\n"));
}

TEST_F(VelkctlMessageTest, ARefusedConnectSaysTheResponderMayBeServingAnotherConnection) {
    const int unused = PortNobodyListensOn();
    CommandResult run =
        RunVelkctl("send C01 127.0.0.1 " + std::to_string(unused) + " 0=0800 --timeout 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output,
                HasSubstr("OpenPort: No program running at: [127.0.0.1," + std::to_string(unused) +
                          "]\nvelkctl: nothing accepted "
                          "the connection: no responder "
                          "listens there, or the responder "
                          "is serving another connection"));
    EXPECT_THAT(run.output, HasSubstr("VELK_PEERS"));
}

TEST_F(VelkctlMessageTest, AConnectThatAFullListenQueueNeverAnswersEndsAtTheTimeout) {
    // A listener that accepts nobody and queues one connection at most: the
    // system answers a further connect with nothing at all.
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    const std::string port = std::to_string(plat::SocketLocalPort(listener));

    const auto started = std::chrono::steady_clock::now();
    CommandResult run =
        RunVelkctl("send C01 127.0.0.1 " + port + " 0=0800 --count 1 --connections 4 --timeout 1");
    const auto took = std::chrono::steady_clock::now() - started;
    closesocket(listener);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("velkctl: could not connect to 127.0.0.1:" + port +
                                      " within 1 s (connection "));
    EXPECT_THAT(run.output,
                HasSubstr("OpenPort: Connection to [127.0.0.1," + port + "] Timed out\n"));
    EXPECT_THAT(run.output, HasSubstr("velkctl: the connect was never answered: the responder's "
                                      "listen queue may be full"));
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(VelkctlMessageTest, SendRefusesWhatIsNoTcpPort) {
    for (const char* port : {"70000", "65536", "0", "-1", "7001x", ""}) {
        CommandResult run = RunVelkctl(std::string("send C01 127.0.0.1 '") + port + "' 0=0800");
        EXPECT_EQ(run.exitCode, 1) << port;
        EXPECT_THAT(run.output, HasSubstr(std::string("velkctl: '") + port +
                                          "' is not a TCP port: ports are 1 to 65535\n"));
    }
}

// A responder on plain sockets for the cases a well-behaved one never shows.
// Records are framed by a 4-digit length prefix (HEADER_LENGTH=4 for velkctl);
// each accepted connection hands every record it receives to `answer`, which
// writes what it likes to the peer, until the peer hangs up or `answer`
// returns false (the connection is then closed).
class RawResponder {
  public:
    using Answer = std::function<bool(const Peer&, const std::string& record)>;

    // Listens on tcpPort (0: a port the system chooses) once `listenAfter`
    // has passed, and accepts `connections` peers.
    RawResponder(int connections, Answer answer, int tcpPort = 0,
                 std::chrono::milliseconds listenAfter = std::chrono::milliseconds(0))
        : answer_(std::move(answer)) {
        if (tcpPort == 0) {
            Listen(0);
            tcpPort = plat::SocketLocalPort(listener_);
        }
        tcpPort_ = tcpPort;
        threads_.emplace_back([this, connections, tcpPort, listenAfter] {
            if (listener_ == INVALID_SOCKET) {
                std::this_thread::sleep_for(listenAfter);
                Listen(tcpPort);
            }
            std::vector<std::thread> served;
            for (int i = 0; i < connections; ++i) {
                SOCKET s = accept(listener_, nullptr, nullptr);
                if (s == INVALID_SOCKET) {
                    break;
                }
                served.emplace_back([this, s] { Serve(Peer(s)); });
            }
            for (std::thread& t : served) {
                t.join();
            }
        });
    }
    ~RawResponder() {
        // Wakes an accept still waiting for a peer that never came.
        shutdown(listener_, SHUT_RDWR);
        for (std::thread& t : threads_) {
            t.join();
        }
        closesocket(listener_);
    }
    int tcpPort() const { return tcpPort_; }
    std::multiset<std::string> records() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }

    static std::string Framed(const std::string& body) {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "%04zu", body.size());
        return prefix + body;
    }

  private:
    void Listen(int tcpPort) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        int reuse = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                   sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        address.sin_port = htons(static_cast<unsigned short>(tcpPort));
        EXPECT_EQ(bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener_, 8), 0);
    }

    void Serve(Peer peer) {
        for (;;) {
            std::string prefix = peer.Receive(4);
            if (prefix.size() < 4) {
                return;
            }
            std::string body = peer.Receive(std::stoi(prefix));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                records_.insert(body);
            }
            if (!answer_(peer, body)) {
                return;
            }
        }
    }

    Answer answer_;
    SOCKET listener_ = INVALID_SOCKET;
    int tcpPort_ = 0;
    mutable std::mutex mutex_;
    std::multiset<std::string> records_;
    std::vector<std::thread> threads_;
};

bool Echo(const Peer& peer, const std::string& record) {
    peer.Send(RawResponder::Framed(record));
    return true;
}

TEST_F(VelkctlMessageTest, AResponderThatAnswersTwiceShowsItsSurplusAsFailures) {
    ScopedEnv env("HEADER_LENGTH", "4");
    auto twice = [](const Peer& peer, const std::string& record) {
        peer.Send(RawResponder::Framed(record) + RawResponder::Framed(record));
        return true;
    };
    // C01 pairs by the trace number, field 11; AB has no field 11 and pairs
    // in order: either way each second answer is a surplus.
    for (const char* controller : {"C01", "AB"}) {
        RawResponder responder(1, twice);
        CommandResult run =
            RunVelkctl(std::string("send ") + controller + " 127.0.0.1 " +
                       std::to_string(responder.tcpPort()) + " 0=0200 3=000000 --count 5");
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_THAT(run.output, HasSubstr("requests: 5\nsent: 5\nanswered: 5\ntimed out: 0\n"
                                          "failures: 5\n"))
            << controller;
        EXPECT_THAT(run.output, HasSubstr("velkctl: a response answered no request in hand"));
    }
}

TEST_F(VelkctlMessageTest, AStaleAnswerIsNeverTakenForTheRequestInHand) {
    ScopedEnv env("HEADER_LENGTH", "4");
    // Answers each request after the first with the previous request's answer
    // first: a client that pairs in order would see no failure at all.
    std::string previous;
    RawResponder responder(1, [&previous](const Peer& peer, const std::string& record) {
        if (!previous.empty()) {
            peer.Send(RawResponder::Framed(previous));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        peer.Send(RawResponder::Framed(record));
        previous = record;
        return true;
    });
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0200 3=000000 11=000100 --count 5");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("answered: 5\ntimed out: 0\nfailures: 4\n"));
    EXPECT_THAT(run.output, HasSubstr("(trace number 000100, awaited 000101)"));
}

TEST_F(VelkctlMessageTest, ATricklingResponseTimesOutAtTheDeadlineNotAtEachByte) {
    ScopedEnv env("HEADER_LENGTH", "4");
    RawResponder responder(1, [](const Peer& peer, const std::string& record) {
        for (char byte : RawResponder::Framed(record)) {
            if (plat::send(peer.socket(), &byte, 1, 0) != 1) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return true;
    });
    auto started = std::chrono::steady_clock::now();
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0200 3=000000 11=000001 --timeout 1");
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("velkctl: no response to request 1 within 1 s (part of one "
                                      "had arrived)\n"));
    EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(VelkctlMessageTest, AResponderThatHangsUpOnTheRequestIsAFailure) {
    ScopedEnv env("HEADER_LENGTH", "4");
    RawResponder responder(1, [](const Peer&, const std::string&) { return false; });
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0800 --count 3");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("velkctl: no response to request 1\n"));
    EXPECT_THAT(run.output, HasSubstr("ReadPort: Connection closed by peer\n"));
    EXPECT_THAT(run.output, HasSubstr("sent: 1\nanswered: 0\ntimed out: 0\nfailures: 1\n"));
}

TEST_F(VelkctlMessageTest, SendWaitsForTheResponderToListenAgain) {
    ScopedEnv env("HEADER_LENGTH", "4");
    int tcpPort;
    {
        Listener taken;
        tcpPort = taken.port();
    }
    RawResponder responder(1, Echo, tcpPort, std::chrono::milliseconds(700));
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(tcpPort) +
                                   " 0=0800 11=000001 --timeout 5");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("11 STAN: 000001\n"));
}

TEST_F(VelkctlMessageTest, ConnectionsRunInParallelWithOneSummaryAndTheirOwnTraceNumbers) {
    ScopedEnv env("HEADER_LENGTH", "4");
    RawResponder responder(4, Echo);
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0200 3=000000 --count 50 --connections 4");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("connections: 4\nrequests: 200\nsent: 200\nanswered: 200\n"
                                      "timed out: 0\nfailures: 0\n"));
    EXPECT_THAT(run.output, HasSubstr("round trip 99th percentile: "));
    std::multiset<std::string> records = responder.records();
    EXPECT_EQ(records.size(), 200u);
    EXPECT_EQ(std::set<std::string>(records.begin(), records.end()).size(), 200u);
}

TEST_F(VelkctlMessageTest, AConnectionLeftInTheListenQueueIsToldAsNeverServed) {
    ScopedEnv env("HEADER_LENGTH", "4");
    // Serves one connection; the second waits in its listen queue.
    RawResponder responder(1, Echo);
    CommandResult run = RunVelkctl("send C01 127.0.0.1 " + std::to_string(responder.tcpPort()) +
                                   " 0=0200 3=000000 --count 20 --connections 2 --timeout 1");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("velkctl: connection 2: no response to request 1 within 1 s\n"
                                      "velkctl: connection 2: connected, but never served while "
                                      "other connections were"));
    EXPECT_THAT(run.output, HasSubstr("answered: 20\ntimed out: 1\n"));
}

TEST_F(VelkctlMessageTest, PublishHoldsTheImageUntilTerminatedAndRemovesIt) {
    std::string name = "velk-publish-test-" + std::to_string(getpid());
    std::string binary = std::string(VELK_BINARY_DIR) + "/velkctl";
    const char* argv[] = {binary.c_str(), "publish", "--name", name.c_str(), nullptr};
    pid_t publisher = 0;
    ASSERT_EQ(posix_spawn(&publisher, binary.c_str(), nullptr, nullptr,
                          const_cast<char* const*>(argv), environ),
              0);

    plat::SharedMemoryHandle handle = plat::NO_SHARED_MEMORY;
    for (int i = 0; i < 100 && handle == plat::NO_SHARED_MEMORY; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        handle = plat::OpenSharedMemory(name.c_str());
    }
    ASSERT_NE(handle, plat::NO_SHARED_MEMORY);
    long long size = 0;
    unsigned char* view = plat::MapSharedMemory(handle, &size);
    plat::CloseSharedMemory(handle);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(size, CONFIG_IMAGE_SIZE);
    // The publisher may still be copying the image in: wait for the header.
    for (int i = 0; i < 100 && std::memcmp(view, LoadedConfigImage(), CONFIG_IMAGE_SIZE) != 0;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(std::memcmp(view, LoadedConfigImage(), CONFIG_IMAGE_SIZE), 0);
    plat::UnmapSharedMemory(view, size);

    kill(publisher, SIGTERM);
    int status = 0;
    waitpid(publisher, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(plat::OpenSharedMemory(name.c_str()), plat::NO_SHARED_MEMORY);
}

}  // namespace
