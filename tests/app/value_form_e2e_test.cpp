// Value forms end to end: the real velk-tester with an operator script for a
// controller with BCD, EBCDIC and BINARY fields (encoded_controller.h),
// driven by plain bytes on a socket and by velkctl, both speaking value forms
// where a person or a script does and the wire where the link does.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "encoded_controller.h"
#include "responder_process.h"
#include "run_command.h"
#include "sample_exchange.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

// Answers by the digits of BCD fields and the hexadecimal of a BINARY one.
constexpr const char* kScript = R"(on 0=0200 3=011000 52=0123* 4<=000000010000
  set 0 0210
  set 39 00
  set 52 ${52:8:8}${52:0:8}
  set 43 ${4:6:6} GRANTED
  respond
on 0=0200 3=011000 4>000000010000
  set 0 0210
  set 39 51
  respond
on 0=0200 52=
  set 0 0210
  set 52 00000000000000zz
  respond
)";

// The request: MTI 0200, a binary bitmap of 2, 3, 4 and 52, a PAN of 16 BCD
// digits after its length byte, processing code and amount in BCD, the PIN
// block as 8 bytes.
std::string Request(const std::string& amount) {
    return std::string("0200") + Bytes({0x70, 0, 0, 0, 0, 0, 0x10, 0}) +
           Bytes({0x10, 0x47, 0x61, 0x73, 0x90, 0x01, 0x01, 0x01, 0x19}) +
           Bytes({0x01, 0x10, 0x00}) + amount +
           Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
}

class ValueFormE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string config = ReadFile(kSampleConfig);
        config.insert(config.find("</CONTROLLER_PARAMS_LIST>"), EncodedControllerText());
        WriteFile(root_.data() / "velk.cfg", config);
        WriteFile(root_.root() / "test.script", kScript);
        fs::create_directories(root_.root() / "work");
        port_ = FreePort();
        responder_ = std::make_unique<ResponderProcess>(
            root_, std::map<std::string, std::string>{
                       {"OPERATOR_SCRIPT", (root_.root() / "test.script").string()},
                       {"DUMP_RECV_FLDS", "Y"},
                       {"DUMP_RECV_BYTES", "Y"}});
        responder_->Start(ENCODED_CONTROLLER, std::to_string(port_));
    }

    CommandResult Velkctl(const std::string& arguments) {
        return RunCommand("cd '" + (root_.root() / "work").string() +
                          "' && " VELK_BINARY_DIR "/velkctl " + arguments);
    }

    TempRoot root_;
    int port_ = 0;
    std::unique_ptr<ResponderProcess> responder_;
};

TEST_F(ValueFormE2E, ScriptConditionsAndSetWorkOnTheDigitsAndTheHexadecimal) {
    int peer = ConnectWhenListening(port_, 10);
    ASSERT_GE(peer, 0);
    SendAll(peer, Request(Bytes({0, 0, 0, 0, 0x12, 0x34})));
    // 0210, the bitmap now with 39 and 43, the request's fields, 39 as EBCDIC
    // "00", 43 as EBCDIC text after its length byte, and the halves of the
    // PIN block swapped by the rule.
    const std::string approved = std::string("0210") + Bytes({0x70, 0, 0, 0, 0x02, 0x20, 0x10, 0}) +
                                 Bytes({0x10, 0x47, 0x61, 0x73, 0x90, 0x01, 0x01, 0x01, 0x19}) +
                                 Bytes({0x01, 0x10, 0x00}) + Bytes({0, 0, 0, 0, 0x12, 0x34}) +
                                 Bytes({0xF0, 0xF0}) +
                                 Bytes({0x0E, 0xF0, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0x40, 0xC7, 0xD9,
                                        0xC1, 0xD5, 0xE3, 0xC5, 0xC4}) +
                                 Bytes({0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67});
    EXPECT_EQ(ReceiveBytes(peer, approved.size()), approved);

    // The amount's digits compare as a number.
    SendAll(peer, Request(Bytes({0, 0, 0, 0x10, 0, 0x01})));
    const std::string declined = std::string("0210") + Bytes({0x70, 0, 0, 0, 0x02, 0, 0x10, 0}) +
                                 Bytes({0x10, 0x47, 0x61, 0x73, 0x90, 0x01, 0x01, 0x01, 0x19}) +
                                 Bytes({0x01, 0x10, 0x00}) + Bytes({0, 0, 0, 0x10, 0, 0x01}) +
                                 Bytes({0xF5, 0xF1}) +
                                 Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
    EXPECT_EQ(ReceiveBytes(peer, declined.size()), declined);
    ClosePeer(peer);

    // The field dump shows the value forms, the byte dump the wire.
    const std::string log = root_.LogText();
    for (const char* line : {"Field 002: 4761739001010119\n", "Field 003: 011000\n",
                             "Field 004: 000000001234\n", "Field 052: 0123456789ABCDEF\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    }
    for (const char* wire : {"70 00 00 00 00 00 10 00 10 47 61 73", "45 67 89 ab cd ef"}) {
        EXPECT_NE(log.find(wire), std::string::npos) << wire << log;
    }
}

TEST_F(ValueFormE2E, VelkctlSendsAndPrintsValueFormsAndARefusedSetSendsNothing) {
    CommandResult run =
        Velkctl("send E01 127.0.0.1 " + std::to_string(port_) +
                " 0=0200 2=4761739001010119 3=011000 4=000000001234 52=0123456789abcdef");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line :
         {"2 Primary Account Number: 4761739001010119\n", "4 Amount: 000000001234\n",
          "39 Response Code: 00\n", "43 Card Acceptor: 001234 GRANTED\n",
          "52 PIN Data: 89ABCDEF01234567\n"}) {
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    }

    // A value form its field cannot take is refused before anything is sent.
    run = Velkctl("send E01 127.0.0.1 " + std::to_string(port_) + " 0=0200 3=01A000 --timeout 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("non-digit 'A' in a BCD value"), std::string::npos) << run.output;

    // The rule's set is refused when Respond reads the box back: the reason
    // on standard error, no answer.
    run = Velkctl("send E01 127.0.0.1 " + std::to_string(port_) + " 0=0200 3=011000 --timeout 1");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    responder_->Stop();
    EXPECT_NE(responder_->Stderr().find("VELK Tester: Field 52 PIN Data: non-hexadecimal "
                                        "character 'z' in a BINARY value\n"),
              std::string::npos)
        << responder_->Stderr();
}

}  // namespace
