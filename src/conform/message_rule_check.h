#pragma once

#include <string_view>

#include "diag/message_fields.h"
#include "vkstp/link_record.h"

namespace conform {

// The controller's rule for a message type identifier, or null.
const MessageRule* FindMessageRule(const LinkRecord& link, std::string_view mti);

// What a message breaks of its rule, field by field: each field the rule
// names MANDATORY that is absent and, when the rule has OPTIONAL, each
// present data element (2 to 128) in neither list. `report` is called once
// per broken field in field order.
template <typename Report>
void CheckMessageRule(const MessageRule& rule, const MessageFields& message, Report&& report) {
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const bool present = message.slots[n].length > 0;
        const bool mandatory = FieldSetHas(rule.mandatory, n);
        if (mandatory && !present) {
            report(n, false);
        } else if (present && rule.hasOptional != 0 && !mandatory &&
                   !FieldSetHas(rule.optional, n)) {
            report(n, true);
        }
    }
}

}  // namespace conform
