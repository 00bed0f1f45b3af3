#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "connection_fixture.h"
#include "os_lowio.h"
#include "scoped_env.h"
#include "vksoc/port/port_entry.h"

namespace {

using OpenPortTest = ConnectionTest;

int OpenFilePort(const char* controllerId) {
    return OpenPort("port.dat", O_RDWR | O_CREAT | plat::OPEN_BINARY, MODE_FILE, controllerId);
}

TEST_F(OpenPortTest, TheFiftyFirstPortIsRefusedAndAClosedEntryIsHandedOutNext) {
    for (int i = 0; i < MAX_PORTS; ++i) {
        ASSERT_EQ(OpenFilePort("ZTR"), i) << GetErrorText();
    }
    EXPECT_EQ(OpenFilePort("ZTR"), -1);
    EXPECT_EQ(GetErrorCode(), ERR_RESOURCE);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                ::testing::MatchesRegex(R"(\[vksoc,\w+\] OpenPort: More than 50 connections used)"
                                        "\n"));

    ClosePort(7);
    ClosePort(30);
    EXPECT_EQ(portTable[7].inUse, 0);
    EXPECT_EQ(OpenFilePort("ZTR"), 7);
    EXPECT_EQ(OpenFilePort("ZTR"), 30);
}

TEST_F(OpenPortTest, OnlyTheFirstThreeCharactersOfTheControllerCount) {
    struct Case {
        const char* id;
        const char* selects;  // "ZTR", the CONTROLLER_ID found, or null for a refusal
        const char* refusal;
    } const cases[] = {
        {"ZTR", "ZTR", nullptr},
        {"ZTRX", "ZTR", nullptr},
        {"C01", "C01", nullptr},
        {"C01XYZ", "C01", nullptr},
        {"C02", "C02", nullptr},
        {"AB", "AB", nullptr},
        {"ABC", nullptr, "OpenPort: Controller: ABC is invalid\n"},
        {"C03", nullptr, "OpenPort: Controller: C03 is invalid\n"},
        {"ZT", nullptr, "OpenPort: Controller: ZT  is invalid\n"},
        {"c01", nullptr, "OpenPort: Controller: c01 is invalid\n"},
    };
    for (const Case& c : cases) {
        ClearError();
        int port = OpenFilePort(c.id);
        if (c.selects != nullptr) {
            ASSERT_GE(port, 0) << c.id << ": " << GetErrorText();
            const FieldSpec* expected =
                std::string(c.selects) == "ZTR" ? nullptr : FindControllerExact(c.selects);
            EXPECT_EQ(portTable[port].format, expected) << c.id;
        } else {
            EXPECT_EQ(port, -1) << c.id;
            EXPECT_EQ(GetErrorCode(), ERR_INVALID);
            EXPECT_EQ(GetErrorSubCode(), 0);
            EXPECT_THAT(GetErrorText(), ::testing::EndsWith(c.refusal));
        }
        CloseAllPorts();
    }
}

TEST_F(OpenPortTest, AnUnconfiguredControllerIsRefusedBeforeAnythingIsOpened) {
    std::remove("port.dat");
    EXPECT_EQ(OpenFilePort("XYZ"), -1);
    EXPECT_FALSE(std::filesystem::exists("port.dat"));
    EXPECT_EQ(portTable[0].inUse, 0);
}

TEST_F(OpenPortTest, HeaderLengthGivesThePrefixWidthOfIso8583PortsOnly) {
    struct Case {
        std::optional<std::string> value;
        int iso8583Width;
    } const cases[] = {
        {std::nullopt, 0}, {"0", 0}, {"-2", -2}, {"abc", 0}, {"7", 0},
        {"4", 4},          {"1", 1}, {"3x", 3},  {"", 0},    {"99999999999999999999", 0},
    };
    for (const Case& c : cases) {
        ScopedEnv env("HEADER_LENGTH", c.value);
        int iso = OpenFilePort("C01");
        int ztr = OpenFilePort("ZTR");
        ASSERT_GE(iso, 0);
        ASSERT_GE(ztr, 0);
        EXPECT_EQ(portTable[iso].headerLength, c.iso8583Width) << c.value.value_or("(unset)");
        EXPECT_EQ(portTable[ztr].headerLength, 0) << c.value.value_or("(unset)");
        CloseAllPorts();
    }
}

TEST_F(OpenPortTest, AFreshEntryStartsEmpty) {
    ScopedEnv env("HEADER_LENGTH", "4");
    int tcpPort = 0;
    int listening = ListeningPort("C01", &tcpPort);
    int file = OpenFilePort("C01");
    ASSERT_GE(file, 0);
    for (int port : {listening, file}) {
        const PortEntry& entry = portTable[port];
        EXPECT_EQ(entry.inUse, 1);
        EXPECT_NE(entry.buffer, nullptr);
        EXPECT_EQ(entry.bufferSize, 4096);
        EXPECT_EQ(entry.readOffset, 0);
        EXPECT_EQ(entry.bytesHeld, 0);
        EXPECT_EQ(entry.headerBytesRead, 0);
        EXPECT_EQ(entry.recordLength, 0);
        EXPECT_EQ(std::string(entry.headerText, 5), std::string(5, '\0'));
    }
    EXPECT_EQ(portTable[listening].mode, 'L');
    EXPECT_EQ(portTable[listening].state, PORT_LISTENING);
    EXPECT_EQ(portTable[file].mode, 'F');
    EXPECT_EQ(portTable[file].state, PORT_IDLE);
}

