#pragma once

#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// The byte dump of part of a stream of ISO 8583 messages, with the card data
// in its character column masked when DUMP_MASK_PAN is on (diag/card_mask.h).
// `stream` holds `streamLength` bytes, messages back to back from its first
// byte; the dump shows `chunkLength` bytes from `chunk`, which may begin
// before the stream (a length prefix) and must end inside it. Where the
// fields of a message cannot be told yet (it is incomplete or malformed),
// every digit from its start on is masked. specs null (ZTR): no masking.
// The error state is left as it was.
// peer: as DumpBytes's. link: the controller's link record (null: the
// plain link); the card data objects inside its chip data fields (FIELD_FORMAT
// TLV) are masked too (vksoc/codec/tlv_card_mask.h).
void DumpStreamBytes(const FieldSpec* specs, const unsigned char* stream, int streamLength,
                     const unsigned char* chunk, int chunkLength, char direction,
                     const char* peer = nullptr, const LinkRecord* link = nullptr);
