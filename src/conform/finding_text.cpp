#include "conform/finding_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "diag/card_mask.h"

namespace conform {

namespace {

constexpr size_t SHOWN_MOST = 40;

}  // namespace

size_t ShownValue(int field, std::string_view value, bool mask, size_t most, char* out,
                  size_t room) {
    if (room == 0) {
        return 0;
    }
    const bool cut = value.size() > most;
    size_t take = std::min(value.size(), most);
    take = std::min(take, room - 1);
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
    if (mask && IsCardDataField(field)) {
        // Masked whole first: the part kept must not depend on where it is cut.
        unsigned char masked[2 * 4104];
        const int length = static_cast<int>(std::min(value.size(), sizeof masked));
        MaskCardField(field, bytes, length, masked);
        std::memcpy(out, masked, take);
    } else if (take > 0) {
        std::memcpy(out, bytes, take);
    }
    if (cut && take + 3 < room) {
        std::memcpy(out + take, "...", 3);
        take += 3;
    }
    out[take] = '\0';
    return take;
}

size_t FormatFinding(const Finding& finding, std::string_view value, FieldType type,
                     std::string_view mti, char* out, size_t room) {
    char shown[SHOWN_MOST + 4];
    const int mtiLength = static_cast<int>(std::min<size_t>(mti.size(), 4));
    int written = 0;
    switch (finding.kind) {
        case FindingKind::WrongType:
        case FindingKind::TooLong:
        case FindingKind::WrongLength:
            ShownValue(finding.field, value, MaskPanOn(), SHOWN_MOST, shown, sizeof shown);
            break;
        default:
            shown[0] = '\0';
    }
    switch (finding.kind) {
        case FindingKind::WrongType:
            written = std::snprintf(out, room, "field %d \"%s\": not %s (character %d)",
                                    finding.field, shown, FieldTypeName(type), finding.length);
            break;
        case FindingKind::TooLong:
            written = std::snprintf(out, room, "field %d \"%s\": %d long, longer than MAX_LEN %d",
                                    finding.field, shown, finding.length, finding.limit);
            break;
        case FindingKind::WrongLength:
            written = std::snprintf(out, room, "field %d \"%s\": %d long, fixed length %d",
                                    finding.field, shown, finding.length, finding.limit);
            break;
        case FindingKind::MandatoryAbsent:
            written = std::snprintf(out, room, "field %d absent: mandatory in %.*s", finding.field,
                                    mtiLength, mti.data());
            break;
        case FindingKind::NotInRule:
            written = std::snprintf(out, room,
                                    "field %d present: in neither MANDATORY nor OPTIONAL of %.*s",
                                    finding.field, mtiLength, mti.data());
            break;
        case FindingKind::ExpectFailed:
            // Expectations write their own text (the script knows it).
            written = std::snprintf(out, room, "expectation failed (line %d)", finding.limit);
            break;
    }
    if (written < 0) {
        return 0;
    }
    return std::min(static_cast<size_t>(written), room > 0 ? room - 1 : 0);
}

}  // namespace conform
