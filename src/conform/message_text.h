#pragma once

#include "conform/xml_text.h"
#include "diag/message_fields.h"
#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// A message as a report shows it: one line per present field, "N NAME:
// VALUE", 0 as "Message Id", the value in its value form with card data
// masked when DUMP_MASK_PAN is on. Bytes outside printable ASCII and the
// backslash are "\xHH" (as velkctl show prints them).

namespace conform {

// Appends the lines to out. link: the controller's record (null: plain
// ASCII link); specs: its field specs.
void PutMessageText(const LinkRecord* link, const FieldSpec* specs, const MessageFields& message,
                    TextBuffer& out);

}  // namespace conform
