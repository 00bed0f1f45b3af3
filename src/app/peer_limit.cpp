#include "app/peer_limit.h"

#include <cstdlib>

#include "app/peer_set.h"

int PeerLimit() {
    const char* text = std::getenv("VELK_PEERS");
    if (text == nullptr || text[0] == '\0') {
        return 1;
    }
    int value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return 0;
        }
        value = value * 10 + (*c - '0');
        if (value > MAX_PEERS) {
            return 0;
        }
    }
    return value;
}

int DescriptorsNeeded(int peers) {
    constexpr int listening = 1;
    constexpr int standardStreams = 3;
    constexpr int logFiles = 2;
    constexpr int dataFile = 1;
    return peers + listening + standardStreams + logFiles + dataFile;
}
