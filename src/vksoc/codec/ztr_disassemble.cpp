#include <cstring>

#include "diag/error_state.h"
#include "diag/log_text.h"
#include "vksoc/codec/length_prefix.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/codec/ztr_hash_key.h"

namespace {

constexpr int HASH_KEY_SLOT = 2;
constexpr int VERSION_SLOT = 3;
constexpr int HASH_KEY_LENGTH = 8;
constexpr int VERSION_LENGTH = 4;

int Malformed() {
    SetError(ERR_FORMAT, 0);
    return -1;
}

// The peer's bytes as a record shows them: up to the first NUL among the
// `width` bytes (as "%.*s" would print them), control bytes as \xHH. The
// record texts keep their widths ("%8s" for "%8.8s"), so printable text
// reads as it always did.
struct PeerText {
    char text[LogSafeTextSize(HASH_KEY_LENGTH)];
    PeerText(const unsigned char* bytes, int width) {
        size_t length = 0;
        while (length < static_cast<size_t>(width) && bytes[length] != '\0') {
            ++length;
        }
        LogSafeText(bytes, length, text, sizeof text);
    }
};

}  // namespace

Taken TakeZTR(const unsigned char* bytes, int count, MessageFields* fields) {
    if (count < ZTR_LENGTH_DIGITS) {
        return {TakeOutcome::NeedMore, count};
    }
    const int32_t length = ParseLengthPrefix(bytes, ZTR_LENGTH_DIGITS);
    if (length <= 0) {
        Malformed();
        ADD_ERROR_TEXT("DisassembleZTR: Invalid Msg Len fld: %s\n",
                       PeerText(bytes, ZTR_LENGTH_DIGITS).text);
        return {TakeOutcome::Malformed, -1};
    }
    // Five characters give at most 99999: the sum cannot overflow.
    const int total = ZTR_LENGTH_DIGITS + length;
    if (count < total) {
        return {TakeOutcome::NeedMore, count};
    }
    if (bytes[ZTR_LENGTH_DIGITS] != ZTR_FS) {
        Malformed();
        ADD_ERROR_TEXT("DisassembleZTR: No delimiter follows length\n");
        return {TakeOutcome::Malformed, -1};
    }
    std::memset(fields->slots, 0, sizeof(FieldSlot) * (ZTR_MAX_FIELDS + 1));

    // The field scan: each field runs from after its separator up to the next
    // separator or the end of the counted bytes.
    const unsigned char* const end = bytes + total;
    const unsigned char* at = bytes + ZTR_LENGTH_DIGITS + 1;
    for (int n = 2; at != end; ++n) {
        const unsigned char* const start = at;
        while (at != end && *at != ZTR_FS) {
            ++at;
        }
        if (at != start) {
            fields->slots[n] = {start, static_cast<int32_t>(at - start)};
        }
        if (at == end) {
            break;
        }
        if (n == ZTR_MAX_FIELDS) {
            // Bytes are left after field 64, even if only a separator.
            Malformed();
            ADD_ERROR_TEXT("DisassembleZTR: Message has more than %d fields\n", ZTR_MAX_FIELDS);
            return {TakeOutcome::Malformed, -1};
        }
        ++at;  // over the separator; one that ends the counted bytes adds no field
    }
    fields->slots[1] = {bytes, ZTR_LENGTH_DIGITS};

    const FieldSlot& hashKey = fields->slots[HASH_KEY_SLOT];
    if (hashKey.length != HASH_KEY_LENGTH) {
        Malformed();
        ADD_ERROR_TEXT("DisassembleZTR: Invalid Length of Hash Key[%d]\n", hashKey.length);
        return {TakeOutcome::Malformed, -1};
    }
    // The computed key has no NUL in its first 8 characters, so comparing
    // them up to a NUL on either side is comparing all 8 bytes.
    char expected[12];
    ComputeHashKeyOfFields(*fields, expected);
    if (std::memcmp(expected, hashKey.data, HASH_KEY_LENGTH) != 0) {
        Malformed();
        ADD_ERROR_TEXT("DisassembleZTR: Hash Key Expected %8.8s Rcvd %8s\n", expected,
                       PeerText(hashKey.data, HASH_KEY_LENGTH).text);
        return {TakeOutcome::Malformed, -1};
    }

    // A version shorter than 4 bytes fails; a longer one passes when it
    // begins with B1.0. A short version may end the message: nothing past
    // its own bytes is printed.
    const FieldSlot& version = fields->slots[VERSION_SLOT];
    if (version.length < VERSION_LENGTH ||
        std::memcmp(version.data, ZTR_VERSION, VERSION_LENGTH) != 0) {
        Malformed();
        ADD_ERROR_TEXT("DisassembleZTR: Versn Expected: %4.4s Rcvd: %4s\n", ZTR_VERSION,
                       PeerText(version.data,
                                version.length < VERSION_LENGTH ? version.length : VERSION_LENGTH)
                           .text);
        return {TakeOutcome::Malformed, -1};
    }
    return {TakeOutcome::Whole, total};
}

int DisassembleZTR(const unsigned char* bytes, int count, MessageFields* fields, int* complete) {
    const Taken taken = TakeZTR(bytes, count, fields);
    *complete = taken.outcome == TakeOutcome::Whole ? 1 : 0;
    return taken.bytes;
}
