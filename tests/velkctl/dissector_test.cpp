// velkctl dissector: the Lua dissector it writes, run in tshark over captures
// built from messages velkctl makes, must show what velkctl show shows for the
// same bytes, and flag malformed ones with the responder's own texts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"
#include "pcap_writer.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "vksoc/codec/ztr.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Variable elements (one with a 3-digit prefix), fixed ones on both sides of
// the secondary bitmap, and gaps: element 5 is not defined. The messages
// compared with velkctl show carry no card number, which it may mask.
const char* const kConfig = R"(<VELK_CONFIGURATION>
<CONTROLLER_PARAMS_LIST>
<CONTROLLER_PARAMS>
<CONTROLLER_ID>C01
<FIELD_SPEC_LIST>
<FIELD>
<FIELD_NO>2
<FIELD_NAME>PAN
<MAX_LEN>19
<LENGTH_BYTES>2
</FIELD>
<FIELD>
<FIELD_NO>3
<FIELD_NAME>PROC_CODE
<MAX_LEN>6
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>4
<FIELD_NAME>AMOUNT
<MAX_LEN>12
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>11
<FIELD_NAME>STAN
<MAX_LEN>6
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>32
<FIELD_NAME>ACQ_INST_ID
<MAX_LEN>11
<LENGTH_BYTES>2
</FIELD>
<FIELD>
<FIELD_NO>38
<FIELD_NAME>AUTH_ID
<MAX_LEN>6
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>39
<FIELD_NAME>RESP_CODE
<MAX_LEN>2
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>41
<FIELD_NAME>TERMINAL_ID
<MAX_LEN>8
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>70
<FIELD_NAME>NMI_CODE
<MAX_LEN>3
<LENGTH_BYTES>0
</FIELD>
<FIELD>
<FIELD_NO>102
<FIELD_NAME>ACCOUNT_1
<MAX_LEN>28
<LENGTH_BYTES>3
</FIELD>
</FIELD_SPEC_LIST>
</CONTROLLER_PARAMS>
</CONTROLLER_PARAMS_LIST>
</VELK_CONFIGURATION>
)";

constexpr uint16_t kC01Port = 7001;
constexpr uint16_t kZtrPort = 7002;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The field lines of tshark's detail view ("N NAME: VALUE"), indentation off.
std::vector<std::string> FieldLines(const std::string& tsharkOutput) {
    static const std::regex field(R"(^ *([0-9]+ [^:]*: .*)$)");
    std::vector<std::string> lines;
    std::smatch match;
    for (const std::string& line : SplitLines(tsharkOutput)) {
        if (std::regex_match(line, match, field)) {
            lines.push_back(match[1]);
        }
    }
    return lines;
}

class DissectorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (RunCommand("tshark --version").exitCode != 0) {
            GTEST_SKIP() << "tshark is not installed (scripts/setup.sh installs it): the "
                            "dissector is not run";
        }
        root_.WriteConfig(kConfig);
    }

    // velkctl dissector with HEADER_LENGTH at `width`, C01 and ZTR on their ports.
    void Generate(int width) {
        ScopedEnv env("HEADER_LENGTH", std::to_string(width));
        CommandResult run = RunVelkctl("dissector --port 7001=C01 --port 7002=ZTR -o velk.lua");
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    // The bytes velkctl make writes for the fields, as the responder sends them.
    std::string Make(const std::string& controller, const std::string& fields, int width) {
        ScopedEnv env("HEADER_LENGTH", std::to_string(width));
        CommandResult run = RunVelkctl("make " + controller + " m.dat " + fields);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return ReadFile("m.dat");
    }

    // What velkctl show prints for bytes, error texts included.
    std::string Show(const std::string& controller, const std::string& bytes, int width) {
        WriteFile("s.dat", bytes);
        ScopedEnv env("HEADER_LENGTH", std::to_string(width));
        return RunVelkctl("show " + controller + " s.dat").output;
    }

    std::string Tshark(const PcapWriter& pcap, const std::string& options) {
        WriteFile("capture.pcap", pcap.bytes());
        // Standard error apart: tshark warns there when it runs as root.
        CommandResult run = RunCommand("{ tshark -n -r capture.pcap -X lua_script:velk.lua " +
                                       options + " 2>tshark.err; }");
        const std::string errors = ReadFile("tshark.err");
        EXPECT_EQ(run.exitCode, 0) << run.output << errors;
        EXPECT_THAT(run.output + errors, Not(HasSubstr("Lua Error")));
        EXPECT_THAT(errors, Not(HasSubstr("Lua")));
        return run.output;
    }

    TempRoot root_;
};

TEST_F(DissectorTest, ShowsEveryMessageAsVelkctlShowDoesInEachFramingAndSegmentation) {
    // One digit cannot hold the length of any ISO 8583 message.
    for (int width : {0, 2, 3, 4}) {
        SCOPED_TRACE("HEADER_LENGTH " + std::to_string(width));
        Generate(width);
        const std::string request =
            Make("C01", "0=0200 3=011000 4=000000010000 11=000042 32=12345678901", width);
        const std::string declined = Make("C01", "0=0210 3=011000 11=000042 39=05", width);
        const std::string approved =
            Make("C01", "0=0210 3=011000 11=000042 38=123456 39=00 '41=T 1'", width);
        // The secondary bitmap, and a value that must be shown escaped.
        const std::string network = Make("C01", "0=0800 11=000043 70=301 '102=ACC\\01'", width);
        const std::string ztrRequest = Make("ZTR", "4=BINQ 5=CUST01 14=1234567890", 0);
        const std::string ztrResponse = Make("ZTR", "4=BINQ 26=00 28=+000000001000.00", 0);

        PcapWriter pcap;
        TcpFlow iso(pcap, 40001, kC01Port);
        iso.ToServer(request.substr(0, 3));  // one message over three segments
        iso.ToServer(request.substr(3, 20));
        iso.ToServer(request.substr(23));
        iso.ToClient(declined + approved);             // two messages in one segment
        iso.ToServer(network + request.substr(0, 5));  // a message and a half
        iso.ToServer(request.substr(5));
        TcpFlow ztr(pcap, 40002, kZtrPort);
        ztr.ToServer(ztrRequest.substr(0, 9));
        ztr.ToServer(ztrRequest.substr(9));
        ztr.ToClient(ztrResponse);

        std::string expected;
        for (const std::string* message : {&request, &declined, &approved, &network, &request}) {
            expected += Show("C01", *message, width);
        }
        expected += Show("ZTR", ztrRequest, 0) + Show("ZTR", ztrResponse, 0);

        const std::string decoded = Tshark(pcap, "-V -O velk");
        EXPECT_EQ(FieldLines(decoded), SplitLines(expected));
        EXPECT_THAT(decoded, Not(HasSubstr("Expert Info (Error")));
    }
}

