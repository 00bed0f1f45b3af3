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