TEST_F(OpenPortTest, ABindToAPortInUseIsRefusedAndLeavesTheEntryFree) {
    int tcpPort = 0;
    ListeningPort("ZTR", &tcpPort);
    ClearError();
    EXPECT_EQ(OpenPort(nullptr, tcpPort, MODE_LISTEN, "ZTR"), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), WSAEADDRINUSE);
    EXPECT_THAT(GetErrorText(), ::testing::EndsWith("OpenPort: Port " + std::to_string(tcpPort) +
                                                    " already in use\n"));
    EXPECT_EQ(portTable[1].inUse, 0);
}

TEST_F(OpenPortTest, AClosedListeningPortCanBeOpenedAgainAtOnce) {
    int tcpPort = 0;
    int first = ListeningPort("ZTR", &tcpPort);
    {
        Peer peer = Peer::Connect(tcpPort);
        ASSERT_EQ(AcceptConn(first), 0);
        ClosePort(first);
    }
    EXPECT_EQ(OpenPort(nullptr, tcpPort, MODE_LISTEN, "ZTR"), first) << GetErrorText();
}

TEST_F(OpenPortTest, AClientPortConnectsToTheGivenAddressAndPort) {
    Listener listener;
    int port = OpenPort("127.0.0.1", listener.port(), MODE_CONNECT, "ZTR");
    ASSERT_GE(port, 0) << GetErrorText();
    EXPECT_EQ(portTable[port].mode, 'S');
    EXPECT_EQ(portTable[port].state, PORT_IDLE);
    Peer far = listener.Accept();
    far.Send("x");
    char byte = 0;
    EXPECT_EQ(plat::recv(static_cast<SOCKET>(portTable[port].handle), &byte, 1, 0), 1);
    EXPECT_EQ(byte, 'x');
}

TEST_F(OpenPortTest, ClientPortFailuresNameTheirCause) {
    int refusedPort;
    {
        Listener gone;
        refusedPort = gone.port();
    }
    struct Case {
        const char* address;
        int port;
        int code;
        int subCode;
        std::string text;
    } const cases[] = {
        {"127.0.0.1", refusedPort, ERR_CONNECTION, WSAECONNREFUSED,
         "OpenPort: No program running at: [127.0.0.1," + std::to_string(refusedPort) + "]\n"},
        {"999.0.0.1", 7, ERR_INVALID, 0, "OpenPort: Invalid address:       999.0.0.1\n"},
        {"not-an-address-at-all", 7, ERR_INVALID, 0,
         "OpenPort: Invalid address: not-an-address-\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpenPort(c.address, c.port, MODE_CONNECT, "ZTR"), -1) << c.address;
        EXPECT_EQ(GetErrorCode(), c.code) << c.address;
        EXPECT_EQ(GetErrorSubCode(), c.subCode) << c.address;
        EXPECT_THAT(GetErrorText(), ::testing::EndsWith(c.text));
        EXPECT_EQ(portTable[0].inUse, 0);
    }
}

TEST_F(OpenPortTest, AFileThatCannotBeOpenedGivesTheSystemErrorNumber) {
    EXPECT_EQ(OpenPort("no/such/dir/x.dat", O_RDONLY, MODE_FILE, "ZTR"), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), ENOENT);
    EXPECT_THAT(GetErrorText(), ::testing::EndsWith("OpenPort: Error opening no/such/dir/x.dat\n"));
    EXPECT_EQ(portTable[0].inUse, 0);
}

TEST_F(OpenPortTest, AnUnknownModeIsRefused) {
    EXPECT_EQ(OpenPort("x", 0, 'Q', "ZTR"), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(portTable[0].inUse, 0);
}

}  // namespace

TEST_F(OpenPortTest, AListeningAddressThatIsNoAddressIsRefusedByName) {
    struct Case {
        const char* value;
        const char* shown;
    } const cases[] = {
        {"localhost", "localhost"},  // names are not looked up
        {"999.0.0.1", "999.0.0.1"},
        {"127.0.0.1 ", "127.0.0.1 "},
        {"::1\n", "::1\\x0a"},
    };
    for (const Case& c : cases) {
        ScopedEnv bind("VELK_BIND", c.value);
        EXPECT_STREQ(InvalidListenAddress(), c.value);
        EXPECT_EQ(OpenPort(nullptr, 0, MODE_LISTEN, "ZTR"), -1) << c.value;
        EXPECT_EQ(GetErrorCode(), ERR_INVALID) << c.value;
        EXPECT_EQ(GetErrorSubCode(), 0) << c.value;
        EXPECT_THAT(GetErrorText(),
                    ::testing::EndsWith(std::string("OpenPort: VELK_BIND=") + c.shown +
                                        " is not an IPv4 or IPv6 address\n"));
        EXPECT_EQ(portTable[0].inUse, 0);
        ClearError();
    }
    for (const char* good : {"", "0.0.0.0", "::", "fe80::1"}) {
        ScopedEnv bind("VELK_BIND", good);
        EXPECT_EQ(InvalidListenAddress(), nullptr) << good;
    }
}
