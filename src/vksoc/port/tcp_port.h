#pragma once

#include <string_view>

// The TCP ports a user may name, for the responder's listener and for a
// client alike: 1 to 65535. The wire carries 16 bits, so a larger number
// would silently become another port (70000 is 4464), and port 0 asks the
// system for any free one.
inline constexpr int MAX_TCP_PORT = 65535;

bool IsTcpPort(long long number);

// A port written as decimal digits only (no sign, no blanks, nothing after
// them) naming a port IsTcpPort accepts. False for anything else, *port
// untouched.
bool ParseTcpPort(std::string_view text, int* port);
