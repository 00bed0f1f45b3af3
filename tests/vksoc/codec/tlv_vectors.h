#pragma once

#include <string>
#include <vector>

#include "vksoc/codec/hex_value.h"

// Known field 55 values, each with where it comes from; shared by the TLV
// tests and the fuzz target's seeds (tests/data/fuzz/tlv/ holds the same
// bytes). Blanks in `hex` only separate objects for the reader.
struct TlvVector {
    const char* name;
    const char* source;
    const char* hex;
};

inline std::vector<unsigned char> HexBytes(const std::string& spaced) {
    std::string hex;
    for (char c : spaced) {
        if (c != ' ') {
            hex += c;
        }
    }
    std::vector<unsigned char> bytes(hex.size() / 2);
    if (HexToBytes(hex.data(), static_cast<int32_t>(hex.size()), bytes.data()) < 0) {
        bytes.clear();
    }
    return bytes;
}

inline std::string HexText(const unsigned char* bytes, int32_t length) {
    std::string text(static_cast<size_t>(2 * (length > 0 ? length : 0)), '\0');
    BytesToHex(bytes, length, text.data());
    return text;
}

// An issuer public key certificate of 253 bytes: a value that needs 81 xx.
inline std::string LongValueHex(int bytes) {
    std::string hex;
    for (int i = 0; i < bytes; ++i) {
        static const char DIGITS[] = "0123456789ABCDEF";
        hex += DIGITS[(i >> 4) & 0xF];
        hex += DIGITS[i & 0xF];
    }
    return hex;
}

// The request of a contact chip purchase as terminals send it online (the
// authorisation request cryptogram and the data it was computed over), in
// the order terminals commonly list it: 20 objects.
inline const char* const ARQC_20 =
    "5F2A 02 0978 82 02 1980 84 07 A0000000031010 95 05 0000008000 9A 03 231215 9C 01 00 "
    "9F02 06 000000012345 9F03 06 000000000000 9F09 02 008C 9F10 07 06010A03A0A802 "
    "9F1A 02 0276 9F1E 08 3132333435363738 9F26 08 1A2B3C4D5E6F7081 9F27 01 80 "
    "9F33 03 E0F8C8 9F34 03 420300 9F35 01 22 9F36 02 0042 9F37 04 9A8B7C6D "
    "9F41 04 00000123";

// Vectors that decode whole.
inline const TlvVector WHOLE_VECTORS[] = {
    {"amount_and_sequence", "pyiso8583's documentation of field 55",
     "9F02 06 000000012345 5F34 01 02"},
    {"arqc_20", "the shape of a contact ARQC, composed for these tests", ARQC_20},
    {"select_response_and_77",
     "the BER tool of nightcode on GitHub (README): an FCI 6F with a nested A5, a response 77, "
     "the status word 90 00",
     "6F 1A 84 0E 315041592E5359532E4444463031 A5 08 88 01 02 5F2D 02 656E "
     "77 29 9F27 01 00 9F36 02 0060 9F26 08 C2C12B098F3DA6E3 "
     "9F10 12 0111258013423A02CFEC00000002011400FF 90 00"},
    {"record_70_card_data", "a READ RECORD response in the shape of EMV Book 3, test card data",
     "70 3B 57 13 4761739001010010D22122011143804400000F 5A 08 4761739001010010 "
     "5F20 0A 4A4F484E20534D495448 5F24 03 221231 9F1F 06 313233343536"},
    {"issuer_response", "an issuer's answer: ARPC with its response code, the code, a script 71",
     "91 0A 1122334455667788 3030 8A 02 3030 "
     "71 16 9F18 04 00000001 86 0D 8424000008 1122334455667788"},
    {"long_form_81", "a short value written in the long form 81 xx, as some terminals do",
     "9F10 81 07 06010A03A0A802 9F27 01 80"},
    {"long_form_82",
     "a record 70 of 259 bytes (82 01 03) with an issuer public key certificate (81 FD)",
     nullptr},  // built by LongFormVector82()
    {"padding", "zero bytes before, between and after objects, which EMV allows",
     "00 00 9F27 01 80 00 9F36 02 0042 00 00 00"},
    {"empty_constructed_and_proprietary", "an empty 72 and proprietary DF tags",
     "72 00 DF01 02 0102 DF8101 01 FF"},
};

inline std::string LongFormVector82() {
    return "70 82 0103 8F 01 05 90 81 FD " + LongValueHex(253);
}

inline std::string VectorHex(const TlvVector& v) {
    return v.hex != nullptr ? std::string(v.hex) : LongFormVector82();
}
