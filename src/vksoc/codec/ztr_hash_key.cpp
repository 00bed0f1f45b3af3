#include "vksoc/codec/ztr_hash_key.h"

#include <cstring>
#include <utility>

#include "vksoc/codec/ztr.h"

namespace {

constexpr int KEY_WIDTH = 8;

// The "%08d" text of `value`: at least 8 characters, zero-padded after a
// minus sign; up to 11 characters for the widest values.
void FormatZeroPadded(int32_t value, char* text) {
    const bool negative = value < 0;
    uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int p = 0;
    if (negative) {
        text[p++] = '-';
    }
    for (int pad = KEY_WIDTH - (count + (negative ? 1 : 0)); pad > 0; --pad) {
        text[p++] = '0';
    }
    while (count > 0) {
        text[p++] = digits[--count];
    }
    text[p] = '\0';
}

}  // namespace

void HashKeySum::Add(const unsigned char* bytes, int32_t length) {
    if (ended_) {
        return;
    }
    uint32_t sum = sum_;
    uint32_t position = position_;
    for (const unsigned char* const end = bytes + length; bytes != end; ++bytes, ++position) {
        const unsigned char b = *bytes;
        if (b == '\0') {
            ended_ = true;
            break;
        }
        // The byte counts as a signed 8-bit value; a space adds nothing, and
        // neither does position 0.
        const int32_t value = b == ' ' ? 0 : static_cast<signed char>(b) - 30;
        sum += static_cast<uint32_t>(value) * position;
    }
    sum_ = sum;
    position_ = position;
}

void HashKeySum::Finish(char* key) const {
    FormatZeroPadded(static_cast<int32_t>(sum_ * 9u), key);
    std::swap(key[0], key[5]);
    std::swap(key[1], key[4]);
    std::swap(key[2], key[3]);
}

void ComputeHashKeyOfFields(const MessageFields& fields, char* key) {
    HashKeySum sum;
    for (int fieldNo : HASH_KEY_FIELDS) {
        const FieldSlot& slot = fields.slots[fieldNo];
        if (slot.length > 0) {
            sum.Add(slot.data, slot.length);
        }
    }
    sum.Finish(key);
}

void ComputeHashKey(const char* input, char* key) {
    HashKeySum sum;
    const size_t length = std::strlen(input);
    // Positions past 32 bits wrap like the sum: only the low 32 bits of a
    // product matter.
    for (size_t done = 0; done < length;) {
        const size_t piece = length - done < INT32_MAX ? length - done : INT32_MAX;
        sum.Add(reinterpret_cast<const unsigned char*>(input) + done, static_cast<int32_t>(piece));
        done += piece;
    }
    sum.Finish(key);
}
