#pragma once

#include <cstdint>

#include "diag/message_fields.h"
#include "vkstp/link_record.h"

// Which fields hold chip data, and their bytes. A field is chip data when
// its controller's link record gives it FIELD_FORMAT TLV. Its value form is
// hexadecimal: a field whose ENCODING is BINARY has that form from the codec
// already; any other keeps its wire bytes in the slot, and the places that
// show or take values convert it (FieldShowsTlvAsHex).

// Whether field n of the controller with link record `link` (null: the plain
// link) is chip data.
bool FieldIsTlv(const LinkRecord* link, int n);

// Whether field n is chip data whose slot holds the wire bytes, so that its
// boxes and listings must show it as hexadecimal.
bool FieldShowsTlvAsHex(const LinkRecord* link, int n);

// The BER-TLV bytes of chip data field n's value, written to out (room
// bytes): the slot's bytes, or the bytes its hexadecimal spells. Returns the
// count, or -1 for a hexadecimal value form that is not whole bytes or does
// not fit.
int32_t TlvFieldBytes(const LinkRecord* link, int n, const FieldSlot& slot, unsigned char* out,
                      int32_t room);
