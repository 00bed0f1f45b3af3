#include "tls_fixture.h"

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "sample_exchange.h"

namespace fs = std::filesystem;

void TlsTest::SetUp() {
    certificates_ = &TestCertificates::Get();
    ASSERT_TRUE(certificates_->ok()) << certificates_->why();
    // The transport is under test, not the requests: the sample's field
    // types and message rules would add a findings record to the records
    // each connection is counted by.
    const std::string sample = SampleWithoutDeclarations();
    root_.WriteConfig(
        std::regex_replace(sample, std::regex("<READ_TIMEOUT>[0-9]+"), "<READ_TIMEOUT>1"));
}

void TlsTest::Start(std::map<std::string, std::string> environment) {
    port_ = FreePort();
    std::map<std::string, std::string> all = {
        {"OPERATOR_SCRIPT", VELK_SOURCE_DIR "/data/answer.script"},
        {"VELK_TLS_CERT", Cert("server.pem")},
        {"VELK_TLS_KEY", Cert("server.key")},
    };
    for (auto& [name, value] : environment) {
        all[name] = value;
    }
    responder_ = std::make_unique<ResponderProcess>(root_, std::move(all));
    responder_->Start("C01", std::to_string(port_));
    int fd = ConnectWhenListening(port_, 10);
    ASSERT_GE(fd, 0) << responder_->Stderr();
    ClosePeer(fd);
    // That probe is a connection that ended: its record is the first.
    ASSERT_TRUE(WaitForRecords(1)) << root_.LogText();
}

CommandResult TlsTest::Python(const std::string& action, const std::string& options) const {
    return RunCommand("python3 " VELK_SOURCE_DIR "/tests/tls/tls_client.py " +
                      std::to_string(port_) + " " + action + " --ca " + Cert("ca.pem") +
                      " --request " + kRequestHex + " --expect " + std::to_string(kResponseSize) +
                      " " + options);
}

CommandResult TlsTest::Velkctl(const std::string& options, const std::string& environment) const {
    return RunCommand(environment + " " VELK_BINARY_DIR "/velkctl send C01 127.0.0.1 " +
                      std::to_string(port_) + " 0=0800 70=301 --tls " + options);
}

int TlsTest::RecordCount() const {
    const std::string log = root_.LogText();
    int count = 0;
    for (size_t at = log.find("#####"); at != std::string::npos;
         at = log.find("#####", log.find('\n', at))) {
        ++count;
    }
    return count;
}

bool TlsTest::WaitForRecords(int count) const {
    for (int i = 0; i < 100; ++i) {
        if (RecordCount() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}
