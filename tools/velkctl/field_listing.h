#pragma once

#include <cstdio>

#include "diag/message_fields.h"
#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// Prints the present fields of a message, one per line as "N NAME: VALUE".
// format null: ZTR, slots 1 to 64 named by ZtrFieldTable (58 to 64 have no
// name). Otherwise ISO 8583: slot 0 as "Message Id", elements 2 to 128 named
// by the controller's FIELD_NAME; the secondary bitmap is not listed. Bytes
// outside printable ASCII, and the backslash, are shown as \xHH. With
// DUMP_MASK_PAN on, ISO 8583 card data (elements 2, 35, 45) is masked.
// link: the controller's link record (null: the plain link); a chip data
// field (FIELD_FORMAT TLV) is printed in hexadecimal with its data objects
// indented under it (vksoc/codec/tlv_listing.h), card data inside masked
// likewise.
void PrintMessage(FILE* out, const FieldSpec* format, const MessageFields& fields,
                  const LinkRecord* link = nullptr);
