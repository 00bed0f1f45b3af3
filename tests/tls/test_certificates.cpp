#include "test_certificates.h"

#include <unistd.h>

#include <fstream>

#include "run_command.h"

namespace fs = std::filesystem;

const TestCertificates& TestCertificates::Get() {
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::~TestCertificates() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool TestCertificates::Run(const std::string& commandLine) {
    if (!ok_) {
        return false;
    }
    CommandResult run = RunCommand("cd '" + folder_.string() + "' && " + commandLine);
    if (run.exitCode != 0) {
        ok_ = false;
        why_ = commandLine + ": " + run.output;
    }
    return ok_;
}

TestCertificates::TestCertificates() {
    folder_ = fs::temp_directory_path() / ("velk-tls-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const std::string key = "openssl ecparam -name prime256v1 -genkey -noout -out ";
    auto ca = [&](const std::string& name) {
        return Run(key + name + ".key") &&
               Run("openssl req -x509 -new -key " + name + ".key -days 30 -subj /CN=" + name +
                   " -addext basicConstraints=critical,CA:TRUE -out " + name + ".pem");
    };
    // A leaf certificate signed by `issuer`, valid for `days` (negative:
    // expired), for the names of `san`.
    auto leaf = [&](const std::string& name, const std::string& issuer, int days,
                    const std::string& san) {
        std::ofstream(folder_ / (name + ".ext"))
            << "subjectAltName=" << san << "\nextendedKeyUsage=serverAuth,clientAuth\n";
        return Run(key + name + ".key") &&
               Run("openssl req -new -key " + name + ".key -subj /CN=" + name + " -out " + name +
                   ".csr") &&
               Run("openssl x509 -req -in " + name + ".csr -CA " + issuer + ".pem -CAkey " +
                   issuer + ".key -CAcreateserial -days " + std::to_string(days) + " -extfile " +
                   name + ".ext -out " + name + ".pem 2>/dev/null");
    };
    const std::string local = "DNS:localhost,IP:127.0.0.1";
    ca("ca") && ca("rogue-ca") && leaf("server", "ca", 30, local) &&
        leaf("client", "ca", 30, local) && leaf("rogue", "rogue-ca", 30, local) &&
        leaf("expired", "ca", -1, local) && leaf("wrong-name", "ca", 30, "DNS:wrong.example");
    std::ofstream(folder_ / "garbage.pem") << "this is no certificate\n";
}
