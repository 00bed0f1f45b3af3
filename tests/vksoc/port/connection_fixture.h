#pragma once

// What the connection-layer tests share: a configuration with a few
// controllers loaded from a temporary root, a loopback peer, messages built
// by the codec, and a port table that is empty again after every test.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "config_text.h"
#include "diag/error_state.h"
#include "diag/message_fields.h"
#include "loopback.h"
#include "os_sockets.h"
#include "temp_root.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_socket.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

struct Field {
    int n;
    std::string value;
};

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // OpenPort 'L' on a port the system chose, a Peer connected to it, and
    // AcceptConn: returns the accepted port handle.
    int AcceptedPort(const char* controllerId, Peer* peer);
    int ListeningPort(const char* controllerId, int* tcpPort);

    TempRoot root_;
};

// C01: 2 (LLVAR 19), 3 (6), 4 (12), 11 (6), 39 (2), 41 (8), 70 (3), 120
// (LLLVAR 999). AB: a two-character identifier with 3 and 39. C02: 3 and 39
// only, differing from C01 in the third character.
inline std::string TestConfigText(int readTimeout = 1) {
    return "<VELK_CONFIGURATION>\n"
           "<MISCELLANEOUS>\n<HOST_TIMEOUT>30\n<READ_TIMEOUT>" +
           std::to_string(readTimeout) +
           "\n<UPLOAD_TIMEOUT>60\n<SWITCH_TIMEOUT>30\n<TRACE_FLAG>N\n</MISCELLANEOUS>\n"
           "<CONTROLLER_PARAMS_LIST>\n"
           "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n<FIELD_SPEC_LIST>\n" +
           FieldText(2, "PAN", 19, 2) + FieldText(3, "PROC_CODE", 6, 0) +
           FieldText(4, "AMOUNT", 12, 0) + FieldText(11, "STAN", 6, 0) +
           FieldText(39, "RESP_CODE", 2, 0) + FieldText(41, "TERMINAL_ID", 8, 0) +
           FieldText(70, "NETWORK_CODE", 3, 0) + FieldText(120, "PRIVATE", 999, 3) +
           "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n"
           "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>AB\n<FIELD_SPEC_LIST>\n" +
           FieldText(3, "PROC_CODE", 6, 0) + FieldText(39, "RESP_CODE", 2, 0) +
           "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n"
           "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C02\n<FIELD_SPEC_LIST>\n" +
           FieldText(3, "PROC_CODE", 6, 0) + FieldText(39, "RESP_CODE", 2, 0) +
           "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n"
           "</CONTROLLER_PARAMS_LIST>\n</VELK_CONFIGURATION>\n";
}

// Field values and the slots pointing at them, kept together.
class TestMessage {
  public:
    TestMessage(std::initializer_list<Field> fields) : values_(fields) {
        for (const Field& field : values_) {
            slots_.slots[field.n].data = reinterpret_cast<const unsigned char*>(field.value.data());
            slots_.slots[field.n].length = static_cast<int32_t>(field.value.size());
        }
    }
    TestMessage(const TestMessage&) = delete;
    TestMessage& operator=(const TestMessage&) = delete;
    const MessageFields* fields() const { return &slots_; }

  private:
    std::vector<Field> values_;
    MessageFields slots_{};
};

// The wire bytes the codec builds for these fields.
inline std::string Iso8583(const char* controllerId, const std::initializer_list<Field>& fields) {
    TestMessage message(fields);
    unsigned char out[SEND_BUFFER_SIZE];
    int n = Assemble8583(out, sizeof out, FindControllerBounded(controllerId), message.fields());
    EXPECT_GT(n, 0) << GetErrorText();
    return n > 0 ? std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(n)) : "";
}

inline std::string Ztr(const std::initializer_list<Field>& fields) {
    TestMessage message(fields);
    unsigned char out[SEND_BUFFER_SIZE];
    int n = AssembleZTR(out, sizeof out, message.fields());
    EXPECT_GT(n, 0) << GetErrorText();
    return n > 0 ? std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(n)) : "";
}

inline std::string SlotText(const MessageFields& fields, int n) {
    const FieldSlot& slot = fields.slots[n];
    if (slot.length <= 0) {
        return "";
    }
    return std::string(reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length));
}

// Frees every entry still in use, whatever state the test left.
inline void CloseAllPorts() {
    for (int i = 0; i < MAX_PORTS; ++i) {
        if (PortIsOpen(i)) {
            ClosePort(i);
        }
    }
}

inline void ConnectionTest::SetUp() {
    root_.WriteConfig(TestConfigText());
    ASSERT_EQ(LoadConfiguration(), 0);
    ClearError();
}

inline void ConnectionTest::TearDown() {
    CloseAllPorts();
    ClearError();
}

inline int ConnectionTest::ListeningPort(const char* controllerId, int* tcpPort) {
    int port = OpenPort(nullptr, 0, MODE_LISTEN, controllerId);
    EXPECT_GE(port, 0) << GetErrorText();
    *tcpPort = port >= 0 ? plat::SocketLocalPort(PortSocket(port)) : -1;
    return port;
}

inline int ConnectionTest::AcceptedPort(const char* controllerId, Peer* peer) {
    int tcpPort = 0;
    int port = ListeningPort(controllerId, &tcpPort);
    *peer = Peer::Connect(tcpPort);
    EXPECT_EQ(AcceptConn(port), 0) << GetErrorText();
    return port;
}
