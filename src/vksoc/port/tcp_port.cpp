#include "vksoc/port/tcp_port.h"

bool IsTcpPort(long long number) {
    return number >= 1 && number <= MAX_TCP_PORT;
}

bool ParseTcpPort(std::string_view text, int* port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    if (!IsTcpPort(number)) {
        return false;
    }
    *port = static_cast<int>(number);
    return true;
}
