// The receive path with its framing, ReadPort and GetMsg, over a byte stream
// the fuzzer writes in pieces of its choosing: the first byte chooses the
// format (ZTR or ISO 8583 with the 0200 layout) and the length-prefix width
// (0 to 4 digits), then each piece is one length byte and that many bytes.
// The stream reaches the port through a pipe opened as a file port, so every
// piece boundary is a possible short read. After each piece the port takes
// what it can; at the end the writer closes and the port meets the end of
// the stream. Properties:
//   - the buffer bookkeeping stays inside the buffer after every call;
//   - every slot of a message taken lies inside the bytes it was taken from;
//   - a failure is one of the receive path's own, with its code.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_check.h"
#include "layout_0200.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/get_msg.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_check.h"
#include "vksoc/port/read_port.h"
#include "vkstp/config_view.h"

namespace {

unsigned char image[CONFIG_IMAGE_SIZE];

void PublishLayout() {
    auto* header = reinterpret_cast<ConfigHeader*>(image);
    header->controllerCount = 1;
    header->controllerOffset = sizeof(ConfigHeader);
    auto* controller = reinterpret_cast<ControllerParams*>(image + sizeof(ConfigHeader));
    std::memcpy(controller->CONTROLLER_ID, "C01", 4);
    FieldSpecTable layout = MakeLayout0200();
    std::memcpy(controller->fields, layout.data(), sizeof controller->fields);
    SetConfigView(image);
}

void CheckSlots(const MessageFields& fields, const unsigned char* from, int length) {
    for (const FieldSlot& slot : fields.slots) {
        if (slot.length > 0) {
            FUZZ_CHECK(slot.data >= from && slot.data + slot.length <= from + length);
        }
    }
}

bool IsReceiveFailure() {
    const int code = GetErrorCode();
    return GetErrorSubCode() == 0 && (code == ERR_FORMAT || code == ERR_CONNECTION);
}

int Available(int fd) {
    int count = 0;
    ioctl(fd, FIONREAD, &count);
    return count;
}

// Takes messages and reads until the pipe is empty; false once the port
// failed (it is then not used again, as its callers would close it).
bool Drain(int port, int pipeRead, bool ended) {
    MessageFields fields{};
    for (;;) {
        const unsigned char* start = PortHeldBytes(port);
        int complete = 0;
        int taken = GetMsg(port, &fields, &complete);
        FUZZ_CHECK(PortBookkeepingHolds(port));
        if (taken < 0) {
            FUZZ_CHECK(GetErrorCode() == ERR_FORMAT);
            return false;
        }
        if (complete == 1) {
            FUZZ_CHECK(taken >= 1);
            CheckSlots(fields, start, taken);
            continue;
        }
        if (!ended && Available(pipeRead) == 0) {
            return true;
        }
        if (ReadPort(port) < 0) {
            FUZZ_CHECK(IsReceiveFailure());
            return false;
        }
        FUZZ_CHECK(PortBookkeepingHolds(port));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PublishLayout();
    unsetenv("DUMP_RECV_BYTES");
    unsetenv("DUMP_RECV_FLDS");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool ztr = (data[0] & 1) != 0;
    char width[2] = {static_cast<char>('0' + (data[0] >> 1) % 5), '\0'};
    setenv("HEADER_LENGTH", width, 1);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return 0;
    }
    char path[32];
    std::snprintf(path, sizeof path, "/dev/fd/%d", pipeEnds[0]);
    ClearError();
    int port = OpenPort(path, O_RDONLY, MODE_FILE, ztr ? "ZTR" : "C01");
    FUZZ_CHECK(port >= 0);
    close(pipeEnds[0]);
    const int pipeRead = PortFileDescriptor(port);

    bool alive = true;
    size_t at = 1;
    while (alive && at < size) {
        size_t piece = data[at++];
        if (piece > size - at) {
            piece = size - at;
        }
        // At most 255 bytes are ever waiting: the pipe never fills.
        FUZZ_CHECK(write(pipeEnds[1], data + at, piece) == static_cast<ssize_t>(piece));
        at += piece;
        alive = Drain(port, pipeRead, false);
    }
    close(pipeEnds[1]);
    if (alive) {
        FUZZ_CHECK(!Drain(port, pipeRead, true));
    }
    ClosePort(port);
    FUZZ_CHECK(!PortIsOpen(port));
    ClearError();
    return 0;
}