TEST_F(DissectorTest, MarksMalformedMessagesWithTheTextsTheResponderLogs) {
    Generate(0);
    const std::string bitmap2Only("\x40\0\0\0\0\0\0\0", 8);  // element 2 only
    const std::string goodZtr = Make("ZTR", "4=BINQ 5=CUST01", 0);
    std::string badKey = goodZtr;
    badKey.replace(6, 8, "12345678");
    std::string badVersion = goodZtr;
    badVersion.replace(15, 4, "B1.1");
    const std::string goodRecord = Make("C01", "0=0200 3=011000", 4);

    struct Case {
        const char* what;
        const char* controller;
        int width;
        std::string bytes;
        const char* text;
    } const cases[] = {
        {"undefined element", "C01", 0, std::string("0200\x48\0\0\0\0\0\0\0", 12) + "0512345",
         "Disassemble8583: Unknown field 5"},
        {"negative length prefix", "C01", 0, "0200" + bitmap2Only + "-5abcd",
         "Disassemble8583: Invalid length -5 of field 2"},
        {"record length 0", "C01", 4, "0000" + goodRecord.substr(4),
         "Record length specified : 0 longer than 4096"},
        {"record shorter than its message", "C01", 4,
         "0014"
         "0200" +
             std::string("\x20\0\0\0\0\0\0\0", 8) + "01",
         "ReadPort: Formatting error 14 bytes in excess"},
        {"wrong hash key", "ZTR", 0, badKey,
         "DisassembleZTR: Hash Key Expected 55100034 Rcvd 12345678"},
        {"wrong version", "ZTR", 0, badVersion, "DisassembleZTR: Versn Expected: B1.0 Rcvd: B1.1"},
        {"no message length", "ZTR", 0,
         "00000\x1c"
         "12345678",
         "DisassembleZTR: Invalid Msg Len fld: 00000"},
        // Faults of no width at the very end of the bytes: a missing hash key,
        // a missing version.
        {"nothing after the length", "ZTR", 0, "00001\x1c",
         "DisassembleZTR: Invalid Length of Hash Key[0]"},
        {"nothing after the hash key", "ZTR", 0,
         "00009\x1c"
         "00000000",
         "DisassembleZTR: Versn Expected: B1.0 Rcvd:     "},
        {"a wrong hash key and no version", "ZTR", 0,
         "00009\x1c"
         "12345678",
         "DisassembleZTR: Hash Key Expected 00000000 Rcvd 12345678"},
    };
    // The cases of one width share a capture, each on a connection of its own.
    // The texts must reach the detail view and, without a tree, the expert
    // information.
    for (int width : {0, 4}) {
        PcapWriter pcap;
        uint16_t clientPort = 40000;
        for (const Case& c : cases) {
            if (c.width == width) {
                EXPECT_THAT(Show(c.controller, c.bytes, c.width),
                            HasSubstr(std::string(c.text) + "\n"))
                    << c.what;
                TcpFlow flow(pcap, ++clientPort, c.controller[0] == 'Z' ? kZtrPort : kC01Port);
                flow.ToServer(c.bytes);
            }
        }
        const std::string prefix = " -o velk.header_length:" + std::to_string(width);
        const std::string detail = Tshark(pcap, "-V -O velk" + prefix);
        const std::string summary = Tshark(pcap, "-q -z expert" + prefix);
        for (const Case& c : cases) {
            if (c.width == width) {
                EXPECT_THAT(detail, HasSubstr(std::string(c.text) + "]")) << c.what;
                EXPECT_THAT(summary, HasSubstr(std::string(c.text) + "\n")) << c.what;
            }
        }
    }

    // The hash key is shown with the value it should have, and flagged.
    PcapWriter pcap;
    TcpFlow flow(pcap, 40001, kZtrPort);
    flow.ToServer(badKey);
    flow.ToServer(goodZtr);
    EXPECT_EQ(Tshark(pcap,
                     "-T fields -e velk.ztr.hash_key -e velk.ztr.hash_key.expected "
                     "-e velk.ztr.hash_key.bad -Y velk.ztr.command"),
              "12345678\t55100034\t1\n55100034\t55100034\t\n");
}

TEST_F(DissectorTest, ComputesTheHashKeyAsTheResponderDoesOverAnyBytes) {
    Generate(0);
    // Bytes below 30 and above 127 add negative amounts, spaces nothing, a NUL
    // ends the key's input; long fields make the sum wrap.
    std::mt19937 random(7);
    PcapWriter pcap;
    TcpFlow flow(pcap, 40001, kZtrPort);
    constexpr int kMessages = 60;
    for (int m = 0; m < kMessages; ++m) {
        std::string values[ZTR_MAX_FIELDS + 1];
        MessageFields fields{};
        for (int n : HASH_KEY_FIELDS) {
            const size_t length = random() % (m % 3 == 0 ? 240 : 20);
            for (size_t i = 0; i < length; ++i) {
                unsigned char byte = static_cast<unsigned char>(random() % 256);
                if (byte == ZTR_FS || (byte == 0 && random() % 4 != 0)) {
                    byte = ' ';
                }
                values[n] += static_cast<char>(byte);
            }
            fields.slots[n] = {reinterpret_cast<const unsigned char*>(values[n].data()),
                               static_cast<int32_t>(length)};
        }
        unsigned char message[4096];
        const int length = AssembleZTR(message, sizeof message, &fields);
        ASSERT_GT(length, 0);
        flow.ToServer(std::string(reinterpret_cast<char*>(message), static_cast<size_t>(length)));
    }
    const std::string keys =
        Tshark(pcap, "-T fields -e velk.ztr.hash_key -e velk.ztr.hash_key.expected -Y velk");
    int compared = 0;
    for (const std::string& line : SplitLines(keys)) {
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        EXPECT_EQ(line.substr(0, tab), line.substr(tab + 1));
        ++compared;
    }
    EXPECT_EQ(compared, kMessages);
}

