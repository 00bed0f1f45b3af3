// Disassemble8583 on bytes from the fuzzer, with the 0200 layout or with a
// layout the fuzzer chooses (hostile specs included). Whatever disassembles
// must reassemble, and the reassembled bytes must disassemble to the same
// fields, apart from what Assemble8583 normalises on purpose:
//   - a fixed element is cut at its first NUL byte and blank-padded;
//   - an element received with a length prefix of 0 is absent, so its bit
//     is clear in the reassembled bitmap;
//   - the secondary bitmap is rebuilt: present exactly when an element above
//     64 is (a received all-zero secondary bitmap disappears);
//   - length prefixes are rewritten as plain digits (" 7" and "+7" become
//     "07").
// Reassembling the reassembled message gives the same bytes again.

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_layout.h"
#include "layout_0200.h"
#include "vksoc/codec/iso8583.h"

namespace {

bool HasElementAbove64(const MessageFields& fields) {
    for (int n = 65; n <= 128; ++n) {
        if (fields.slots[n].length > 0) {
            return true;
        }
    }
    return false;
}

// What Assemble8583 sends for a received fixed element: the bytes up to the
// first NUL, blanks after them.
bool SameFixedValue(const FieldSlot& received, const FieldSlot& again) {
    if (again.length != received.length) {
        return false;
    }
    const void* nul = std::memchr(received.data, 0, static_cast<size_t>(received.length));
    const size_t kept =
        nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - received.data)
            : static_cast<size_t>(received.length);
    if (std::memcmp(received.data, again.data, kept) != 0) {
        return false;
    }
    for (size_t i = kept; i < static_cast<size_t>(again.length); ++i) {
        if (again.data[i] != ' ') {
            return false;
        }
    }
    return true;
}

void CheckSlotsWithin(const MessageFields& fields, const unsigned char* bytes, int length) {
    for (const FieldSlot& slot : fields.slots) {
        FUZZ_CHECK(slot.length >= 0);
        if (slot.length > 0) {
            FUZZ_CHECK(slot.data >= bytes && slot.data + slot.length <= bytes + length);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) {
        return 0;
    }
    FieldSpecTable specs = MakeLayout0200();
    size_t offset = 1;
    if (data[0] & 1) {
        if (size < 1 + specs.size()) {
            return 0;
        }
        for (size_t i = 0; i < specs.size(); ++i) {
            specs[i] = SpecFromByte(data[1 + i]);
        }
        offset += specs.size();
    }
    // An exact-size copy: any read past the received bytes is caught.
    const std::vector<unsigned char> received(data + offset, data + size);
    const int count = static_cast<int>(received.size());

    MessageFields fields;
    int complete = -1;
    ClearError();
    const int result = Disassemble8583(received.data(), count, specs.data(), &fields, &complete);
    if (result == -1) {
        FUZZ_CHECK(IsFormatFailureOf("Disassemble8583"));
        return 0;
    }
    FUZZ_CHECK(GetErrorCode() == 0);
    if (complete == 0) {
        FUZZ_CHECK(result == count);
        return 0;
    }
    FUZZ_CHECK(complete == 1);
    FUZZ_CHECK(result >= 12 && result <= count);
    CheckSlotsWithin(fields, received.data(), result);
    FUZZ_CHECK(fields.slots[0].data == received.data() && fields.slots[0].length == 4);

    // Any shorter part of the message needs more bytes.
    {
        const std::vector<unsigned char> part(received.begin(), received.begin() + result - 1);
        MessageFields scratch;
        FUZZ_CHECK(Disassemble8583(part.data(), result - 1, specs.data(), &scratch, &complete) ==
                   result - 1);
        FUZZ_CHECK(complete == 0);
    }

    // Reassembly never needs more room than the received message took.
    std::vector<unsigned char> sent(static_cast<size_t>(result));
    const int sentLength = Assemble8583(sent.data(), result, specs.data(), &fields);
    FUZZ_CHECK(sentLength >= 12 && sentLength <= result);
    sent.resize(static_cast<size_t>(sentLength));

    MessageFields again;
    FUZZ_CHECK(Disassemble8583(sent.data(), sentLength, specs.data(), &again, &complete) ==
               sentLength);
    FUZZ_CHECK(complete == 1);
    FUZZ_CHECK(std::memcmp(again.slots[0].data, fields.slots[0].data, 4) == 0);
    FUZZ_CHECK((again.slots[1].length == 8) == HasElementAbove64(fields));
    for (int n = 2; n <= 128; ++n) {
        const FieldSlot& before = fields.slots[n];
        const FieldSlot& after = again.slots[n];
        if (before.length == 0) {
            FUZZ_CHECK(after.length == 0);
        } else if (specs[static_cast<size_t>(n - 1)].LENGTH_BYTES == 0) {
            FUZZ_CHECK(SameFixedValue(before, after));
        } else {
            FUZZ_CHECK(after.length == before.length &&
                       std::memcmp(after.data, before.data, static_cast<size_t>(before.length)) ==
                           0);
        }
    }

    std::vector<unsigned char> resent(static_cast<size_t>(sentLength));
    FUZZ_CHECK(Assemble8583(resent.data(), sentLength, specs.data(), &again) == sentLength);
    FUZZ_CHECK(resent == sent);
    return 0;
}
