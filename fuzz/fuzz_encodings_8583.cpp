// Take8583 and Assemble8583 with a link record on bytes from the fuzzer: the
// identifier's and the bitmaps' encodings, the code page, and for each of
// the 128 elements a layout (hostile ones included) and a value and length
// encoding are drawn from the input. Whatever disassembles must reassemble,
// and the reassembled bytes must disassemble to the same value forms, apart
// from what Assemble8583 normalises on purpose:
//   - a fixed ASCII or EBCDIC element is cut at its first NUL and padded
//     with blanks;
//   - an element received with a length prefix of 0 is absent;
//   - the secondary bitmap is present exactly when an element above 64 is;
//   - a plain ASCII prefix is rewritten as plain digits, hexadecimal bitmaps
//     in upper case.
// Reassembling the reassembled message gives the same bytes again.
// Input: 1 byte for the head, 128 for the layouts, 128 for the encodings,
// then the message.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_layout.h"
#include "vksoc/codec/iso8583.h"

namespace {

constexpr size_t kHeader = 1 + 128 + 128;

LinkRecord LinkFrom(const uint8_t* data) {
    LinkRecord link;
    std::memset(&link, 0, sizeof link);
    link.MTI_ENCODING = static_cast<uint8_t>((data[0] & 3) % 3);
    link.BITMAP_ENCODING = static_cast<uint8_t>(((data[0] >> 2) & 3) % 3);
    link.CODE_PAGE = static_cast<uint8_t>(((data[0] >> 4) & 3) % 3);
    for (int n = 1; n <= 128; ++n) {
        const uint8_t b = data[128 + n];
        link.fields[n - 1].ENCODING = static_cast<uint8_t>((b & 7) % 6);
        link.fields[n - 1].LENGTH_ENCODING = static_cast<uint8_t>((b >> 3) & 3);
    }
    return link;
}

bool HasElementAbove64(const MessageFields& fields) {
    for (int n = 65; n <= 128; ++n) {
        if (fields.slots[n].length > 0) {
            return true;
        }
    }
    return false;
}

bool Same(const FieldSlot& a, const FieldSlot& b) {
    return a.length == b.length && std::memcmp(a.data, b.data, static_cast<size_t>(a.length)) == 0;
}

// A fixed text sent again: the bytes up to the first NUL, blanks after them.
bool SameFixedText(const FieldSlot& received, const FieldSlot& again) {
    const void* nul = std::memchr(received.data, 0, static_cast<size_t>(received.length));
    const size_t kept =
        nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - received.data)
            : static_cast<size_t>(received.length);
    if (static_cast<size_t>(again.length) < kept ||
        std::memcmp(received.data, again.data, kept) != 0) {
        return false;
    }
    for (size_t i = kept; i < static_cast<size_t>(again.length); ++i) {
        if (again.data[i] != ' ') {
            return false;
        }
    }
    return nul != nullptr || static_cast<size_t>(again.length) == kept;
}

bool Within(const FieldSlot& slot, const unsigned char* begin, size_t size) {
    return slot.data >= begin && slot.data + slot.length <= begin + size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader || size > (1u << 20)) {
        return 0;
    }
    FieldSpecTable specs{};
    for (size_t i = 0; i < specs.size(); ++i) {
        specs[i] = SpecFromByte(data[1 + i]);
    }
    const LinkRecord link = LinkFrom(data);
    // Exact-size copies: any read past the received bytes or the area is caught.
    const std::vector<unsigned char> received(data + kHeader, data + size);
    const int count = static_cast<int>(received.size());
    std::vector<unsigned char> area(DECODE_AREA_SIZE);
    const DecodeArea decode{area.data(), DECODE_AREA_SIZE};

    MessageFields fields;
    ClearError();
    const Taken taken = Take8583(received.data(), count, specs.data(), &link, decode, &fields);
    if (taken.outcome == TakeOutcome::Malformed) {
        FUZZ_CHECK(taken.bytes == -1 && IsFormatFailureOf("Disassemble8583"));
        return 0;
    }
    FUZZ_CHECK(GetErrorCode() == 0);
    if (taken.outcome == TakeOutcome::NeedMore) {
        FUZZ_CHECK(taken.bytes == count);
        return 0;
    }
    const int result = taken.bytes;
    FUZZ_CHECK(result >= 10 && result <= count);
    for (const FieldSlot& slot : fields.slots) {
        FUZZ_CHECK(slot.length >= 0);
        if (slot.length > 0) {
            FUZZ_CHECK(Within(slot, received.data(), static_cast<size_t>(result)) ||
                       Within(slot, area.data(), area.size()));
        }
    }

    // Any shorter part of the message needs more bytes.
    {
        const std::vector<unsigned char> part(received.begin(), received.begin() + result - 1);
        MessageFields scratch;
        std::vector<unsigned char> other(DECODE_AREA_SIZE);
        const Taken shorter = Take8583(part.data(), result - 1, specs.data(), &link,
                                       {other.data(), DECODE_AREA_SIZE}, &scratch);
        FUZZ_CHECK(shorter.outcome == TakeOutcome::NeedMore && shorter.bytes == result - 1);
    }

    // Reassembly never needs more room than the received message took.
    std::vector<unsigned char> sent(static_cast<size_t>(result));
    const int sentLength = Assemble8583(sent.data(), result, specs.data(), &link, &fields);
    FUZZ_CHECK(sentLength >= 10 && sentLength <= result);
    sent.resize(static_cast<size_t>(sentLength));

    MessageFields again;
    std::vector<unsigned char> areaAgain(DECODE_AREA_SIZE);
    const Taken retaken = Take8583(sent.data(), sentLength, specs.data(), &link,
                                   {areaAgain.data(), DECODE_AREA_SIZE}, &again);
    FUZZ_CHECK(retaken.outcome == TakeOutcome::Whole && retaken.bytes == sentLength);
    FUZZ_CHECK(Same(again.slots[0], fields.slots[0]));
    FUZZ_CHECK((again.slots[1].length == 8) == HasElementAbove64(fields));
    for (int n = 2; n <= 128; ++n) {
        const FieldSlot& before = fields.slots[n];
        const FieldSlot& after = again.slots[n];
        const auto encoding = static_cast<ValueEncoding>(link.fields[n - 1].ENCODING);
        const bool text = encoding == ValueEncoding::Ascii || encoding == ValueEncoding::Ebcdic;
        if (before.length == 0) {
            FUZZ_CHECK(after.length == 0);
        } else if (specs[static_cast<size_t>(n - 1)].LENGTH_BYTES == 0 && text) {
            FUZZ_CHECK(SameFixedText(before, after));
        } else {
            FUZZ_CHECK(Same(before, after));
        }
    }

    std::vector<unsigned char> resent(static_cast<size_t>(sentLength));
    FUZZ_CHECK(Assemble8583(resent.data(), sentLength, specs.data(), &link, &again) == sentLength);
    FUZZ_CHECK(resent == sent);
    return 0;
}