TEST_F(DissectorTest, APortPreferenceOrDecodeAsChoosesTheControllerAndFiltersFindFields) {
    {
        CommandResult run = RunVelkctl("dissector --port 9200=C01 -o velk.lua");
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }
    // A declined and an approved answer on each of two ports.
    PcapWriter pcap;
    for (uint16_t port : std::initializer_list<uint16_t>{9100, 9200}) {
        const std::string stan = "11=00" + std::to_string(port);
        TcpFlow flow(pcap, 40001, port);
        flow.ToServer(Make("C01", "0=0200 3=011000 " + stan, 0));
        flow.ToClient(Make("C01", "0=0210 3=011000 39=05 " + stan, 0));
        flow.ToServer(Make("C01", "0=0200 3=011000 " + stan, 0));
        flow.ToClient(Make("C01", "0=0210 3=011000 39=00 " + stan, 0));
    }

    const std::string declined = " -Y 'velk.f39 == \"05\"' -T fields -e velk.mti -e velk.f11";
    struct Case {
        const char* options;
        const char* found;
    } const cases[] = {
        {"", "0210\t009200\n"},                        // the port given to velkctl
        {"-o velk.ports_c01:9100", "0210\t009100\n"},  // moved in the preferences
        {"-d tcp.port==9100,velk_c01", "0210\t009100\n0210\t009200\n"},  // Decode As
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Tshark(pcap, c.options + declined), c.found) << c.options;
    }
}

TEST_F(DissectorTest, HostileBytesNeverRaiseALuaError) {
    Generate(0);
    const std::string valid = Make("C01", "0=0200 2=4000001234567899 3=011000 102=ACC", 0);
    const std::string ztr = Make("ZTR", "4=BINQ 5=CUST01", 0);
    std::mt19937 random(12);
    auto noise = [&random](size_t n) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i) {
            bytes += static_cast<char>(random() & 0xff);
        }
        return bytes;
    };
    PcapWriter pcap;
    uint16_t clientPort = 40000;
    for (int round = 0; round < 40; ++round) {
        for (uint16_t serverPort : {kC01Port, kZtrPort}) {
            TcpFlow flow(pcap, ++clientPort, serverPort);
            std::string bytes = serverPort == kC01Port ? valid : ztr;
            // A valid message with some bytes flipped, cut, or pure noise.
            for (int flips = round % 5; flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<char>(random() & 0xff);
            }
            bytes = round % 3 == 0 ? noise(1 + random() % 60)
                                   : bytes.substr(0, 1 + random() % bytes.size());
            flow.ToServer(bytes);
            flow.ToServer(noise(random() % 8));
        }
    }
    for (const char* width : {"0", "2", "4"}) {
        Tshark(pcap, std::string("-V -o velk.header_length:") + width);
    }
}

// A command line running in the background, its output into a log file;
// stopped with `signal` at the latest when the object goes.
class Background {
  public:
    Background(const std::string& commandLine, const std::string& log) {
        CommandResult run = RunCommand(commandLine + " >" + log + " 2>&1 & echo $!");
        pid_ = static_cast<pid_t>(std::stol(run.output));
    }
    ~Background() { Stop(SIGKILL); }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    // Not our child (the shell started it): waits until it is gone, and
    // kills it when the signal was not enough.
    void Stop(int signal) {
        if (pid_ > 0) {
            kill(pid_, signal);
            if (!GoneWithin(100)) {
                kill(pid_, SIGKILL);
                GoneWithin(100);
            }
            pid_ = -1;
        }
    }

