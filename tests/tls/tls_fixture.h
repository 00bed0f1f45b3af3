#pragma once

// What the TLS tests share: the real velk-tester on a TLS port with the
// sample configuration (READ_TIMEOUT 1 s, so that stalls end quickly) and
// answer script, the test certificates, and the two clients: velkctl send
// --tls and the independent one of tls_client.py (Python's ssl).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "responder_process.h"
#include "run_command.h"
#include "temp_root.h"
#include "test_certificates.h"

// C01's 0800 with element 70, and the 0810 the answer script gives it, hex.
inline const std::string kRequestHex = "3038303080000000000000000400000000000000333031";
inline const std::string kResponseHex = "30383130800000000200000004000000000000003030333031";
inline constexpr int kResponseSize = 25;

class TlsTest : public ::testing::Test {
  protected:
    void SetUp() override;

    std::string Cert(const std::string& name) const { return certificates_->Path(name); }

    // velk-tester C01 on a TLS port of server.pem, with `environment` on top
    // (an empty value reads as unset).
    void Start(std::map<std::string, std::string> environment = {});
    // Python's client: tls_client.py PORT ACTION --ca ca.pem --request ...
    CommandResult Python(const std::string& action, const std::string& options = "") const;
    // velkctl send --tls with the 0800, and the options; environment: shell
    // assignments for it ("HEADER_LENGTH=4").
    CommandResult Velkctl(const std::string& options, const std::string& environment = "") const;
    // The records of the error log, each "###..." block.
    int RecordCount() const;
    // Waits up to 5 s until the error log holds `count` records.
    bool WaitForRecords(int count) const;

    TempRoot root_;
    const TestCertificates* certificates_ = nullptr;
    int port_ = 0;
    std::unique_ptr<ResponderProcess> responder_;
};
