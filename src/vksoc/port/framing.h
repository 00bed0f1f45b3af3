#pragma once

#include <cstdint>

// How a port's stream is cut into records: a length header in front of every
// message, or no header at all (the format's own lengths then delimit its
// messages). The framing is chosen per port when it is opened and is all
// that ReadPort and SendMsg know of the header; each kind is one small file
// beside this one (decimal_framing.cpp: HEADER_LENGTH ASCII digits).

// The widest decimal prefix (HEADER_LENGTH 1 to 4).
inline constexpr int MAX_HEADER_LENGTH = 4;
// The widest length header of any framing: the room a port keeps for the
// header of the record it is reading, and a send keeps in front of a message.
inline constexpr int MAX_FRAME_HEADER = MAX_HEADER_LENGTH;

enum class FramingKind : int32_t {
    None,     // no header
    Decimal,  // headerLength ASCII decimal digits of the body length
};

struct Framing {
    FramingKind kind;
    int32_t headerLength;  // bytes of the header in front of every record; 0 for None
};

inline constexpr Framing NO_FRAMING{FramingKind::None, 0};

// The decimal prefix of `digits` digits; outside 1 to MAX_HEADER_LENGTH, no
// framing.
Framing DecimalFraming(int digits);

enum class HeaderOutcome {
    NeedMore,   // the header is not whole yet
    Length,     // the body that follows has `length` bytes
    Malformed,  // the header names no body this port can take
};

struct FrameHeader {
    HeaderOutcome outcome;
    // Length: the body length. Malformed: the length the header was read as
    // (what the record shows), when it could be read as one.
    int32_t length;
};

// Reads the `count` header bytes of a record read so far (at most
// framing.headerLength). A body must have 1 to maxBody bytes. A framing
// without a header has nothing to read: it answers Length with maxBody.
FrameHeader ParseFrameHeader(const Framing& framing, const unsigned char* header, int count,
                             int maxBody);

// Writes the header for a body of bodyLength bytes at `out`
// (framing.headerLength bytes; nothing for None). False when the header
// cannot express that length: nothing is written then, and the message must
// not be sent (a header cut short would frame a corrupt record).
bool WriteFrameHeader(const Framing& framing, unsigned char* out, int bodyLength);
