#include "conform/check_request.h"

#include <string_view>

#include "conform/field_type_check.h"
#include "conform/finding_text.h"
#include "conform/length_check.h"
#include "conform/message_rule_check.h"
#include "conform/value_form.h"

namespace conform {

namespace {

constexpr size_t FINDING_TEXT_ROOM = 192;

std::string_view Mti(const MessageFields& message) {
    const FieldSlot& slot = message.slots[0];
    if (slot.data == nullptr || slot.length <= 0) {
        return {};
    }
    return {reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length)};
}

void Add(Findings& out, const Finding& finding, std::string_view value, FieldType type,
         std::string_view mti) {
    char text[FINDING_TEXT_ROOM];
    const size_t length = FormatFinding(finding, value, type, mti, text, sizeof text);
    out.Add(finding, std::string_view(text, length));
}

}  // namespace

bool DeclaresChecks(const LinkRecord* link) {
    if (link == nullptr) {
        return false;
    }
    if (link->ruleCount > 0) {
        return true;
    }
    for (const LinkField& field : link->fields) {
        if (field.FIELD_TYPE != 0) {
            return true;
        }
    }
    return false;
}

void CheckRequest(const LinkRecord& link, const FieldSpec* specs, const MessageFields& message,
                  Findings& out) {
    out.Clear();
    const std::string_view mti = Mti(message);
    static char room[VALUE_FORM_ROOM];
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const FieldSlot& slot = message.slots[n];
        if (slot.length <= 0) {
            continue;
        }
        const std::string_view value = RequestValueForm(link, n, slot, room);
        const FieldType type = FieldTypeOf(LinkFieldOf(link, n));
        if (const int at = FirstBreakOfType(type, value); at > 0) {
            Add(out, {FindingKind::WrongType, n, at, 0}, value, type, mti);
        }
        const FieldSpec& spec = specs[n - 1];
        const int length = CountedLength(link, n, value);
        switch (CheckLength(spec, length)) {
            case LengthVerdict::Fits:
                break;
            case LengthVerdict::TooLong:
                Add(out, {FindingKind::TooLong, n, length, spec.MAX_LEN}, value, type, mti);
                break;
            case LengthVerdict::WrongLength:
                Add(out, {FindingKind::WrongLength, n, length, spec.MAX_LEN}, value, type, mti);
                break;
        }
    }
    if (const MessageRule* rule = FindMessageRule(link, mti); rule != nullptr) {
        CheckMessageRule(*rule, message, [&](int n, bool present) {
            Add(out,
                {present ? FindingKind::NotInRule : FindingKind::MandatoryAbsent, n,
                 message.slots[n].length, 0},
                {}, FieldType::Absent, mti);
        });
    }
}

}  // namespace conform
