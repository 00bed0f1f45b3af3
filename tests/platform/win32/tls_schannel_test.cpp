// The Schannel backend of the TLS contract, against the openssl command line
// (the certificates, and a TLS server: `s_server -rev` answers each line
// reversed and closes with close_notify on "CLOSE"). Where the system's TLS
// cannot do what a test needs (Wine's has no server and no TLS 1.3), the
// test is skipped with the gap named.

#include "os_sockets.h"  // before windows.h

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "loopback.h"
#include "platform/tls_contract.h"
#include "temp_root.h"

namespace {

namespace fs = std::filesystem;

// A path as the host's programs name it: under Wine a Unix program sees
// Unix paths, which Wine's own kernel32 export gives.
using ToUnix = char*(__cdecl*)(const wchar_t*);
ToUnix WineToUnix() {
    static const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    return toUnix;
}

std::string HostPath(const fs::path& path) {
    const ToUnix toUnix = WineToUnix();
    if (toUnix == nullptr) {
        return path.string();
    }
    char* unix = toUnix(fs::absolute(path).wstring().c_str());
    if (unix == nullptr) {
        return path.string();
    }
    std::string converted = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return converted;
}

// A started host program: its process handle, null for a Unix program
// under Wine, which has none.
struct HostProcess {
    bool started = false;
    HANDLE process = nullptr;
};

// Starts a host command line with its output in log. Under Wine the program
// is a Unix one, started through the shell: Wine hands a Unix program no
// redirected handles of its own.
HostProcess StartHost(const std::string& commandLine, const fs::path& log) {
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    BOOL started;
    if (WineToUnix() != nullptr) {
        std::string line =
            "/bin/sh -c \"exec " + commandLine + " </dev/null >'" + HostPath(log) + "' 2>&1\"";
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &start, &process);
    } else {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE output = CreateFileA(log.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, 0, nullptr);
        HANDLE input = CreateFileA("NUL", GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr);
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = input;
        start.hStdOutput = output;
        start.hStdError = output;
        std::string line = commandLine;
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &start, &process);
        CloseHandle(output);
        CloseHandle(input);
    }
    if (!started) {
        return {};
    }
    if (process.hThread != nullptr) {
        CloseHandle(process.hThread);
    }
    return {true, process.hProcess};
}

