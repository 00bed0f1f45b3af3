#include "vkstp/link_record.h"

#include <iterator>

namespace {

template <typename Enum, size_t N>
const char* NameIn(const char* const (&names)[N], Enum value) {
    const auto index = static_cast<size_t>(value);
    return index < N ? names[index] : nullptr;
}

constexpr const char* kFramingNames[] = {"",     "NONE",   "ASCII1", "ASCII2", "ASCII3", "ASCII4",
                                         "BIN2", "BIN2LE", "BIN4",   "BCD2",   "HEX4",   "VMLH"};
constexpr const char* kKeepAliveNames[] = {"IGNORE", "ECHO"};
constexpr const char* kMtiNames[] = {"ASCII", "BCD", "EBCDIC"};
constexpr const char* kBitmapNames[] = {"BINARY", "HEX", "EBCDIC_HEX"};
constexpr const char* kCodePageNames[] = {"1047", "037", "500"};
constexpr const char* kValueNames[] = {"ASCII", "EBCDIC", "BCD", "BCD_RIGHT", "BCD_F", "BINARY"};
constexpr const char* kLengthNames[] = {"ASCII", "EBCDIC", "BCD", "BINARY"};
constexpr const char* kTypeNames[] = {"", "n", "a", "an", "ans", "ns", "as", "b", "z", "xn"};
constexpr const char* kFormatNames[] = {"", "TLV"};

static_assert(std::size(kFramingNames) == FRAMING_TAG_LAST + 1u);

}  // namespace

const char* FramingTagName(FramingTag tag) {
    return NameIn(kFramingNames, tag);
}
const char* KeepAliveTagName(KeepAliveTag tag) {
    return NameIn(kKeepAliveNames, tag);
}
const char* MtiEncodingName(MtiEncoding encoding) {
    return NameIn(kMtiNames, encoding);
}
const char* BitmapEncodingName(BitmapEncoding encoding) {
    return NameIn(kBitmapNames, encoding);
}
const char* CodePageName(CodePage page) {
    return NameIn(kCodePageNames, page);
}
const char* ValueEncodingName(ValueEncoding encoding) {
    return NameIn(kValueNames, encoding);
}
const char* LengthEncodingName(LengthEncoding encoding) {
    return NameIn(kLengthNames, encoding);
}
const char* FieldTypeName(FieldType type) {
    return NameIn(kTypeNames, type);
}
const char* FieldFormatName(FieldFormat format) {
    return NameIn(kFormatNames, format);
}

bool LinkRecordValid(const LinkRecord& link) {
    if (link.FRAMING > FRAMING_TAG_LAST || link.FRAMING_COUNTS_ITSELF > 1 ||
        link.KEEPALIVE >= std::size(kKeepAliveNames) || link.MTI_ENCODING >= std::size(kMtiNames) ||
        link.BITMAP_ENCODING >= std::size(kBitmapNames) ||
        link.CODE_PAGE >= std::size(kCodePageNames) ||
        (link.tpduLength != 0 && link.tpduLength != TPDU_LENGTH) ||
        link.trailerLength > MAX_TRAILER_LENGTH || link.ruleCount < 0 ||
        link.ruleCount > MAX_MESSAGE_RULES) {
        return false;
    }
    for (const LinkField& field : link.fields) {
        if (field.ENCODING >= std::size(kValueNames) ||
            field.LENGTH_ENCODING >= std::size(kLengthNames) ||
            field.FIELD_TYPE >= std::size(kTypeNames) ||
            field.FIELD_FORMAT >= std::size(kFormatNames)) {
            return false;
        }
    }
    for (int32_t r = 0; r < link.ruleCount; ++r) {
        if (link.rules[r].hasOptional > 1) {
            return false;
        }
    }
    return true;
}
