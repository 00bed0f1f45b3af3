#include "app/peer_host.h"

PeerHost& DeskPeers() {
    static DeskPeerHost desk;
    return desk;
}