  private:
    // Ended: no such process, or one that nobody has reaped yet.
    bool Gone() const {
        if (kill(pid_, 0) != 0) {
            return true;
        }
        const std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
        const size_t end = stat.rfind(')');
        return end != std::string::npos && stat.compare(end, 3, ") Z") == 0;
    }
    bool GoneWithin(int steps) const {
        for (int i = 0; i < steps; ++i) {
            if (Gone()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 100; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST_F(DissectorTest, DecodesALiveExchangeBetweenVelkctlSendAndTheResponder) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "capturing on the loopback interface needs root: the live exchange "
                        "is not captured";
    }
    if (RunCommand("dumpcap --version").exitCode != 0) {
        GTEST_SKIP() << "dumpcap is not installed: the live exchange is not captured";
    }
    std::filesystem::copy_file(VELK_SOURCE_DIR "/data/answer.script",
                               root_.data() / "answer.script");
    ScopedEnv prefix("HEADER_LENGTH", "2");
    ScopedEnv script("OPERATOR_SCRIPT", "../data/answer.script");
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    const std::string port = std::to_string(FreePort());

    Background dumpcap("dumpcap -i lo -f 'tcp port " + port + "' -w live.pcapng", "dumpcap.log");
    ASSERT_TRUE(WaitFor([] {
        return ReadFile("dumpcap.log").find("Capturing on") != std::string::npos;
    })) << ReadFile("dumpcap.log");
    Background responder(std::string(VELK_BINARY_DIR) + "/velk-tester C01 " + port, "tester.log");
    CommandResult sent;
    EXPECT_TRUE(WaitFor([&] {
        sent = RunVelkctl("send C01 127.0.0.1 " + port + " 0=0200 3=011000 11=000077");
        return sent.exitCode == 0;
    })) << sent.output
        << ReadFile("tester.log");
    // dumpcap drops, when it is stopped, the packets the kernel still holds
    // for it (it takes them in batches, and under load reads them late): it
    // is stopped once its file holds the exchange, the STAN of the request
    // and of the response.
    EXPECT_TRUE(WaitFor([] {
        const std::string capture = ReadFile("live.pcapng");
        const size_t request = capture.find("000077");
        return request != std::string::npos &&
               capture.find("000077", request + 1) != std::string::npos;
    })) << ReadFile("dumpcap.log");
    responder.Stop(SIGTERM);
    dumpcap.Stop(SIGINT);

    ASSERT_EQ(RunVelkctl("dissector C01 -o velk.lua").exitCode, 0);
    CommandResult decoded =
        RunCommand("{ tshark -n -r live.pcapng -X lua_script:velk.lua -o velk.ports_c01:" + port +
                   " -Y velk -T fields -e velk.record_length -e velk.mti -e velk.f11 -e velk.f38 "
                   "-e velk.f39 2>/dev/null; }");
    EXPECT_EQ(decoded.output, "24\t0200\t000077\t\t\n32\t0210\t000077\t123456\t00\n");
}

// ---------------------------------------------------------------------------
// Controllers with a link record: their framing, encodings and BER-TLV fields.

// One controller of a link test: its controller-level tags (each "<TAG>VALUE\n")
// and its fields.
struct LinkController {
    std::string id;
    std::string tags;
    std::string fields;
};

std::string Field(int n, const char* name, int maxLen, int lengthBytes,
                  const std::string& tags = "") {
    return "<FIELD>\n<FIELD_NO>" + std::to_string(n) + "\n<FIELD_NAME>" + name + "\n<MAX_LEN>" +
           std::to_string(maxLen) + "\n<LENGTH_BYTES>" + std::to_string(lengthBytes) + "\n" + tags +
           "</FIELD>\n";
}

// The layout of the framing cases: a network message with fields 7, 11 and 70.
const std::string kNetworkFields =
    Field(7, "DATE_TIME", 10, 0) + Field(11, "STAN", 6, 0) + Field(70, "NMI_CODE", 3, 0);

// The 39-byte 0800 with fields 7, 11 and 70: 4 + 8 + 8 + 10 + 6 + 3 bytes;
// bits 1 (secondary bitmap) and 7 are 0x82, bit 11 is 0x20, bit 70 is the
// secondary bitmap's 0x04.
std::string Network0800(const std::string& stan) {
    return "0800" + std::string("\x82\x20\0\0\0\0\0\0\x04\0\0\0\0\0\0\0", 16) + "1211093015" +
           stan + "301";
}

class DissectorLinkTest : public DissectorTest {
  protected:
    static constexpr uint16_t kFirstPort = 7101;

    // Writes a configuration of these controllers and the dissector for it,
    // the i-th controller on TCP port kFirstPort + i. Returns velkctl's output.
    std::string Generate(const std::vector<LinkController>& controllers, int width = 0) {
        std::string config = "<VELK_CONFIGURATION>\n<CONTROLLER_PARAMS_LIST>\n";
        std::string ports;
        for (size_t i = 0; i < controllers.size(); ++i) {
            const LinkController& c = controllers[i];
            config += "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>" + c.id + "\n" + c.tags +
                      "<FIELD_SPEC_LIST>\n" + c.fields +
                      "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n";
            ports += " --port " + std::to_string(kFirstPort + i) + "=" + c.id;
        }
        root_.WriteConfig(config + "</CONTROLLER_PARAMS_LIST>\n</VELK_CONFIGURATION>\n");
        ScopedEnv env("HEADER_LENGTH", std::to_string(width));
        CommandResult run = RunVelkctl("dissector" + ports + " -o velk.lua");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_THAT(run.output, Not(HasSubstr("warning"))) << run.output;
        return run.output;
    }
};

TEST_F(DissectorLinkTest, ReadsEveryFramingWithItsTpduTrailerAndKeepAlivesAcrossSegments) {
    // The length of the 39-byte message in each framing: 39 = 0x27; counting
    // the 2 bytes of its own 41 = 0x29; 44 = 0x2C with a 5-byte TPDU; 40 with
    // a 1-byte trailer. A keep-alive is the header of length 0.
    const std::string tpdu("\x60\x00\x01\x00\x02", 5);  // id 60, destination 0001, source 0002
    struct Case {
        LinkController controller;
        std::string header;     // in front of each message (the TPDU included)
        std::string trailer;    // after it
        std::string keepAlive;  // empty: the framing has none
        const char* length;     // the record length shown
    } const cases[] = {
        {{"AS4", "<FRAMING>ASCII4\n", kNetworkFields}, "0039", "", "0000", "39"},
        {{"AS2", "<FRAMING>ASCII2\n", kNetworkFields}, "39", "", "00", "39"},
        {{"BI2", "<FRAMING>BIN2\n", kNetworkFields},
         std::string("\x00\x27", 2),
         "",
         std::string(2, '\0'),
         "39"},
        {{"BIS", "<FRAMING>BIN2\n<FRAMING_COUNTS_ITSELF>Y\n", kNetworkFields},
         std::string("\x00\x29", 2),
         "",
         std::string(2, '\0'),
         "41"},
        {{"BLE", "<FRAMING>BIN2LE\n", kNetworkFields},
         std::string("\x27\x00", 2),
         "",
         std::string(2, '\0'),
         "39"},
        {{"BI4", "<FRAMING>BIN4\n", kNetworkFields},
         std::string("\0\0\0\x27", 4),
         "",
         std::string(4, '\0'),
         "39"},
        {{"BCD", "<FRAMING>BCD2\n", kNetworkFields},
         std::string("\x00\x39", 2),
         "",
         std::string(2, '\0'),
         "39"},
        {{"HEX", "<FRAMING>HEX4\n", kNetworkFields}, "0027", "", "0000", "39"},
        {{"VML", "<FRAMING>VMLH\n", kNetworkFields},
         std::string("\x00\x27\x00\x00", 4),
         "",
         std::string(4, '\0'),
         "39"},
        {{"TPD", "<FRAMING>BIN2\n<TPDU>6000010002\n", kNetworkFields},
         std::string("\x00\x2c", 2) + tpdu,
         "",
         std::string(2, '\0'),
         "44"},
        {{"TRL", "<FRAMING>ASCII4\n<TRAILER>03\n", kNetworkFields}, "0040", "\x03", "0000", "40"},
        {{"NON", "<FRAMING>NONE\n", kNetworkFields}, "", "", "", ""},
        {{"NTP", "<FRAMING>NONE\n<TPDU>6000010002\n<TRAILER>03\n", kNetworkFields},
         tpdu,
         "\x03",
         "",
         ""},
    };
    // An image holds a few controllers with link records: a configuration for
    // each few cases.
    constexpr size_t kBatch = 5;
    for (size_t first = 0; first < std::size(cases); first += kBatch) {
        std::vector<LinkController> controllers;
        PcapWriter pcap;
        std::string expected;
        for (size_t i = first; i < std::min(first + kBatch, std::size(cases)); ++i) {
            const Case& c = cases[i];
            controllers.push_back(c.controller);
            const std::string one = c.header + Network0800("000001") + c.trailer;
            const std::string two = c.header + Network0800("000002") + c.trailer;
            // One message over three segments, the first inside its header;
            // then a keep-alive and two messages in one segment.
            TcpFlow flow(pcap, static_cast<uint16_t>(40001 + i),
                         static_cast<uint16_t>(kFirstPort + (i - first)));
            flow.ToServer(one.substr(0, 1));
            flow.ToServer(one.substr(1, 11));
            flow.ToServer(one.substr(12));
            flow.ToServer(c.keepAlive + two + one);
            const std::string& id = c.controller.id;
            const std::string tpduShown = c.header.size() > 5 || id == "NTP" ? "0x0001" : "";
            auto twice = [](const std::string& v) { return v.empty() ? v : v + "," + v; };
            expected +=
                id + "\t" + c.length + "\t0800\t1211093015\t000001\t301\t" + tpduShown + "\t\n";
            expected += twice(id) + "\t" + (c.keepAlive.empty() ? "" : "0,") + twice(c.length) +
                        "\t0800,0800\t1211093015,1211093015\t000002,000001\t301,301\t" +
                        twice(tpduShown) + "\t" + (c.keepAlive.empty() ? "" : "1") + "\n";
        }
        // velkctl names each framing in words; a FRAMING is read as it says
        // whatever HEADER_LENGTH is
        const std::string said = Generate(controllers, first == 0 ? 4 : 0);
        for (size_t i = first; i < std::min(first + kBatch, std::size(cases)); ++i) {
            const std::string& tags = cases[i].controller.tags;
            std::string words = "framed " + tags.substr(9, tags.find('\n') - 9);
            words += tags.find("COUNTS_ITSELF") != std::string::npos ? " counting itself" : "";
            words += tags.find("TPDU") != std::string::npos ? ", TPDU" : "";
            words += tags.find("TRAILER") != std::string::npos ? ", trailer 03" : "";
            EXPECT_THAT(said,
                        HasSubstr(cases[i].controller.id + " (TCP port " +
                                  std::to_string(kFirstPort + i - first) + "; " + words + ")"));
        }
        EXPECT_EQ(Tshark(pcap,
                         "-Y velk -T fields -e velk.controller -e velk.record_length "
                         "-e velk.mti -e velk.f7 -e velk.f11 -e velk.f70 "
                         "-e velk.tpdu.destination -e velk.keepalive"),
                  expected);
        const std::string detail = Tshark(pcap, "-V -O velk");
        EXPECT_THAT(detail, Not(HasSubstr("Expert Info"))) << detail;
    }
}

TEST_F(DissectorLinkTest, MarksWhatNoFramingCanCarryAndGoesOnWhereTheFramingHolds) {
    Generate({{"BCD", "<FRAMING>BCD2\n", kNetworkFields},
              {"HEX", "<FRAMING>HEX4\n", kNetworkFields},
              {"AS4", "<FRAMING>ASCII4\n<TRAILER>03\n", kNetworkFields},
              {"BI2", "<FRAMING>BIN2\n", kNetworkFields}});
    const std::string message = Network0800("000001");
    struct Case {
        const char* what;
        uint16_t port;
        std::string bytes;
        const char* text;
    } const cases[] = {
        {"a nibble above 9 in a BCD length", kFirstPort, "\x0a\x39" + message,
         "Record length 0A39 is not BCD"},
        {"a HEX4 length with a letter past F", kFirstPort + 1, "00G7" + message,
         "Record length '00G7' is not hexadecimal"},
        {"an ASCII4 length with a letter", kFirstPort + 2, "00x9" + message + "\x03",
         "Record length '00x9' is not decimal digits"},
        {"another trailer", kFirstPort + 2, "0040" + message + "\x04",
         "Trailer 04, not the configured 03"},
        {"a length above the receive buffer", kFirstPort + 3, "\xff\xff" + message,
         "Record length specified : 65535 longer than 4096"},
        {"a record shorter than its message", kFirstPort + 3,
         std::string("\x00\x0a", 2) + message.substr(0, 10),
         "ReadPort: Formatting error 10 bytes in excess"},
    };
    PcapWriter pcap;
    uint16_t clientPort = 40000;
    for (const Case& c : cases) {
        TcpFlow flow(pcap, ++clientPort, c.port);
        flow.ToServer(c.bytes);
    }
    const std::string detail = Tshark(pcap, "-V -O velk");
    for (const Case& c : cases) {
        EXPECT_THAT(detail, HasSubstr(std::string(c.text) + "]")) << c.what;
    }
    // A bad trailer loses no framing: the message after it is decoded.
    PcapWriter after;
    TcpFlow flow(after, 40001, kFirstPort + 2);
    flow.ToServer("0040" + message + "\x04" + "0040" + Network0800("000002") + "\x03");
    EXPECT_EQ(Tshark(after, "-Y velk -T fields -e velk.f11"), "000001,000002\n");
}

// EBCDIC of the digits and upper-case letters A to F, the same in every code
// page.
std::string EbcdicHex(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += static_cast<char>(c <= '9' ? 0xF0 + (c - '0') : 0xC1 + (c - 'A'));
    }
    return out;
}

TEST_F(DissectorLinkTest, ShowsEachEncodingInItsValueFormAndFiltersOnIt) {
    const std::string none = "<FRAMING>NONE\n";
    Generate({
        {"EBC", none + "<MTI_ENCODING>EBCDIC\n<BITMAP_ENCODING>EBCDIC_HEX\n<CODE_PAGE>037\n",
         Field(2, "PAN", 19, 2, "<ENCODING>EBCDIC\n<LENGTH_ENCODING>EBCDIC\n") +
             Field(43, "NAME", 5, 0, "<ENCODING>EBCDIC\n")},
        {"BCD", none + "<MTI_ENCODING>BCD\n<BITMAP_ENCODING>HEX\n",
         Field(2, "PAN", 19, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BCD\n") +
             Field(3, "PROC_CODE", 6, 0, "<ENCODING>BCD\n") +
             Field(35, "TRACK_2", 37, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BCD\n") +
             Field(52, "PIN_BLOCK", 8, 0, "<ENCODING>BINARY\n")},
        {"MIX", none + "<CODE_PAGE>500\n",
         Field(2, "PAN", 19, 2, "<ENCODING>BCD_RIGHT\n<LENGTH_ENCODING>BINARY\n") +
             Field(32, "ACQ_INST_ID", 11, 2, "<ENCODING>BCD_F\n<LENGTH_ENCODING>BCD\n") +
             Field(43, "NAME", 3, 0, "<ENCODING>EBCDIC\n") +
             Field(48, "ADDITIONAL", 999, 3, "<ENCODING>EBCDIC\n<LENGTH_ENCODING>BINARY\n")},
        {"P10", none, Field(43, "NAME", 3, 0, "<ENCODING>EBCDIC\n")},
    });
    // The public test card numbers packed as the BCD forms define: the PAN
    // 378282246310005 as LLVAR BCD padded left is 15 03 78 28 22 46 31 00 05,
    // padded right 15 37 82 ... 00 50, with a binary length byte 0F (15);
    // track 2 4111111111111111=2512101 as LLVAR BCD is 24 41 11 ... D2 51 21
    // 01, the separator the nibble D. From the code page tables: 0800 in
    // EBCDIC is F0 F8 F0 F0; "[" is BA in code page 037, 4A in 500 and AD in
    // 1047, "]" BB, 5A and BD; "x" A7, "y" A8, "a" 81, and "!" 4F in 500.
    PcapWriter pcap;
    TcpFlow ebcdic(pcap, 40001, kFirstPort);
    ebcdic.ToServer("\xF0\xF8\xF0\xF0" + EbcdicHex("4000000000200000") + "\xF1\xF6" +
                    EbcdicHex("4761739001010119") + "\xBA\xC1\xBB\xA7\xA8");
    TcpFlow bcd(pcap, 40002, kFirstPort + 1);
    bcd.ToServer(std::string("\x08\x00", 2) + "6000000020001000" +
                 std::string("\x15\x03\x78\x28\x22\x46\x31\x00\x05", 9) +
                 std::string("\x01\x10\x00", 3) +
                 "\x24\x41\x11\x11\x11\x11\x11\x11\x11\xD2\x51\x21\x01" +
                 "\x01\x23\x45\x67\x89\xAB\xCD\xEF");
    TcpFlow mixed(pcap, 40003, kFirstPort + 2);
    mixed.ToServer("0200" + std::string("\x40\0\0\x01\0\x21\0\0", 8) +
                   std::string("\x0F\x37\x82\x82\x24\x63\x10\x00\x50", 9) + "\x05\x12\x34\x5F" +
                   "\x4A\xC1\x5A" + std::string("\x00\x02\x81\x4F", 4));
    TcpFlow page1047(pcap, 40004, kFirstPort + 3);
    page1047.ToServer("0800" + std::string("\0\0\0\0\0\x20\0\0", 8) + "\xAD\xC1\xBD");

    EXPECT_EQ(Tshark(pcap,
                     "-Y velk -T fields -e velk.controller -e velk.mti -e velk.bitmap "
                     "-e velk.f2 -e velk.f3 -e velk.f32 -e velk.f35 -e velk.f43 -e velk.f48 "
                     "-e velk.f52 -e velk.length_prefix"),
              "EBC\t0800\t4000000000200000\t4761739001010119\t\t\t\t[A]xy\t\t\t16\n"
              "BCD\t0800\t6000000020001000\t378282246310005\t011000\t\t4111111111111111=2512101"
              "\t\t\t0123456789ABCDEF\t15,24\n"
              "MIX\t0200\t4000000100210000\t378282246310005\t\t12345\t\t[A]\ta!\t\t15,05,2\n"
              "P10\t0800\t0000000000200000\t\t\t\t\t[A]\t\t\t\n");
    // Filters and the detail view see the value form.
    EXPECT_EQ(Tshark(pcap, "-Y 'velk.f2 == \"378282246310005\"' -T fields -e velk.controller"),
              "BCD\nMIX\n");
    EXPECT_EQ(Tshark(pcap, "-Y 'velk.f35 == \"4111111111111111=2512101\"' -T fields -e velk.f3"),
              "011000\n");
    const std::vector<std::string> lines = FieldLines(Tshark(pcap, "-V -O velk"));
    for (const char* line : {"2 PAN: 4761739001010119", "43 NAME: [A]xy", "0 Message Id: 0800",
                             "35 TRACK_2: 4111111111111111=2512101", "32 ACQ_INST_ID: 12345",
                             "52 PIN_BLOCK: 0123456789ABCDEF"}) {
        EXPECT_THAT(lines, ::testing::Contains(line));
    }
}

TEST_F(DissectorLinkTest, DecodesBerTlvDataObjectsIntoASubtreeAndNotesMalformedOnes) {
    Generate({{"ICC", "<FRAMING>NONE\n",
               Field(11, "STAN", 6, 0) +
                   Field(55, "ICC_DATA", 255, 3, "<ENCODING>BINARY\n<FIELD_FORMAT>TLV\n")}});
    struct Case {
        const char* what;
        std::string value;
        const char* shown;  // the lines expected, or the note
    } const cases[] = {
        // pyiso8583's documentation: the amount and the PAN sequence number.
        {"one- and two-byte tags",
         std::string("\x9F\x02\x06\x00\x00\x00\x01\x23\x45\x5F\x34\x01\x02", 13),
         "9F02 Amount, Authorised: 000000012345|5F34 Application Primary Account Number (PAN) "
         "Sequence Number: 02"},
        // A GENERATE AC response in format 2: the cryptogram information, the
        // ATC and the cryptogram inside template 77.
        {"constructed 77",
         std::string("\x77\x14\x9F\x27\x01\x80\x9F\x36\x02\x00\x01\x9F\x26\x08"
                     "\x11\x22\x33\x44\x55\x66\x77\x88",
                     22),
         "77 Response Message Template Format 2: 9F2701809F360200019F26081122334455667788|"
         "    9F27 Cryptogram Information Data: 80|"
         "    9F36 Application Transaction Counter (ATC): 0001|"
         "    9F26 Application Cryptogram: 1122334455667788"},
        // Lengths in the long form, of one and of two bytes; an unknown tag.
        {"long-form lengths",
         std::string("\x9F\x10\x81\x07\x06\x01\x0A\x03\xA0\x00\x00"
                     "\x91\x82\x00\x0A\x11\x22\x33\x44\x55\x66\x77\x88\x00\x00"
                     "\xDF\x01\x01\x07",
                     29),
         "9F10 Issuer Application Data: 06010A03A00000|"
         "91 Issuer Authentication Data: 11223344556677880000|DF01: 07"},
        {"a length past the end", std::string("\x9F\x02\x06\x00\x00", 5),
         "BER-TLV at byte 0 of the field: tag 9F02 has length 6, 2 bytes are left"},
        {"a tag cut short", std::string("\x5F\x34\x01\x02\x9F", 5),
         "BER-TLV at byte 4 of the field: tag 9F cut short"},
        {"a long-form length of 5 bytes", std::string("\x9F\x02\x85\x00\x00\x00\x00\x06", 8),
         "BER-TLV at byte 2 of the field: length of tag 9F02 in 5 bytes"},
        {"children overrunning their template", std::string("\x77\x05\x9F\x36\x04\x00\x01", 7),
         "BER-TLV at byte 2 of the field: tag 9F36 has length 4, 2 bytes are left"},
    };
    PcapWriter pcap;
    TcpFlow flow(pcap, 40001, kFirstPort);
    int stan = 0;
    for (const Case& c : cases) {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%03zu", c.value.size());
        char stanText[8];
        std::snprintf(stanText, sizeof stanText, "%06d", ++stan);
        // fields 11 and 55: bit 11 is 0x20 of byte 2, bit 55 0x02 of byte 7
        flow.ToServer("0100" + std::string("\0\x20\0\0\0\0\x02\0", 8) + stanText + prefix +
                      c.value);
    }
    const std::string detail = Tshark(pcap, "-V -O velk");
    // The notes reach the expert information without a tree too.
    const std::string summary = Tshark(pcap, "-q -z expert");
    // The detail view's lines; each message's field 55 follows its STAN.
    const std::vector<std::string> all = SplitLines(detail);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string text = c.shown;
        if (text.rfind("BER-TLV", 0) == 0) {
            EXPECT_THAT(detail, HasSubstr("[Expert Info (Note/Malformed): " + text + "]"))
                << c.what;
            EXPECT_THAT(summary, HasSubstr(text + "\n")) << c.what;
            continue;
        }
        char stanLine[32];
        std::snprintf(stanLine, sizeof stanLine, "11 STAN: %06zu", i + 1);
        size_t at = 0;
        while (at < all.size() && all[at].find(stanLine) == std::string::npos) {
            ++at;
        }
        ASSERT_LT(at + 1, all.size()) << c.what;
        // the field's line, then its objects, each with its tag and length
        // beneath it, then the field's length prefix
        const size_t indent = all[at + 1].find_first_not_of(' ') + 4;
        std::vector<std::string> objects;
        for (size_t j = at + 2; j < all.size() && all[j].size() > indent &&
                                all[j].find("Length prefix: ") == std::string::npos;
             ++j) {
            const std::string line = all[j].substr(indent);
            const size_t start = line.find_first_not_of(' ');
            if (line.compare(start, 4, "Tag:") != 0 && line.compare(start, 7, "Length:") != 0) {
                objects.push_back(line);
            }
        }
        std::vector<std::string> expected;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line, '|');) {
            expected.push_back(line);
        }
        EXPECT_EQ(objects, expected) << c.what;
    }
    // Each object is a field of its own.
    EXPECT_EQ(Tshark(pcap,
                     "-Y 'velk.f55.9f27 == \"80\"' -T fields -e velk.f11 -e velk.f55.9f26 "
                     "-e velk.f55.9f36"),
              "000002\t1122334455667788\t0001\n");
    EXPECT_EQ(Tshark(pcap, "-Y velk.f55.91 -T fields -e velk.f55.9f10 -e velk.f55.tag"),
              "06010A03A00000\t9F10,91,DF01\n");
}

