#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/tlv.h"

namespace {

// The bytes a length takes: its received form where the value still fits
// it, else the shortest form that holds it; 0 when no form holds it.
int LengthWidth(int64_t length, int received) {
    int shortest = 0;
    if (length < 0x80) {
        shortest = 1;
    } else if (length <= 0xFF) {
        shortest = 2;
    } else if (length <= 0xFFFF) {
        shortest = 3;
    } else if (length <= 0xFFFFFF) {
        shortest = 4;
    }
    return shortest == 0 ? 0 : (received > shortest ? received : shortest);
}

void PutLength(unsigned char* out, int32_t length, int width) {
    if (width == 1) {
        out[0] = static_cast<unsigned char>(length);
        return;
    }
    out[0] = static_cast<unsigned char>(0x80 + width - 1);
    for (int i = width - 1; i >= 1; --i) {
        out[i] = static_cast<unsigned char>(length & 0xFF);
        length >>= 8;
    }
}

bool Refuse(const char* why, int64_t need, int32_t room) {
    SetError(ERR_FORMAT, 0);
    ADD_ERROR_TEXT("EncodeTlv: %s (%lld bytes, room for %d)\n", why, static_cast<long long>(need),
                   room);
    return false;
}

}  // namespace

int32_t EncodeTlv(const TlvTable& table, unsigned char* out, int32_t room) {
    if (table.finding.fault != TlvFault::None) {
        SetError(ERR_FORMAT, 0);
        ADD_ERROR_TEXT("EncodeTlv: the field is malformed at byte %d: %s\n", table.finding.at,
                       TlvFaultText(table.finding.fault));
        return -1;
    }
    const int count = table.count < 0 ? 0 : table.count;

    // Content lengths from the last object back: children follow their
    // parent, so each constructed object's children are summed before it.
    int64_t content[TLV_MAX_OBJECTS] = {};
    int32_t widths[TLV_MAX_OBJECTS] = {};
    int64_t total = 0;
    for (int i = count - 1; i >= 0; --i) {
        const TlvObject& object = table.objects[i];
        const int64_t own = TlvIsConstructed(object) ? content[i] : object.length;
        int64_t size = own;
        if (object.tagBytes > 0) {
            widths[i] = LengthWidth(own, object.lengthBytes);
            if (widths[i] == 0) {
                Refuse("a value too long for a length", own, room);
                return -1;
            }
            size += object.tagBytes + widths[i];
        }
        content[i] = own;
        if (object.parent >= 0) {
            content[object.parent] += size;
        } else {
            total += size;
        }
        if (total > room) {
            Refuse("the objects do not fit", total, room);
            return -1;
        }
    }

    int32_t position = 0;
    for (int i = 0; i < count; ++i) {
        const TlvObject& object = table.objects[i];
        const auto length = static_cast<int32_t>(content[i]);
        if (object.tagBytes == 0) {
            std::memset(out + position, 0, static_cast<size_t>(length));
            position += length;
            continue;
        }
        for (int b = object.tagBytes - 1; b >= 0; --b) {
            out[position++] = static_cast<unsigned char>(object.tag >> (8 * b));
        }
        PutLength(out + position, length, widths[i]);
        position += widths[i];
        if (!TlvIsConstructed(object) && length > 0) {
            std::memcpy(out + position, object.value, static_cast<size_t>(length));
            position += length;
        }
    }
    return position;
}
