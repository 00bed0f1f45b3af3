#pragma once

#include <cstdint>

// How a port's stream is cut into records: a length header in front of every
// message, or no header at all (the format's own lengths then delimit its
// messages). The framing is chosen per port when it is opened and is all
// that ReadPort and SendMsg know of the header; each kind is one small file
// beside this one (decimal_framing.cpp: ASCII decimal digits, as
// HEADER_LENGTH has them; binary_framing.cpp: BIN2, BIN2LE, BIN4, VMLH;
// bcd_framing.cpp; hex_framing.cpp).
//
// A record on the wire: the length header, then the TPDU (when the framing
// has one), the message, the trailer (when it has one). The header's value
// counts everything after the header, and the header too when the framing
// counts itself. A record whose value counts nothing after the header is a
// keep-alive on a framing that knows them, never a message.

// The widest decimal prefix (HEADER_LENGTH 1 to 4).
inline constexpr int MAX_HEADER_LENGTH = 4;
// The widest length header of any framing (BIN4, HEX4, VMLH).
inline constexpr int MAX_LENGTH_HEADER = 4;
inline constexpr int FRAME_TPDU_LENGTH = 5;
inline constexpr int MAX_FRAME_TRAILER = 8;
// The widest header with its TPDU: the room a send keeps in front of a
// message, and a port for the header of the record it is reading.
inline constexpr int MAX_FRAME_HEADER = MAX_LENGTH_HEADER + FRAME_TPDU_LENGTH;
// What a record may hold beside its message: the TPDU and the trailer.
inline constexpr int MAX_FRAME_EXTRA = FRAME_TPDU_LENGTH + MAX_FRAME_TRAILER;

enum class FramingKind : int32_t {
    None,     // no header
    Decimal,  // headerLength ASCII decimal digits (ASCII1 to ASCII4, HEADER_LENGTH)
    Bin2,     // 2-byte unsigned big-endian
    Bin2Le,   // 2-byte unsigned little-endian
    Bin4,     // 4-byte unsigned big-endian
    Bcd2,     // 2 bytes of packed BCD, 0 to 9999
    Hex4,     // 4 hexadecimal ASCII characters
    Vmlh,     // 2-byte big-endian length, then 2 reserved bytes (sent as 00 00)
};

enum class KeepAlive : int32_t {
    None,    // a record of length 0 is refused, as the HEADER_LENGTH rule has it
    Ignore,  // a keep-alive is passed over
    Echo,    // a keep-alive is answered with one, by the side that accepted the connection
};

struct Framing {
    FramingKind kind;
    int32_t headerLength;   // bytes of the length header in front of every record; 0 for None
    int32_t countsItself;   // 1: the header's value counts the header's own bytes
    int32_t tpduLength;     // 0 or FRAME_TPDU_LENGTH
    int32_t trailerLength;  // 0 to MAX_FRAME_TRAILER
    KeepAlive keepAlive;
    unsigned char tpdu[FRAME_TPDU_LENGTH];  // the configured TPDU: what the tool originates
    unsigned char trailer[MAX_FRAME_TRAILER];
};

inline constexpr Framing NO_FRAMING{FramingKind::None, 0, 0, 0, 0, KeepAlive::None, {}, {}};

// The decimal prefix of `digits` digits; outside 1 to MAX_HEADER_LENGTH, no
// framing.
Framing DecimalFraming(int digits);

// The bytes in front of a record's message: the length header and the TPDU.
inline int FramePrefixLength(const Framing& framing) {
    return framing.headerLength + framing.tpduLength;
}

enum class HeaderOutcome {
    NeedMore,   // the header is not whole yet
    Length,     // the record's `length` bytes after the header follow
    KeepAlive,  // a keep-alive: nothing follows the header
    Malformed,  // the header names no record this port can take
};

// Why a header was malformed, for the record that reports it.
enum class HeaderFault {
    None,
    Length,            // the message it names is empty or longer than the port takes
    NotBcd,            // a nibble of a BCD2 header is not a decimal digit
    NotHex,            // a HEX4 header holds a character that is not hexadecimal
    ShorterThanSelf,   // a header that counts itself names fewer bytes than its own
    ShorterThanFrame,  // the record is shorter than its TPDU and trailer
};

struct FrameHeader {
    HeaderOutcome outcome;
    // Length: the bytes after the header (TPDU, message, trailer).
    // Malformed: the length the header was read as (what the record shows),
    // when it could be read as one.
    int32_t length;
    HeaderFault fault = HeaderFault::None;
};

// Reads the `count` header bytes of a record read so far (at most
// framing.headerLength). The message inside a record must have 1 to maxBody
// bytes. A framing without a header has nothing to read: it answers Length
// with maxBody.
FrameHeader ParseFrameHeader(const Framing& framing, const unsigned char* header, int count,
                             int maxBody);

// Writes the header for a message of bodyLength bytes at `out`
// (framing.headerLength bytes; nothing for None), counting the TPDU and
// trailer the record carries. False when the header cannot express that
// length: nothing is written then, and the message must not be sent (a
// header cut short or wrapped would frame a corrupt record).
bool WriteFrameHeader(const Framing& framing, unsigned char* out, int bodyLength);

// Writes a keep-alive record's header (framing.headerLength bytes).
void WriteKeepAliveHeader(const Framing& framing, unsigned char* out);

// The framing's words, as the configuration has them ("BIN2", "ASCII4",
// "NONE").
const char* FramingKindName(const Framing& framing);
