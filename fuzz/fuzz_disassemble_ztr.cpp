// DisassembleZTR on bytes from the fuzzer. Whatever disassembles must
// reassemble, and the reassembled bytes must disassemble to the same fields
// 4 to 64 and the same hash key, apart from what AssembleZTR normalises on
// purpose:
//   - MESSAGE_LENGTH is recomputed ("+0100" or " 0100" become digits) and
//     counts the separators of every field up to 64, so a received message
//     that stops early grows by its missing separators;
//   - VERSION is always "B1.0" (a received "B1.0xyz" passes and is cut);
//   - a message that grows past the 5 length digits that way is refused
//     with "AssembleZTR: Message longer than 100004".
// Reassembling the reassembled message gives the same bytes again.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vksoc/codec/ztr.h"

namespace {

constexpr int LONGEST_MESSAGE = 5 + 99999;

const unsigned char SENTINEL[] = "stale";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    // An exact-size copy: any read past the received bytes is caught.
    const std::vector<unsigned char> received(data, data + size);
    const int count = static_cast<int>(received.size());

    MessageFields fields;
    for (FieldSlot& slot : fields.slots) {
        slot = {SENTINEL, 5};
    }
    int complete = -1;
    ClearError();
    const int result = DisassembleZTR(received.data(), count, &fields, &complete);
    if (result == -1) {
        FUZZ_CHECK(IsFormatFailureOf("DisassembleZTR"));
        return 0;
    }
    FUZZ_CHECK(GetErrorCode() == 0);
    if (complete == 0) {
        FUZZ_CHECK(result == count);
        return 0;
    }
    FUZZ_CHECK(complete == 1);
    FUZZ_CHECK(result >= 6 && result <= count);
    FUZZ_CHECK(fields.slots[0].length == 0);
    FUZZ_CHECK(fields.slots[1].data == received.data() && fields.slots[1].length == 5);
    FUZZ_CHECK(fields.slots[2].length == 8);
    FUZZ_CHECK(fields.slots[3].length >= 4 &&
               std::memcmp(fields.slots[3].data, ZTR_VERSION, 4) == 0);
    int64_t fieldBytes = 0;
    for (int n = 0; n <= 64; ++n) {
        const FieldSlot& slot = fields.slots[n];
        FUZZ_CHECK(slot.length >= 0);
        if (slot.length > 0) {
            FUZZ_CHECK(slot.data >= received.data() &&
                       slot.data + slot.length <= received.data() + result);
            // The length field is 5 raw bytes: its digits may end early at a
            // separator ("0015" and 0x1C). Every other field stops before one.
            FUZZ_CHECK(n == 1 ||
                       std::memchr(slot.data, ZTR_FS, static_cast<size_t>(slot.length)) == nullptr);
            fieldBytes += n >= 4 ? slot.length : 0;
        } else {
            FUZZ_CHECK(slot.data == nullptr);
        }
    }
    for (int n = 65; n <= 128; ++n) {
        FUZZ_CHECK(fields.slots[n].data == SENTINEL && fields.slots[n].length == 5);
    }

    // Any shorter part of the message needs more bytes.
    {
        const std::vector<unsigned char> part(received.begin(), received.begin() + result - 1);
        MessageFields scratch;
        FUZZ_CHECK(DisassembleZTR(part.data(), result - 1, &scratch, &complete) == result - 1);
        FUZZ_CHECK(complete == 0);
    }

    std::vector<unsigned char> sent(LONGEST_MESSAGE);
    const int sentLength = AssembleZTR(sent.data(), LONGEST_MESSAGE, &fields);
    if (80 + fieldBytes > LONGEST_MESSAGE) {
        FUZZ_CHECK(sentLength == -1 && IsFormatFailureOf("AssembleZTR"));
        return 0;
    }
    FUZZ_CHECK(sentLength == 80 + fieldBytes);
    sent.resize(static_cast<size_t>(sentLength));

    MessageFields again;
    FUZZ_CHECK(DisassembleZTR(sent.data(), sentLength, &again, &complete) == sentLength);
    FUZZ_CHECK(complete == 1);
    FUZZ_CHECK(std::memcmp(again.slots[2].data, fields.slots[2].data, 8) == 0);
    FUZZ_CHECK(again.slots[3].length == 4);
    for (int n = 4; n <= 64; ++n) {
        const FieldSlot& before = fields.slots[n];
        const FieldSlot& after = again.slots[n];
        FUZZ_CHECK(after.length == before.length);
        FUZZ_CHECK(before.length == 0 ||
                   std::memcmp(after.data, before.data, static_cast<size_t>(before.length)) == 0);
    }

    std::vector<unsigned char> resent(static_cast<size_t>(sentLength));
    FUZZ_CHECK(AssembleZTR(resent.data(), sentLength, &again) == sentLength);
    FUZZ_CHECK(resent == sent);
    return 0;
}