TEST_F(DissectorLinkTest, HostileBytesNeverRaiseALuaError) {
    // A controller of each decoder: BCD lengths and values, hexadecimal and
    // EBCDIC bitmaps, binary prefixes, BER-TLV, a TPDU and a trailer.
    Generate({
        {"BCD",
         "<FRAMING>BCD2\n<TPDU>6000010002\n<TRAILER>03\n<MTI_ENCODING>BCD\n"
         "<BITMAP_ENCODING>HEX\n",
         Field(2, "PAN", 19, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BCD\n") +
             Field(55, "ICC", 255, 3,
                   "<ENCODING>BINARY\n<LENGTH_ENCODING>BINARY\n<FIELD_FORMAT>TLV\n")},
        {"EBC", "<FRAMING>NONE\n<MTI_ENCODING>EBCDIC\n<BITMAP_ENCODING>EBCDIC_HEX\n",
         Field(2, "PAN", 19, 2, "<ENCODING>BCD_F\n<LENGTH_ENCODING>EBCDIC\n") +
             Field(55, "ICC", 255, 3, "<ENCODING>BINARY\n<FIELD_FORMAT>TLV\n")},
        {"HEX", "<FRAMING>HEX4\n", kNetworkFields},
    });
    const std::string tlv("\x77\x0a\x9f\x27\x01\x80\x9f\x36\x82\x00\x01\x01", 12);
    // fields 2 and 55: bit 2 is 0x40 of byte 1, bit 55 0x02 of byte 7
    const std::string bcdBody = std::string("\x02\x00", 2) + "4000000000000200" +
                                std::string("\x15\x03\x78\x28\x22\x46\x31\x00\x05", 9) +
                                std::string("\x00\x0c", 2) + tlv;
    const std::string valid[] = {
        std::string("\x00\x47\x60\x00\x01\x00\x02", 7) + bcdBody + "\x03",
        "\xF0\xF2\xF0\xF0" + EbcdicHex("4000000000000200") + "\xF1\xF5" +
            std::string("\x37\x82\x82\x24\x63\x10\x00\x5F", 8) + "012" + tlv,
        "0027" + Network0800("000001"),
    };
    {
        // what the bytes are made from decodes
        PcapWriter pcap;
        for (size_t c = 0; c < std::size(valid); ++c) {
            TcpFlow flow(pcap, static_cast<uint16_t>(40001 + c),
                         static_cast<uint16_t>(kFirstPort + c));
            flow.ToServer(valid[c]);
        }
        EXPECT_EQ(Tshark(pcap,
                         "-Y velk -T fields -e velk.controller -e velk.f2 -e velk.f55.9f36 "
                         "-e velk.f11"),
                  "BCD\t378282246310005\t01\t\nEBC\t378282246310005\t01\t\nHEX\t\t\t000001\n");
    }
    std::mt19937 random(21);
    auto noise = [&random](size_t n) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i) {
            bytes += static_cast<char>(random() & 0xff);
        }
        return bytes;
    };
    PcapWriter pcap;
    uint16_t clientPort = 40000;
    for (int round = 0; round < 30; ++round) {
        for (size_t c = 0; c < std::size(valid); ++c) {
            TcpFlow flow(pcap, ++clientPort, static_cast<uint16_t>(kFirstPort + c));
            std::string bytes = valid[c];
            for (int flips = round % 5; flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<char>(random() & 0xff);
            }
            bytes = round % 3 == 0 ? noise(1 + random() % 60)
                                   : bytes.substr(0, 1 + random() % bytes.size());
            flow.ToServer(bytes);
            flow.ToServer(noise(random() % 8));
        }
    }
    Tshark(pcap, "-V");
    Tshark(pcap, "-q -z expert");
}

