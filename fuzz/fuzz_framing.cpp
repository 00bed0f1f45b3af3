// The framing layer over any bytes: the first byte chooses the framing (its
// kind, whether it counts itself, a TPDU, a trailer), the rest is a stream
// of records read header after header. Properties:
//   - a header is read only once whole, and names 1 to 4,096 message bytes
//     plus the TPDU and trailer, or a keep-alive, or is malformed;
//   - a header the framing writes for the length it read reads back as the
//     same length (no length is ever written cut or wrapped).

#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "vksoc/port/framing.h"

namespace {

Framing Chosen(uint8_t choice) {
    static constexpr FramingKind KINDS[] = {
        FramingKind::Decimal, FramingKind::Bin2, FramingKind::Bin2Le, FramingKind::Bin4,
        FramingKind::Bcd2,    FramingKind::Hex4, FramingKind::Vmlh,   FramingKind::Decimal};
    static constexpr int WIDTHS[] = {4, 2, 2, 4, 2, 4, 4, 2};
    const int k = choice & 7;
    Framing framing = k == 0 || k == 7 ? DecimalFraming(WIDTHS[k]) : NO_FRAMING;
    framing.kind = KINDS[k];
    framing.headerLength = WIDTHS[k];
    framing.countsItself = (choice >> 3) & 1;
    framing.tpduLength = (choice >> 4) & 1 ? FRAME_TPDU_LENGTH : 0;
    framing.trailerLength = (choice >> 5) & 1;
    framing.trailer[0] = 0x03;
    framing.keepAlive = (choice >> 6) & 1 ? KeepAlive::Ignore : KeepAlive::None;
    return framing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const Framing framing = Chosen(data[0]);
    const int extra = framing.tpduLength + framing.trailerLength;
    size_t at = 1;
    while (at < size) {
        const int left = static_cast<int>(size - at);
        const FrameHeader header = ParseFrameHeader(framing, data + at, left, 4096);
        if (header.outcome == HeaderOutcome::NeedMore) {
            FUZZ_CHECK(left < framing.headerLength);
            break;
        }
        if (header.outcome == HeaderOutcome::Malformed) {
            break;
        }
        if (header.outcome == HeaderOutcome::KeepAlive) {
            FUZZ_CHECK(framing.keepAlive != KeepAlive::None);
            at += static_cast<size_t>(framing.headerLength);
            continue;
        }
        const int message = header.length - extra;
        FUZZ_CHECK(message >= 1 && message <= 4096);
        unsigned char written[MAX_LENGTH_HEADER];
        FUZZ_CHECK(WriteFrameHeader(framing, written, message));
        const FrameHeader again = ParseFrameHeader(framing, written, framing.headerLength, 4096);
        FUZZ_CHECK(again.outcome == HeaderOutcome::Length && again.length == header.length);
        at += static_cast<size_t>(framing.headerLength) + static_cast<size_t>(header.length);
    }
    return 0;
}
