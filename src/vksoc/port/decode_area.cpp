#include "vksoc/port/decode_area.h"

#include "vksoc/port/port.h"

namespace {

unsigned char areas[MAX_PORTS][DECODE_AREA_SIZE];

}  // namespace

DecodeArea PortDecodeArea(int port) {
    return {areas[port], DECODE_AREA_SIZE};
}