TEST_F(DissectorTest, FlagsPrefixedRecordsWhenWrittenWithoutALengthPrefix) {
    ScopedEnv unset("HEADER_LENGTH", std::nullopt);
    CommandResult run = RunVelkctl("dissector --port 7001=C01 -o velk.lua");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("ISO 8583 length prefix: none (HEADER_LENGTH unset or 0"));
    const std::string request = Make("C01", "0=0200 3=011000 11=000042", 4);
    const std::string response = Make("C01", "0=0210 3=011000 11=000042 39=00", 2);
    PcapWriter pcap;
    TcpFlow flow(pcap, 40001, kC01Port);
    flow.ToServer(request.substr(0, 6));  // over two segments
    flow.ToServer(request.substr(6));
    flow.ToClient(response);
    const std::string detail = Tshark(pcap, "-V -O velk");
    EXPECT_EQ(FieldLines(detail), SplitLines(Show("C01", request, 4) + Show("C01", response, 2)));
    EXPECT_THAT(detail, HasSubstr("Read with a 4-digit length prefix the dissector was not set "
                                  "for: the responder reads it so with HEADER_LENGTH=4"));
    EXPECT_THAT(detail, HasSubstr("Read with a 2-digit length prefix"));
}

TEST(VelkctlDissector, RefusesWhatItCannotDecode) {
    TempRoot root;
    root.WriteConfig(kConfig);
    struct Case {
        const char* arguments;
        const char* says;
    } const cases[] = {
        {"dissector C09", "velkctl: controller C09 is not in the configuration"},
        {"dissector --port 7001", "--port '7001' is not of the form N=CONTROLLER"},
        {"dissector --port 0=C01", "--port '0=C01' is not of the form N=CONTROLLER"},
        {"dissector --port 65536=C01", "--port '65536=C01' is not of the form N=CONTROLLER"},
        {"dissector C01 --port 7001=C09",
         "--port 7001=C09: controller C09 is not in the configuration"},
        {"dissector --port 7001=C01 --port 7001=ZTR", "--port 7001 is given twice"},
        {"dissector -o no/such/folder/velk.lua",
         "velkctl: could not write no/such/folder/velk.lua"},
    };
    for (const Case& c : cases) {
        CommandResult run = RunVelkctl(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_THAT(run.output, HasSubstr(c.says)) << c.arguments;
    }
    // A --port names a controller to decode, ZTR included, beside those named.
    const Case accepted[] = {
        {"dissector C01 --port 7002=ZTR", "both.lua: decodes C01, ZTR (TCP port 7002);"},
        {"dissector ZTR --port 7001=C01", "both.lua: decodes ZTR, C01 (TCP port 7001);"},
    };
    for (const Case& c : accepted) {
        CommandResult run = RunVelkctl(std::string(c.arguments) + " -o both.lua");
        EXPECT_EQ(run.exitCode, 0) << c.arguments << run.output;
        EXPECT_THAT(run.output, HasSubstr(c.says)) << c.arguments;
    }
    // ZTR alone needs no configuration; a controller may follow a --port.
    std::filesystem::remove(root.data() / "velk.cfg");
    CommandResult run = RunVelkctl("dissector --port 7002=ZTR ZTR -o ztr.lua");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("ztr.lua: decodes ZTR (TCP port 7002)"));
}

}  // namespace
