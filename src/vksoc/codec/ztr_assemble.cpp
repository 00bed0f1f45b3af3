#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/length_prefix.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/codec/ztr_hash_key.h"

namespace {

constexpr int FIRST_FIELD = 4;  // slots 1 to 3 are computed, never read
constexpr int HASH_KEY_OFFSET = ZTR_LENGTH_DIGITS + 1;
constexpr int HASH_KEY_LENGTH = 8;
constexpr int VERSION_OFFSET = HASH_KEY_OFFSET + HASH_KEY_LENGTH + 1;
constexpr int VERSION_LENGTH = 4;
constexpr int FIELDS_OFFSET = VERSION_OFFSET + VERSION_LENGTH;
// The separators of fields 4 to 64 make 80 bytes with an empty message.
constexpr int EMPTY_MESSAGE = FIELDS_OFFSET + (ZTR_MAX_FIELDS - FIRST_FIELD + 1);
// The length field counts the bytes after itself in five digits.
constexpr int LONGEST_MESSAGE = ZTR_LENGTH_DIGITS + 99999;

}  // namespace

int AssembleZTR(unsigned char* out, int room, const MessageFields* fields) {
    // Everything is checked before the first byte is written.
    int64_t total = EMPTY_MESSAGE;
    for (int n = FIRST_FIELD; n <= ZTR_MAX_FIELDS; ++n) {
        const FieldSlot& slot = fields->slots[n];
        if (slot.length <= 0) {
            continue;
        }
        if (std::memchr(slot.data, ZTR_FS, static_cast<size_t>(slot.length)) != nullptr) {
            SetError(ERR_FORMAT, 0);
            ADD_ERROR_TEXT("AssembleZTR: Field %d holds a field separator\n", n);
            return -1;
        }
        total += slot.length;
    }
    const int limit = room < LONGEST_MESSAGE ? room : LONGEST_MESSAGE;
    if (total > limit) {
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("AssembleZTR: Message longer than %d\n", limit);
        return -1;
    }

    FormatLengthPrefix(out, ZTR_LENGTH_DIGITS, static_cast<int32_t>(total) - ZTR_LENGTH_DIGITS);
    out[ZTR_LENGTH_DIGITS] = ZTR_FS;
    char key[12];
    ComputeHashKeyOfFields(*fields, key);
    std::memcpy(out + HASH_KEY_OFFSET, key, HASH_KEY_LENGTH);
    out[VERSION_OFFSET - 1] = ZTR_FS;
    std::memcpy(out + VERSION_OFFSET, ZTR_VERSION, VERSION_LENGTH);
    unsigned char* at = out + FIELDS_OFFSET;
    for (int n = FIRST_FIELD; n <= ZTR_MAX_FIELDS; ++n) {
        *at++ = ZTR_FS;
        const FieldSlot& slot = fields->slots[n];
        if (slot.length > 0) {
            std::memcpy(at, slot.data, static_cast<size_t>(slot.length));
            at += slot.length;
        }
    }
    return static_cast<int>(total);
}
