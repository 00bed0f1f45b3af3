#pragma once

#include <filesystem>
#include <string>

// Certificates for the TLS tests, made once per test program with the
// openssl command line in a folder of their own (P-256 keys: quick
// handshakes). Every certificate names localhost and 127.0.0.1 unless it
// says otherwise.
class TestCertificates {
  public:
    // The set, made on first use; empty paths when openssl failed (why()).
    static const TestCertificates& Get();
    ~TestCertificates();

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    bool ok() const { return ok_; }
    const std::string& why() const { return why_; }

    // ca.pem            the CA the responder and the clients trust
    // server.pem/.key   the responder's, from ca.pem
    // client.pem/.key   a client's, from ca.pem
    // rogue-ca.pem      a CA nobody trusts, and
    // rogue.pem/.key    a server or client certificate it signed
    // expired.pem/.key  from ca.pem, expired yesterday
    // wrong-name.pem/.key  from ca.pem, for wrong.example only
    // garbage.pem       a file that holds no PEM at all

  private:
    TestCertificates();
    bool Run(const std::string& commandLine);

    std::filesystem::path folder_;
    bool ok_ = true;
    std::string why_;
};
