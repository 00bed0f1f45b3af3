#pragma once

#include "vksoc/codec/iso8583.h"

// Each port's decode area: where the value forms of the converted fields of
// the message last taken from the port lie (vksoc/codec/iso8583.h). It is
// written again by the next message taken from the same port, the moment the
// slots into the port's receive buffer may move as well. Fixed storage, so
// no message costs an allocation.
DecodeArea PortDecodeArea(int port);
