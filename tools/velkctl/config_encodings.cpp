#include "config_encodings.h"

#include <cstdio>
#include <cstring>

#include "vksoc/codec/value_form.h"

namespace {

bool IsBcd(ValueEncoding encoding) {
    return encoding == ValueEncoding::Bcd || encoding == ValueEncoding::BcdRight ||
           encoding == ValueEncoding::BcdF;
}

// Packed digits hold the digits and the track-data separator only.
bool BcdCanCarry(FieldType type) {
    return type == FieldType::Absent || type == FieldType::N || type == FieldType::Z;
}

std::string Id(const char (&id)[4]) {
    return std::string(id, strnlen(id, sizeof id));
}

}  // namespace

const LinkRecord* ViewLinkOf(const ConfigView& view, const char* controllerId) {
    if (view.linkTable == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < view.header->linkCount; ++i) {
        if (Id(view.linkTable[i].CONTROLLER_ID) == controllerId) {
            return &view.linkTable[i];
        }
    }
    return nullptr;
}

std::string HeadEncodingsText(const LinkRecord& link) {
    const char* mti = MtiEncodingName(static_cast<MtiEncoding>(link.MTI_ENCODING));
    const char* bitmap = BitmapEncodingName(static_cast<BitmapEncoding>(link.BITMAP_ENCODING));
    const char* page = CodePageName(static_cast<CodePage>(link.CODE_PAGE));
    return std::string("MTI_ENCODING ") + (mti ? mti : "?") + ", BITMAP_ENCODING " +
           (bitmap ? bitmap : "?") + ", CODE_PAGE " + (page ? page : "?");
}

std::string FieldEncodingsHeading() {
    char text[64];
    std::snprintf(text, sizeof text, "  %-9s  %s", "ENCODING", "LENGTH_ENCODING");
    return text;
}

std::string FieldEncodingsColumns(const LinkRecord& link, int fieldNo, const FieldSpec& spec) {
    const LinkField& field = LinkFieldOf(link, fieldNo);
    const char* value = ValueEncodingName(FieldEncoding(field));
    const char* length =
        spec.LENGTH_BYTES > 0 ? LengthEncodingName(FieldLengthEncoding(field)) : "-";
    char text[64];
    std::snprintf(text, sizeof text, "  %-9s  %s", value ? value : "?", length ? length : "?");
    return text;
}

void CheckFieldEncodings(const ConfigView& view, std::vector<ConfigWarning>& warnings) {
    for (int32_t i = 0; i < view.header->controllerCount; ++i) {
        const ControllerParams& controller = view.controllerTable[i];
        const std::string id = Id(controller.CONTROLLER_ID);
        const LinkRecord* link = ViewLinkOf(view, id.c_str());
        if (link == nullptr) {
            continue;
        }
        for (int n = 1; n <= MAX_FIELD_NO; ++n) {
            const FieldSpec& spec = controller.fields[n - 1];
            if (!FieldSpecIsDefined(spec)) {
                continue;
            }
            const LinkField& field = LinkFieldOf(*link, n);
            const std::string where = "field " + std::to_string(n) + " of " + id;
            const ValueEncoding encoding = FieldEncoding(field);
            if (IsBcd(encoding) && !BcdCanCarry(FieldTypeOf(field))) {
                warnings.push_back({0, where + ": " + ValueEncodingName(encoding) +
                                           " holds digits only, FIELD_TYPE " +
                                           FieldTypeName(FieldTypeOf(field)) +
                                           " has other characters: such values cannot be sent"});
            }
            const int32_t capacity = LengthPrefixCapacityOf(link, n, spec);
            // An ASCII prefix's digits the reader checks as on the plain link.
            if (spec.LENGTH_BYTES > 0 && spec.MAX_LEN > capacity &&
                FieldLengthEncoding(field) != LengthEncoding::Ascii) {
                warnings.push_back({0, where + ": MAX_LEN " + std::to_string(spec.MAX_LEN) +
                                           " is above the " + std::to_string(capacity) + " a " +
                                           LengthEncodingName(FieldLengthEncoding(field)) +
                                           " length prefix of LENGTH_BYTES " +
                                           std::to_string(spec.LENGTH_BYTES) +
                                           " carries: longer values cannot be sent"});
            }
        }
    }
}
