#include "conform/finding_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "diag/card_mask.h"

namespace conform {

namespace {

constexpr size_t SHOWN_MOST = 40;
// Each character shown as \\xHH at worst, and "...".
constexpr size_t SHOWN_ROOM = 4 * SHOWN_MOST + 4;

}  // namespace

size_t ShownValue(int field, std::string_view value, bool mask, size_t most, char* out,
                  size_t room) {
    if (room == 0) {
        return 0;
    }
    const bool cut = value.size() > most;
    const size_t take = std::min(value.size(), most);
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
    // Masked whole first: what is kept must not depend on where it is cut.
    static unsigned char masked[2 * 4104];
    if (mask && IsCardDataField(field) && value.size() <= sizeof masked) {
        MaskCardField(field, bytes, static_cast<int>(value.size()), masked);
        bytes = masked;
    }
    size_t used = 0;
    for (size_t i = 0; i < take; ++i) {
        const unsigned char c = bytes[i];
        char piece[5] = {static_cast<char>(c), '\0'};
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            std::snprintf(piece, sizeof piece, "\\x%02x", c);
        }
        const size_t length = std::strlen(piece);
        if (used + length >= room) {
            break;
        }
        std::memcpy(out + used, piece, length);
        used += length;
    }
    if (cut && used + 3 < room) {
        std::memcpy(out + used, "...", 3);
        used += 3;
    }
    out[used] = '\0';
    return used;
}

size_t FormatFinding(const Finding& finding, std::string_view value, FieldType type,
                     std::string_view mti, char* out, size_t room) {
    char shown[SHOWN_ROOM];
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
