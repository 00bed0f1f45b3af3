#pragma once

#include "vksoc/port/framing.h"
#include "vkstp/link_record.h"

// The framing of a controller's port: what its link record says, or, when
// it has none or names no FRAMING, the HEADER_LENGTH rule with `headerLength`
// digits (below 1 or above 4: no header). TPDU and trailer ride on any
// length header, HEADER_LENGTH's included; a port without a header carries
// neither (nothing could delimit them). Keep-alives are known only to a
// FRAMING the record names: without one, a record of length 0 is refused as
// the HEADER_LENGTH rule has it.
Framing FramingOfLink(const LinkRecord* link, int headerLength);

// The framing of the controller a port opened now would take: its link
// record and HEADER_LENGTH as OpenPort reads them. ZTR: no header.
Framing FramingOfController(const char* controllerId);
