// The baseline of the round-trip benchmark: a responder with the same
// framing and the same connection layer as velk-tester, but no dialog and no
// script. It answers each request at once with its own fields, the message
// identifier's third digit raised by one (0200 -> 0210). With VELK_PEERS
// above 1 it serves that many connections at once with velk-tester's loop
// for several peers.
//
//   velk-echo-responder CONTROLLER PORT    (from build/, like velk-tester)

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/peer_limit.h"
#include "app/peer_set.h"
#include "os_sockets.h"
#include "vksoc/port/accept_conn.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_reader.h"

namespace {

MessageFields message;
unsigned char identifier[4];

// Returns what SendMsg returned.
int Echo(int port) {
    FieldSlot& id = message.slots[0];
    if (id.length >= 4) {
        std::memcpy(identifier, id.data, 4);
        identifier[2] = static_cast<unsigned char>(identifier[2] + 1);
        id.data = identifier;
    }
    return SendMsg(port, &message);
}

class EchoPeers final : public PeerAnswerer {
  public:
    PeerAnswer Answer(int port) override {
        return Echo(port) < 0 ? PeerAnswer::End : PeerAnswer::Done;
    }
    int64_t WakeTime(int) const override { return -1; }
    PeerAnswer Resume(int) override { return PeerAnswer::Done; }
    void Failed(int) override {}
    void Gone(int) override {}
    void AcceptFailed() override {}
};

int ServeOneAtATime(const char* controller, int portNumber) {
    for (;;) {
        int port = OpenPort(nullptr, portNumber, MODE_LISTEN, controller);
        if (port < 0 || AcceptConn(port) < 0) {
            return 1;
        }
        while (RecvMsg(port, &message, -1) >= 0) {
            if (Echo(port) < 0) {
                break;
            }
        }
        ClosePort(port);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velk-echo-responder CONTROLLER PORT\n");
        return 2;
    }
    const char* controller = argv[1];
    int portNumber = std::atoi(argv[2]);
    if (std::strcmp(controller, "ZTR") != 0 && LoadConfiguration() != 0) {
        return 1;
    }
    WSADATA data{};
    WSAStartup(0x0101, &data);
    int limit = PeerLimit();
    if (limit == 1) {
        return ServeOneAtATime(controller, portNumber);
    }
    int port = OpenPort(nullptr, portNumber, MODE_LISTEN, controller);
    if (limit < 1 || port < 0 || ListenForPeers(port) < 0) {
        return 1;
    }
    EchoPeers echo;
    return ServePeers(port, limit, &message, echo) < 0 ? 1 : 0;
}
