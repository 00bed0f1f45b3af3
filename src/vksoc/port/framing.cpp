#include "vksoc/port/framing.h"

#include "vksoc/port/decimal_framing.h"

Framing DecimalFraming(int digits) {
    if (digits < 1 || digits > MAX_HEADER_LENGTH) {
        return NO_FRAMING;
    }
    return {FramingKind::Decimal, digits};
}

FrameHeader ParseFrameHeader(const Framing& framing, const unsigned char* header, int count,
                             int maxBody) {
    switch (framing.kind) {
        case FramingKind::Decimal:
            return ParseDecimalHeader(framing.headerLength, header, count, maxBody);
        case FramingKind::None:
            break;
    }
    return {HeaderOutcome::Length, maxBody};
}

bool WriteFrameHeader(const Framing& framing, unsigned char* out, int bodyLength) {
    switch (framing.kind) {
        case FramingKind::Decimal:
            return WriteDecimalHeader(framing.headerLength, out, bodyLength);
        case FramingKind::None:
            break;
    }
    return true;
}
