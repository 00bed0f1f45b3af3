// Answering a message with the operator script allocates nothing once the
// first message has made the kept boxes: every operator new is counted while
// messages are answered. Likewise receiving and answering messages whose
// fields are BCD, EBCDIC and BINARY: their value forms use the port's decode
// area.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "dialog_fixture.h"
#include "os_lowio.h"
#include "ui/dialog_template.h"
#include "ui/script/script_host.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/recv_msg.h"
#include "vksoc/port/send_msg.h"
#include "vkstp/config_view.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
// Not inlined: a std::string freed in a test would otherwise show GCC a free
// of what operator new returned, which it warns about.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using ScriptAllocation = DialogFixture;

TEST_F(ScriptAllocation, AnsweringMessagesAllocatesNothing) {
    ui::OperatorScript script;
    std::string error;
    ASSERT_TRUE(ui::ParseOperatorScript("alloc.script",
                                        "on 0=0800\n  set 0 0810\n  respond\n"
                                        "on 0=0200 2=4000* 4<=000000100000\n"
                                        "  set 0 0210\n  set 39 ${seq:2}\n  set 70 ${2:0:3}\n"
                                        "  delay 0\n  respond\n  set 39 99\n  respond\n"
                                        "on *\n  silence\n",
                                        script, error))
        << error;
    ui::ScriptHost host(script, nullptr);
    std::string path = (root_.root() / "wire.bin").string();
    exchange_.port =
        OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "C01");
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
    int size = ui::FillDialogTemplate(block);
    Put(2, "4000000000000002");
    Put(4, "000000001000");
    auto answer = [&](bool suspendable) {
        host.SetSuspendableDelays(suspendable);
        for (const char* id : {"0200", "0800", "0400"}) {
            Put(0, id);  // short: no allocation of the test's own
            if (host.RunDialog(block, size, ui::MsgDlgProc, &exchange_) == ui::DIALOG_SUSPENDED) {
                ASSERT_EQ(host.Resume(exchange_), 1);
            }
        }
    };
    answer(false);  // the first message makes the boxes
    answer(true);   // turning suspension on makes its storage
    for (bool suspendable : {false, true}) {
        allocations = 0;
        counting = true;
        for (int i = 0; i < 50; ++i) {
            answer(suspendable);
        }
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << (suspendable ? "suspendable" : "plain");
    }
    ClosePort(exchange_.port);
    EXPECT_FALSE(ReadFile(path).empty());
}

TEST_F(ScriptAllocation, ConvertedFieldsAreReceivedAndAnsweredWithoutAllocating) {
    auto field = [](int n, int maxLen, int lengthBytes, const char* tags) {
        const std::string text = FieldText(n, "F", maxLen, lengthBytes);
        const size_t end = text.rfind("</FIELD>");
        return text.substr(0, end) + tags + text.substr(end);
    };
    root_.WriteConfig(
        "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>V01\n"
        "<MTI_ENCODING>BCD\n<BITMAP_ENCODING>HEX\n<FIELD_SPEC_LIST>\n" +
        field(2, 19, 2, "<ENCODING>BCD\n<LENGTH_ENCODING>BINARY\n") +
        field(4, 12, 0, "<ENCODING>BCD_F\n") + field(39, 2, 0, "<ENCODING>EBCDIC\n") +
        field(52, 8, 0, "<ENCODING>BINARY\n") +
        "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(LoadConfiguration(), 0);
    ::testing::internal::GetCapturedStdout();
    std::string path = (root_.root() / "converted.bin").string();
    int port = OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, 'F', "V01");
    ASSERT_GE(port, 0) << GetErrorText();
    const std::string mti = "0200";
    const std::string pan = "4761739001010119";
    const std::string amount = "000000010000";
    const std::string code = "00";
    const std::string pin = "0123456789ABCDEF";
    MessageFields request{};
    request.slots[0] = {reinterpret_cast<const unsigned char*>(mti.data()), 4};
    request.slots[2] = {reinterpret_cast<const unsigned char*>(pan.data()), 16};
    request.slots[4] = {reinterpret_cast<const unsigned char*>(amount.data()), 12};
    request.slots[39] = {reinterpret_cast<const unsigned char*>(code.data()), 2};
    request.slots[52] = {reinterpret_cast<const unsigned char*>(pin.data()), 16};
    constexpr int kMessages = 50;
    allocations = 0;
    counting = true;
    for (int i = 0; i < kMessages; ++i) {
        ASSERT_GT(SendMsg(port, &request), 0);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << "send";
    ClosePort(port);

    port = OpenPort(path.c_str(), O_RDONLY | plat::OPEN_BINARY, 'F', "V01");
    ASSERT_GE(port, 0) << GetErrorText();
    MessageFields received{};
    allocations = 0;
    counting = true;
    for (int i = 0; i < kMessages; ++i) {
        ASSERT_GT(RecvMsg(port, &received, 0), 0) << GetErrorText();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << "receive";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(received.slots[52].data), 16), pin);
    ClosePort(port);
}

}  // namespace
