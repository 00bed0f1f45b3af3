#include "field_conformance.h"

#include <cstdio>
#include <string_view>

#include "conform/field_type_check.h"
#include "conform/finding_text.h"
#include "conform/value_form.h"
#include "diag/card_mask.h"
#include "vkstp/config_view.h"

bool FieldsConform(const std::string& controller, const MessageFields& fields, bool force) {
    const FieldSpec* specs = FindControllerBounded(controller.c_str());
    if (specs == nullptr || IsZtrController(controller.c_str())) {
        return true;
    }
    const LinkRecord* link = FindLinkBounded(controller.c_str());
    bool conform = true;
    const bool mask = MaskPanOn();
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const FieldSlot& slot = fields.slots[n];
        if (slot.data == nullptr || slot.length <= 0) {
            continue;
        }
        const std::string_view value(reinterpret_cast<const char*>(slot.data),
                                     static_cast<size_t>(slot.length));
        const FieldSpec& spec = specs[n - 1];
        const FieldType type =
            link != nullptr ? FieldTypeOf(LinkFieldOf(*link, n)) : FieldType::Absent;
        const int at = conform::FirstBreakOfType(type, value);
        // MAX_LEN counts what the wire counts: bytes of a BINARY value,
        // characters of an EBCDIC one, not the characters of their value form.
        const int length = link != nullptr ? conform::CountedLength(*link, n, value) : slot.length;
        const bool tooLong = spec.MAX_LEN > 0 && length > spec.MAX_LEN;
        if (at == 0 && !tooLong) {
            continue;
        }
        conform = false;
        char shown[4 * 40 + 4];
        conform::ShownValue(n, value, mask, 40, shown, sizeof shown);
        const char* lead = force ? "velkctl: warning: " : "velkctl: ";
        if (at > 0) {
            std::fprintf(stderr, "%sfield %d \"%s\" is not %s (character %d)\n", lead, n, shown,
                         FieldTypeName(type), at);
        }
        if (tooLong) {
            std::fprintf(stderr, "%sfield %d \"%s\" is %d long, longer than MAX_LEN %d\n", lead, n,
                         shown, length, spec.MAX_LEN);
        }
    }
    if (!conform && !force) {
        std::fprintf(stderr, "velkctl: nothing written; --force writes the message as it is\n");
    }
    return conform || force;
}
