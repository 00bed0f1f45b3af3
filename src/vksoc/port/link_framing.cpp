#include "vksoc/port/link_framing.h"

#include <cstring>

#include "vksoc/port/open_port.h"
#include "vkstp/config_view.h"

static_assert(FRAME_TPDU_LENGTH == TPDU_LENGTH);
static_assert(MAX_FRAME_TRAILER == MAX_TRAILER_LENGTH);

namespace {

Framing HeaderOfTag(FramingTag tag, int headerLength) {
    Framing framing = NO_FRAMING;
    switch (tag) {
        case FramingTag::Absent:
            return DecimalFraming(headerLength);
        case FramingTag::None:
            return NO_FRAMING;
        case FramingTag::Ascii1:
        case FramingTag::Ascii2:
        case FramingTag::Ascii3:
        case FramingTag::Ascii4:
            return DecimalFraming(static_cast<int>(tag) - static_cast<int>(FramingTag::Ascii1) + 1);
        case FramingTag::Bin2:
            framing.kind = FramingKind::Bin2;
            framing.headerLength = 2;
            break;
        case FramingTag::Bin2Le:
            framing.kind = FramingKind::Bin2Le;
            framing.headerLength = 2;
            break;
        case FramingTag::Bin4:
            framing.kind = FramingKind::Bin4;
            framing.headerLength = 4;
            break;
        case FramingTag::Bcd2:
            framing.kind = FramingKind::Bcd2;
            framing.headerLength = 2;
            break;
        case FramingTag::Hex4:
            framing.kind = FramingKind::Hex4;
            framing.headerLength = 4;
            break;
        case FramingTag::Vmlh:
            framing.kind = FramingKind::Vmlh;
            framing.headerLength = 4;
            break;
    }
    return framing;
}

}  // namespace

Framing FramingOfLink(const LinkRecord* link, int headerLength) {
    if (link == nullptr || !LinkRecordValid(*link)) {
        return DecimalFraming(headerLength);
    }
    const FramingTag tag = LinkFraming(*link);
    Framing framing = HeaderOfTag(tag, headerLength);
    if (framing.headerLength == 0) {
        return NO_FRAMING;
    }
    framing.countsItself = link->FRAMING_COUNTS_ITSELF != 0 ? 1 : 0;
    if (link->tpduLength == TPDU_LENGTH) {
        framing.tpduLength = TPDU_LENGTH;
        std::memcpy(framing.tpdu, link->TPDU, TPDU_LENGTH);
    }
    framing.trailerLength = link->trailerLength;
    std::memcpy(framing.trailer, link->TRAILER, link->trailerLength);
    if (tag != FramingTag::Absent) {
        framing.keepAlive = static_cast<KeepAliveTag>(link->KEEPALIVE) == KeepAliveTag::Echo
                                ? KeepAlive::Echo
                                : KeepAlive::Ignore;
    }
    return framing;
}

Framing FramingOfController(const char* controllerId) {
    if (IsZtrController(controllerId)) {
        return NO_FRAMING;
    }
    return FramingOfLink(FindLinkBounded(controllerId), HeaderLengthFromEnvironment());
}
