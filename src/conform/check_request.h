#pragma once

#include "conform/findings.h"
#include "diag/message_fields.h"
#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// The checks on a received ISO 8583 request of a controller that declares
// field types or message rules: each present data element's type and
// length, then the rule of its message type identifier. What a request
// breaks is only found, never refused: the request is answered as ever.

namespace conform {

// Whether the record declares anything to check: a FIELD_TYPE or a
// message rule. A controller without a record declares nothing.
bool DeclaresChecks(const LinkRecord* link);

// Clears out, then adds every finding of the message in field order: type
// and length of each present element 2 to 128 (lengths for every defined
// field; types where FIELD_TYPE is given), then the rule's absent and
// unexpected fields. specs: the controller's field specs (entry n - 1 for
// field n).
void CheckRequest(const LinkRecord& link, const FieldSpec* specs, const MessageFields& message,
                  Findings& out);

}  // namespace conform
