#pragma once

#include <cstdio>

#include "diag/message_fields.h"

// The field dump of chip data (FIELD_FORMAT TLV): the field's line in
// hexadecimal ("Field 055: 9F0206..."), then one line per data object as
// vksoc/codec/tlv_listing.h writes them, card data masked with `mask`.
// A FieldDetail for DumpFields (diag/traffic_dump.h): `link` is the port's
// link record (null: the plain link); returns false, writing nothing, for a
// field that is not chip data.
bool DumpChipDataField(const void* link, int n, const FieldSlot& slot, bool mask, FILE* file);
