#pragma once

// A controller whose fields use every kind of value form, for the tests of
// the places where a person or a script sees and types values: E01 defines
// 2 (PAN, BCD padded with F, a binary length byte, 19 digits), 3 (processing
// code, BCD, 6), 4 (amount, BCD, 12), 39 (response code, EBCDIC, 2), 41
// (terminal id, ASCII, 8), 43 (card acceptor, EBCDIC, LL 40) and 52 (PIN
// block, BINARY, 8 bytes).
#include <string>

inline constexpr const char* ENCODED_CONTROLLER = "E01";

// The <CONTROLLER_PARAMS> record of E01.
std::string EncodedControllerText();
