#include "trace_number.h"

#include <algorithm>
#include <cstring>

namespace {

int TrimmedLength(const FieldSlot& slot) {
    int length = slot.length;
    while (length > 0 && slot.data[length - 1] == ' ') {
        --length;
    }
    return length;
}

bool AllDigits(const FieldSlot& slot, int length) {
    for (int i = 0; i < length; ++i) {
        if (slot.data[i] < '0' || slot.data[i] > '9') {
            return false;
        }
    }
    return length > 0;
}

}  // namespace

TraceNumbers::TraceNumbers(const FieldSpec* format, const FieldSlot& given, bool renumber)
    : renumber_(renumber) {
    if (format == nullptr || !FieldSpecIsDefined(format[TRACE_FIELD - 1])) {
        return;
    }
    const FieldSpec& spec = format[TRACE_FIELD - 1];
    const int givenLength = TrimmedLength(given);
    if (!renumber) {
        width_ = givenLength > 0 ? givenLength : 0;
        return;
    }
    int width = 0;
    if (spec.LENGTH_BYTES == 0) {
        width = spec.MAX_LEN;
    } else {
        width = std::min(givenLength > 0 ? givenLength : 6, spec.MAX_LEN);
    }
    if (width > MAX_TRACE_WIDTH) {
        return;  // too wide to count in: responses are taken in order
    }
    width_ = width;
    for (int i = 0; i < width; ++i) {
        modulus_ *= 10;
    }
    if (givenLength > 0 && AllDigits(given, givenLength)) {
        unsigned long long value = 0;
        for (int i = 0; i < givenLength; ++i) {
            value = (value * 10 + (given.data[i] - '0')) % modulus_;
        }
        first_ = value;
    }
}

void TraceNumbers::Apply(long long index, char* text, MessageFields* request) const {
    if (!renumber_ || width_ == 0) {
        return;
    }
    unsigned long long number = (first_ + static_cast<unsigned long long>(index)) % modulus_;
    for (int i = width_ - 1; i >= 0; --i) {
        text[i] = static_cast<char>('0' + number % 10);
        number /= 10;
    }
    request->slots[TRACE_FIELD] = {reinterpret_cast<const unsigned char*>(text), width_};
}

bool TraceNumbers::Matches(const MessageFields& response, const MessageFields& request) {
    const FieldSlot& got = response.slots[TRACE_FIELD];
    const FieldSlot& sent = request.slots[TRACE_FIELD];
    int length = TrimmedLength(sent);
    return got.data != nullptr && TrimmedLength(got) == length &&
           std::memcmp(got.data, sent.data, static_cast<size_t>(length)) == 0;
}
