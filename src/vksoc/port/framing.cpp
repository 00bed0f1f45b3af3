#include "vksoc/port/framing.h"

#include "vksoc/port/bcd_framing.h"
#include "vksoc/port/binary_framing.h"
#include "vksoc/port/decimal_framing.h"
#include "vksoc/port/hex_framing.h"

namespace {

HeaderValue ReadHeaderValue(const Framing& framing, const unsigned char* header) {
    switch (framing.kind) {
        case FramingKind::Decimal:
            return ReadDecimalHeader(framing.headerLength, header);
        case FramingKind::Bcd2:
            return ReadBcdHeader(header);
        case FramingKind::Hex4:
            return ReadHexHeader(header);
        case FramingKind::None:
            return {HeaderFault::None, 0};
        default:
            return ReadBinaryHeader(framing.kind, header);
    }
}

bool WriteHeaderValue(const Framing& framing, unsigned char* out, int64_t value) {
    switch (framing.kind) {
        case FramingKind::Decimal:
            return WriteDecimalHeader(framing.headerLength, out, value);
        case FramingKind::Bcd2:
            return WriteBcdHeader(out, value);
        case FramingKind::Hex4:
            return WriteHexHeader(out, value);
        case FramingKind::None:
            return true;
        default:
            return WriteBinaryHeader(framing.kind, out, value);
    }
}

int64_t SelfCount(const Framing& framing) {
    return framing.countsItself != 0 ? framing.headerLength : 0;
}

int32_t Shown(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

}  // namespace

Framing DecimalFraming(int digits) {
    if (digits < 1 || digits > MAX_HEADER_LENGTH) {
        return NO_FRAMING;
    }
    Framing framing = NO_FRAMING;
    framing.kind = FramingKind::Decimal;
    framing.headerLength = digits;
    return framing;
}

FrameHeader ParseFrameHeader(const Framing& framing, const unsigned char* header, int count,
                             int maxBody) {
    if (framing.kind == FramingKind::None) {
        return {HeaderOutcome::Length, maxBody};
    }
    if (count < framing.headerLength) {
        return {HeaderOutcome::NeedMore, 0};
    }
    const HeaderValue read = ReadHeaderValue(framing, header);
    if (read.fault != HeaderFault::None) {
        return {HeaderOutcome::Malformed, -1, read.fault};
    }
    const int64_t after = read.value - SelfCount(framing);
    if (framing.countsItself != 0 && after < 0) {
        return {HeaderOutcome::Malformed, Shown(read.value), HeaderFault::ShorterThanSelf};
    }
    if (after == 0 && framing.keepAlive != KeepAlive::None) {
        return {HeaderOutcome::KeepAlive, 0};
    }
    const int64_t extra = framing.tpduLength + framing.trailerLength;
    if (extra > 0 && after >= 0 && after < extra) {
        return {HeaderOutcome::Malformed, Shown(read.value), HeaderFault::ShorterThanFrame};
    }
    const int64_t message = after - extra;
    if (message < 1 || message > maxBody) {
        return {HeaderOutcome::Malformed, Shown(read.value), HeaderFault::Length};
    }
    return {HeaderOutcome::Length, static_cast<int32_t>(after)};
}

bool WriteFrameHeader(const Framing& framing, unsigned char* out, int bodyLength) {
    const int64_t value =
        int64_t{bodyLength} + framing.tpduLength + framing.trailerLength + SelfCount(framing);
    return WriteHeaderValue(framing, out, value);
}

void WriteKeepAliveHeader(const Framing& framing, unsigned char* out) {
    WriteHeaderValue(framing, out, SelfCount(framing));
}

const char* FramingKindName(const Framing& framing) {
    static constexpr const char* ASCII_NAMES[] = {"ASCII1", "ASCII2", "ASCII3", "ASCII4"};
    switch (framing.kind) {
        case FramingKind::None:
            return "NONE";
        case FramingKind::Decimal:
            return framing.headerLength >= 1 && framing.headerLength <= MAX_HEADER_LENGTH
                       ? ASCII_NAMES[framing.headerLength - 1]
                       : "ASCII";
        case FramingKind::Bin2:
            return "BIN2";
        case FramingKind::Bin2Le:
            return "BIN2LE";
        case FramingKind::Bin4:
            return "BIN4";
        case FramingKind::Bcd2:
            return "BCD2";
        case FramingKind::Hex4:
            return "HEX4";
        case FramingKind::Vmlh:
            return "VMLH";
    }
    return "?";
}
