// Running into the system's resource limits, which only POSIX lets a
// process lower for itself.

#include <sys/resource.h>

#include <cerrno>
#include <csignal>

#include "os_lowio.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/send_msg.h"

namespace {

using OpenPortTest = ConnectionTest;
using SendMsgTest = ConnectionTest;
using AcceptConnTest = ConnectionTest;

// Lowers the descriptor limit to the descriptors now open, so that the next
// socket the process asks for is refused.
class DescriptorLimit {
  public:
    DescriptorLimit() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        int probe = plat::_open("/dev/null", O_RDONLY, 0);
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(probe);
        plat::_close(probe);
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }

  private:
    rlimit saved_{};
};

TEST_F(OpenPortTest, RunningOutOfDescriptorsIsAResourceFailureForEitherSocketKind) {
    Listener listener;
    for (char mode : {MODE_LISTEN, MODE_CONNECT}) {
        {
            DescriptorLimit limit;
            EXPECT_EQ(OpenPort("127.0.0.1", mode == MODE_LISTEN ? 0 : listener.port(), mode, "ZTR"),
                      -1);
        }
        EXPECT_EQ(GetErrorCode(), ERR_RESOURCE);
        EXPECT_EQ(GetErrorSubCode(), WSAEMFILE);
        EXPECT_THAT(GetErrorText(), ::testing::EndsWith("OpenPort: No resources to get socket\n"));
        EXPECT_EQ(portTable[0].inUse, 0);
    }
}

TEST_F(SendMsgTest, AWriteTheSystemCutsShortIsNotReportedAsSent) {
    // With a file size limit of 50 bytes the system takes the first 50 bytes
    // of the 84-byte message and refuses the rest.
    std::signal(SIGXFSZ, SIG_IGN);
    int port = OpenPort("short.dat", O_WRONLY | O_CREAT | O_TRUNC, MODE_FILE, "ZTR");
    ASSERT_GE(port, 0) << GetErrorText();
    TestMessage message{{4, "BINQ"}};
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 50;
    setrlimit(RLIMIT_FSIZE, &limited);
    int result = SendMsg(port, message.fields());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), EFBIG);
    EXPECT_THAT(GetErrorText(), ::testing::EndsWith("SendMsg: Write failed\n"));
    EXPECT_EQ(ReadFile("short.dat").size(), 50u);
}

TEST_F(AcceptConnTest, RunningOutOfDescriptorsIsAResourceFailureAndTheControllerStillWaits) {
    int tcpPort = 0;
    int port = ListeningPort("ZTR", &tcpPort);
    Peer peer = Peer::Connect(tcpPort);
    {
        DescriptorLimit limit;
        EXPECT_EQ(AcceptConn(port), -1);
    }
    EXPECT_EQ(GetErrorCode(), ERR_RESOURCE);
    EXPECT_EQ(GetErrorSubCode(), WSAEMFILE);
    EXPECT_THAT(GetErrorText(),
                ::testing::EndsWith("AcceptConn: No resources to accept connection\n"));
    EXPECT_EQ(portTable[port].state, PORT_LISTENING);
    EXPECT_EQ(AcceptConn(port), 0) << GetErrorText();
}

}  // namespace