// Runs a host command line until file holds marker, at most 30 s: under
// Wine a Unix program's process can neither be waited for nor asked for its
// exit code, so what it wrote is the only sign that it is done.
bool RunHostUntil(const std::string& commandLine, const fs::path& log, const fs::path& file,
                  const std::string& marker) {
    const HostProcess host = StartHost(commandLine, log);
    if (!host.started) {
        return false;
    }
    if (host.process != nullptr) {
        CloseHandle(host.process);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        std::error_code missing;
        if (fs::exists(file, missing) && ReadFile(file).find(marker) != std::string::npos) {
            // The program may still be closing its other files.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The certificates of every test: a CA, a server certificate for localhost
// from it, an expired one, one for another name, one from a CA nobody
// trusts, and a client certificate.
class Certificates {
  public:
    // Made once and kept for the test programs that follow (each test runs
    // in a program of its own, and RSA keys take a while): a named mutex
    // lets one program make them while the others wait.
    bool Make() {
        dir_ = fs::temp_directory_path() / "velk-tls-test-certificates";
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "velk-tls-test-certificates");
        WaitForSingleObject(mutex, 120000);
        const bool made = MakeOnce();
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return made;
    }
    bool MakeOnce() {
        std::error_code ignored;
        const fs::path ready = dir_ / "ready";
        const bool fresh = fs::exists(ready, ignored) &&
                           fs::file_time_type::clock::now() - fs::last_write_time(ready, ignored) <
                               std::chrono::hours(24 * 20);
        if (!fresh) {
            fs::remove_all(dir_, ignored);
        }
        fs::create_directories(dir_);
        for (const char* candidate : {"/usr/bin/openssl", "openssl"}) {
            if (RunHostUntil(std::string(candidate) + " version", dir_ / "version.log",
                             dir_ / "version.log", "OpenSSL")) {
                openssl_ = candidate;
                break;
            }
        }
        if (openssl_.empty()) {
            why_ = "no openssl command line";
            return false;
        }
        if (fresh) {
            return true;
        }
        const bool made =
            Ca("ca") && Ca("other-ca") && Leaf("server", "ca", "localhost", "30") &&
            Leaf("expired", "ca", "localhost", "-1") &&
            Leaf("wrong-name", "ca", "other.example", "30") &&
            Leaf("stranger", "other-ca", "localhost", "30") &&
            Leaf("client", "ca", "client", "30") &&
            Run("genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + HostFile("ec.key"),
                "ec.key");
        if (made) {
            WriteFile(ready, "the certificates of the Schannel tests\n");
        }
        return made;
    }
    void Remove() const {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // A file as this program names it, and as the host's openssl does.
    std::string File(const std::string& name) const { return (dir_ / name).string(); }
    std::string HostFile(const std::string& name) const { return HostPath(dir_ / name); }
    const std::string& openssl() const { return openssl_; }
    const fs::path& dir() const { return dir_; }
    const std::string& why() const { return why_; }

  private:
    bool Run(const std::string& arguments, const std::string& makes) {
        if (!RunHostUntil(openssl_ + " " + arguments, dir_ / "openssl.log", dir_ / makes,
                          "-----END")) {
            why_ = "openssl " + arguments + " made no " + makes + ": " +
                   ReadFile(dir_ / "openssl.log");
            return false;
        }
        return true;
    }
    bool Ca(const std::string& name) {
        return Run("req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=" + name + " -keyout " +
                       HostFile(name + ".key") + " -out " + HostFile(name + ".pem"),
                   name + ".pem");
    }
    bool Leaf(const std::string& name, const std::string& ca, const std::string& cn,
              const std::string& days) {
        const std::string names = name == "server" ? "DNS:localhost,IP:127.0.0.1" : "DNS:" + cn;
        WriteFile(dir_ / (name + ".ext"), "subjectAltName=" + names + "\n");
        return Run("req -newkey rsa:2048 -nodes -subj /CN=" + cn + " -keyout " +
                       HostFile(name + ".key") + " -out " + HostFile(name + ".csr"),
                   name + ".csr") &&
               Run("x509 -req -in " + HostFile(name + ".csr") + " -CA " + HostFile(ca + ".pem") +
                       " -CAkey " + HostFile(ca + ".key") + " -CAcreateserial -days " + days +
                       " -extfile " + HostFile(name + ".ext") + " -out " + HostFile(name + ".pem"),
                   name + ".pem");
    }

    fs::path dir_;
    std::string openssl_;
    std::string why_;
};

std::string missingCertificates;

Certificates* certificates = nullptr;

// `openssl s_server -rev` for one connection on a port the system handed out.
class OpensslServer {
  public:
    OpensslServer(const std::string& leaf, const std::string& options)
        : port_(FreePort()),
          log_(certificates->dir() / ("s_server-" + std::to_string(port_) + ".log")) {
        const Certificates& c = *certificates;
        // A Unix s_server outlives a test that never connects: bounded.
        const std::string bound = c.openssl()[0] == '/' ? "/usr/bin/timeout 60 " : "";
        process_ = StartHost(bound + c.openssl() + " s_server -rev -naccept 1 -accept 127.0.0.1:" +
                                 std::to_string(port_) + " -cert " + c.HostFile(leaf + ".pem") +
                                 " -key " + c.HostFile(leaf + ".key") + " " + options,
                             log_)
                       .process;
    }
    ~OpensslServer() {
        if (process_ != nullptr) {
            TerminateProcess(process_, 0);
            WaitForSingleObject(process_, 5000);
            CloseHandle(process_);
        }
        std::error_code ignored;
        fs::remove(log_, ignored);
    }
    int port() const { return port_; }
    // A non-blocking socket connected to it, or INVALID_SOCKET.
    SOCKET Connect() const { return ConnectNonBlocking(port_); }
    static SOCKET ConnectNonBlocking(int port) {
        const int fd = ConnectWhenListening(port, 10);
        if (fd < 0) {
            return INVALID_SOCKET;
        }
        const auto s = static_cast<SOCKET>(fd);
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
        return s;
    }

  private:
    int port_;
    fs::path log_;
    HANDLE process_ = nullptr;
};

// Calls step until it no longer asks to wait, waiting on s as it asks; at
// most 10 s.
template <typename Step>
int Drive(SOCKET s, Step step) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int result;
    while ((result = step()) == plat::TLS_WANT_READ || result == plat::TLS_WANT_WRITE) {
        if (std::chrono::steady_clock::now() > end) {
            return result;
        }
        plat::WaitEntry entry{
            s, result == plat::TLS_WANT_READ, result == plat::TLS_WANT_WRITE, false, false, false};
        plat::WaitSockets(&entry, 1, 100);
    }
    return result;
}

struct Client {
    plat::TlsClientContext* context = nullptr;
    plat::TlsSession* session = nullptr;
    SOCKET socket = INVALID_SOCKET;
    char error[plat::TLS_ERROR_TEXT_SIZE] = "";

    explicit Client(const plat::TlsClientSettings& settings) {
        context = plat::NewTlsClient(settings, error, sizeof error);
    }
    ~Client() {
        plat::TlsClose(session);
        if (socket != INVALID_SOCKET) {
            closesocket(socket);
        }
        plat::FreeTlsClient(context);
    }
    // Connects to s and runs the handshake: its result.
    int Handshake(SOCKET s, const char* serverName = "localhost") {
        socket = s;
        session = plat::NewTlsClientSession(context, s, serverName, error, sizeof error);
        return Drive(s, [&] { return plat::TlsHandshake(session); });
    }
    std::string Error() const { return session != nullptr ? plat::TlsError(session) : error; }
    int Write(const std::string& text) {
        return Drive(socket, [&] {
            return plat::TlsWrite(session, text.data(), static_cast<int>(text.size()));
        });
    }
    int Read(char* buffer, int length) {
        return Drive(socket, [&] { return plat::TlsRead(session, buffer, length); });
    }
};

plat::TlsClientSettings Trusting(const std::string& ca = "ca") {
    plat::TlsClientSettings settings;
    static std::string file;
    file = certificates->File(ca + ".pem");
    settings.caFile = file.c_str();
    return settings;
}

class SchannelTls : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        certificates = new Certificates;
        if (!certificates->Make()) {
            missingCertificates = certificates->why();
            certificates->Remove();
            delete certificates;
            certificates = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete certificates;
        certificates = nullptr;
    }
    void SetUp() override {
        if (certificates == nullptr) {
            GTEST_SKIP() << "the test certificates and TLS server need the openssl command "
                            "line: "
                         << missingCertificates;
        }
    }
};

TEST_F(SchannelTls, ClientExchangesRecordsReadInSmallPiecesAndSeesCloseNotify) {
    OpensslServer server("server", "-tls1_2");
    Client client(Trusting());
    ASSERT_NE(client.context, nullptr) << client.error;
    ASSERT_EQ(client.Handshake(server.Connect()), 0) << client.Error();
    EXPECT_STREQ(plat::TlsProtocol(client.session), "TLSv1.2");
    // Nothing sent yet: a read asks to wait, and never waits itself (the
    // handshake's sends left the socket non-blocking).
    char nothing[8];
    EXPECT_EQ(plat::TlsRead(client.session, nothing, sizeof nothing), plat::TLS_WANT_READ);

    ASSERT_EQ(client.Write("hello, responder\n"), 17);
    // A small read leaves the rest held, and TlsPending says so.
    char buffer[64];
    ASSERT_EQ(client.Read(buffer, 4), 4);
    std::string reply(buffer, 4);
    EXPECT_GT(plat::TlsPending(client.session), 0);
    while (reply.size() < 17) {
        const int got = client.Read(buffer, sizeof buffer);
        ASSERT_GT(got, 0) << client.Error();
        reply.append(buffer, static_cast<size_t>(got));
    }
    EXPECT_EQ(reply, "rednopser ,olleh\n");

    ASSERT_EQ(client.Write("CLOSE\n"), 6);
    EXPECT_EQ(client.Read(buffer, sizeof buffer), 0) << client.Error();
}

// Between the client and the server a relay hands on the server's bytes
// one at a time: every handshake message and record is whole only after
// many reads.
TEST_F(SchannelTls, ClientCopesWithEveryByteOfTheServerArrivingAlone) {
    OpensslServer server("server", "-tls1_2");
    Listener relay;
    std::thread pump([&] {
        Peer near = relay.Accept();
        const int up = ConnectWhenListening(server.port(), 10);
        if (up < 0) {
            return;
        }
        Peer far(static_cast<SOCKET>(up));
        for (;;) {
            plat::WaitEntry entries[2] = {{near.socket(), true, false, false, false, false},
                                          {far.socket(), true, false, false, false, false}};
            if (plat::WaitSockets(entries, 2, 10000) <= 0) {
                return;
            }
            char bytes[4096];
            if (entries[0].readable) {
                const int got = plat::recv(near.socket(), bytes, sizeof bytes, 0);
                if (got <= 0) {
                    return;
                }
                far.Send(std::string(bytes, static_cast<size_t>(got)));
            }
            if (entries[1].readable) {
                if (plat::recv(far.socket(), bytes, 1, 0) <= 0) {
                    return;
                }
                near.Send(std::string(bytes, 1));
            }
        }
    });
    {
        Client client(Trusting());
        ASSERT_NE(client.context, nullptr) << client.error;
        ASSERT_EQ(client.Handshake(OpensslServer::ConnectNonBlocking(relay.port())), 0)
            << client.Error();
        ASSERT_EQ(client.Write("split\n"), 6);
        std::string reply;
        char buffer[64];
        while (reply.size() < 6) {
            const int got = client.Read(buffer, sizeof buffer);
            ASSERT_GT(got, 0) << client.Error();
            reply.append(buffer, static_cast<size_t>(got));
        }
        EXPECT_EQ(reply, "tilps\n");
        ASSERT_EQ(client.Write("CLOSE\n"), 6);
        EXPECT_EQ(client.Read(buffer, sizeof buffer), 0) << client.Error();
    }
    pump.join();
}

TEST_F(SchannelTls, ClientRefusesServerCertificatesThatDoNotVerify) {
    struct Case {
        const char* leaf;
        const char* serverName;
        const char* reason;
    };
    const Case cases[] = {
        {"stranger", "localhost", "certificate verify failed: unable to get local issuer"},
        {"expired", "localhost", "certificate verify failed: certificate has expired"},
        {"wrong-name", "localhost", "certificate verify failed: hostname mismatch"},
        {"wrong-name", "127.0.0.1", "certificate verify failed: IP address mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leaf);
        OpensslServer server(c.leaf, "-tls1_2");
        Client client(Trusting());
        ASSERT_NE(client.context, nullptr) << client.error;
        EXPECT_EQ(client.Handshake(server.Connect(), c.serverName), plat::TLS_FAILED);
        EXPECT_NE(client.Error().find(c.reason), std::string::npos) << client.Error();
    }
    // The server's address verifies when its certificate carries it.
    {
        OpensslServer server("server", "-tls1_2");
        Client client(Trusting());
        EXPECT_EQ(client.Handshake(server.Connect(), "127.0.0.1"), 0) << client.Error();
    }
    // And nothing when told not to verify at all.
    OpensslServer server("stranger", "-tls1_2");
    plat::TlsClientSettings insecure;
    insecure.insecure = true;
    Client client(insecure);
    EXPECT_EQ(client.Handshake(server.Connect()), 0) << client.Error();
}

TEST_F(SchannelTls, ClientPresentsItsCertificateWhenTheServerRequiresOne) {
    const std::string options = "-tls1_2 -Verify 1 -CAfile " + certificates->HostFile("ca.pem");
    {
        OpensslServer server("server", options);
        plat::TlsClientSettings settings = Trusting();
        const std::string cert = certificates->File("client.pem");
        const std::string key = certificates->File("client.key");
        settings.certFile = cert.c_str();
        settings.keyFile = key.c_str();
        Client client(settings);
        ASSERT_NE(client.context, nullptr) << client.error;
        ASSERT_EQ(client.Handshake(server.Connect()), 0) << client.Error();
        ASSERT_EQ(client.Write("mtls\n"), 5);
        char buffer[16];
        EXPECT_EQ(client.Read(buffer, sizeof buffer), 5) << client.Error();
    }
    {
        OpensslServer server("server", options);
        Client client(Trusting());
        int result = client.Handshake(server.Connect());
        if (result == 0) {
            // Under TLS 1.3 the refusal comes after the client's Finished.
            char buffer[16];
            result = client.Read(buffer, sizeof buffer);
        }
        EXPECT_EQ(result, plat::TLS_FAILED);
        EXPECT_FALSE(client.Error().empty());
    }
}

TEST_F(SchannelTls, ClientFailsAgainstPeersThatDoNotSpeakTls) {
    for (const char* answer : {"", "HTTP/1.0 400 Bad Request\r\n\r\n"}) {
        SCOPED_TRACE(answer);
        Listener listener;
        Client client(Trusting());
        ASSERT_NE(client.context, nullptr) << client.error;
        const int fd = ConnectWhenListening(listener.port(), 5);
        ASSERT_GE(fd, 0);
        Peer far = listener.Accept();
        far.Send(answer);
        far.Close();
        const auto s = static_cast<SOCKET>(fd);
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
        EXPECT_EQ(client.Handshake(s), plat::TLS_FAILED);
        EXPECT_FALSE(client.Error().empty());
    }
}

TEST_F(SchannelTls, ClientRefusesAServerBelowItsMinimumVersion) {
    {
        OpensslServer server("server", "-tls1_1 -cipher DEFAULT@SECLEVEL=0");
        Client client(Trusting());
        ASSERT_NE(client.context, nullptr) << client.error;
        EXPECT_EQ(client.Handshake(server.Connect()), plat::TLS_FAILED);
    }
    plat::TlsClientSettings settings = Trusting();
    settings.minVersion = plat::TlsMinVersion::Tls13;
    Client client(settings);
    if (client.context == nullptr) {
        GTEST_SKIP() << "this system's Schannel cannot enable TLS 1.3 (Wine 8 offers TLS 1.2 "
                        "at most): "
                     << client.error;
    }
    OpensslServer server("server", "-tls1_2");
    EXPECT_EQ(client.Handshake(server.Connect()), plat::TLS_FAILED);
}

TEST_F(SchannelTls, ContextsNameTheFileThatCannotBeUsed) {
    const std::string missing = certificates->File("missing.pem");
    const std::string key = certificates->File("server.key");
    const std::string cert = certificates->File("server.pem");
    const std::string otherKey = certificates->File("client.key");
    const std::string ecKey = certificates->File("ec.key");
    const std::string notCert = certificates->File("server.ext");
    struct Case {
        std::string certFile, keyFile, caFile, text;
    };
    const Case cases[] = {
        {missing, key, "", "cannot read certificate file " + missing + ": No such file"},
        {notCert, key, "", "cannot read certificate file " + notCert + ": "},
        {cert, missing, "", "cannot read key file " + missing + ": No such file"},
        {cert, otherKey, "", "key file " + otherKey + " does not match certificate file " + cert},
        {cert, ecKey, "", "cannot read key file " + ecKey + ": not an RSA key"},
        {cert, key, missing, "cannot read CA file " + missing + ": No such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        plat::TlsServerSettings settings;
        settings.certFile = c.certFile.c_str();
        settings.keyFile = c.keyFile.c_str();
        settings.caFile = c.caFile.c_str();
        char error[plat::TLS_ERROR_TEXT_SIZE] = "";
        plat::TlsServerContext* context = plat::NewTlsServer(settings, error, sizeof error);
        EXPECT_EQ(context, nullptr);
        plat::FreeTlsServer(context);
        EXPECT_EQ(std::string(error).rfind(c.text, 0), 0u) << error;
    }
}

TEST_F(SchannelTls, ServerAnswersAClientAndRequiresItsCertificateUnderACa) {
    const std::string cert = certificates->File("server.pem");
    const std::string key = certificates->File("server.key");
    const std::string ca = certificates->File("ca.pem");
    plat::TlsServerSettings settings;
    settings.certFile = cert.c_str();
    settings.keyFile = key.c_str();
    settings.caFile = ca.c_str();
    char error[plat::TLS_ERROR_TEXT_SIZE] = "";
    plat::TlsServerContext* context = plat::NewTlsServer(settings, error, sizeof error);
    if (context == nullptr &&
        std::string(error).find("SEC_E_UNSUPPORTED_FUNCTION") != std::string::npos) {
        GTEST_SKIP() << "this system's Schannel has no TLS server (Wine 8: no "
                        "AcceptSecurityContext): "
                     << error;
    }
    ASSERT_NE(context, nullptr) << error;

    for (const bool withCertificate : {true, false}) {
        SCOPED_TRACE(withCertificate ? "with a client certificate" : "without");
        LoopbackPair pair;
        for (SOCKET s : {pair.near, pair.far}) {
            u_long on = 1;
            ioctlsocket(s, FIONBIO, &on);
        }
        plat::TlsClientSettings clientSettings = Trusting();
        const std::string clientCert = certificates->File("client.pem");
        const std::string clientKey = certificates->File("client.key");
        if (withCertificate) {
            clientSettings.certFile = clientCert.c_str();
            clientSettings.keyFile = clientKey.c_str();
        }
        Client client(clientSettings);
        ASSERT_NE(client.context, nullptr) << client.error;
        client.socket = pair.near;
        pair.near = INVALID_SOCKET;
        client.session =
            plat::NewTlsClientSession(client.context, client.socket, "localhost", error, 256);
        plat::TlsSession* server = plat::NewTlsServerSession(context, pair.far, error, 256);
        // Both ends in one thread: turns until neither asks to wait.
        int clientResult = plat::TLS_WANT_READ;
        int serverResult = plat::TLS_WANT_READ;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        auto waiting = [](int result) { return result < 0 && result != plat::TLS_FAILED; };
        while (waiting(serverResult) ||
               (waiting(clientResult) && serverResult == plat::TLS_WANT_READ)) {
            ASSERT_LT(std::chrono::steady_clock::now(), end);
            if (clientResult < 0 && clientResult != plat::TLS_FAILED) {
                clientResult = plat::TlsHandshake(client.session);
            }
            if (serverResult < 0 && serverResult != plat::TLS_FAILED) {
                serverResult = plat::TlsHandshake(server);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (withCertificate) {
            ASSERT_EQ(serverResult, 0) << plat::TlsError(server);
            ASSERT_EQ(clientResult, 0) << client.Error();
            ASSERT_EQ(client.Write("ping"), 4);
            char buffer[8];
            EXPECT_EQ(Drive(pair.far, [&] { return plat::TlsRead(server, buffer, 8); }), 4);
            plat::TlsClose(client.session);
            client.session = nullptr;
            EXPECT_EQ(Drive(pair.far, [&] { return plat::TlsRead(server, buffer, 8); }), 0)
                << plat::TlsError(server);
        } else {
            EXPECT_EQ(serverResult, plat::TLS_FAILED);
            EXPECT_FALSE(std::string(plat::TlsError(server)).empty());
        }
        plat::TlsClose(server);
    }
    plat::FreeTlsServer(context);
}

}  // namespace
