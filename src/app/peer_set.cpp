#include "app/peer_set.h"

#include <algorithm>

#include "os_sockets.h"
#include "platform/steady_clock.h"
#include "platform/stop_request.h"
#include "vksoc/port/accept_peer.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/port_peer_name.h"
#include "vksoc/port/port_socket.h"
#include "vksoc/port/port_tls.h"
#include "vksoc/port/recv_msg.h"
#include "vkstp/config_view.h"

namespace {

// A stop is seen within this time even when its signal came between the
// look at the flag and the wait.
constexpr int64_t STOP_CHECK_MS = 500;
// After a failed accept (no descriptors left, say) the listening socket rests
// this long, so that a connection that cannot be taken is not retried in a
// busy loop.
constexpr int64_t ACCEPT_RETRY_MS = 250;

struct Peer {
    int port = -1;  // -1: a free place
    // What the last TakeMsg returned (at least 1 while part of a record's
    // header is held): above 0, part of a prefixed record is held and the
    // wait for the rest ends at `deadline`.
    int held = 0;
    int64_t deadline = -1;
    // Bytes that may hold a whole message: it is taken (and answered) before
    // the connection is read again, once a response would not wait.
    bool parse = false;
    bool suspended = false;
    // A TLS connection before its handshake is complete: its turns follow
    // the wait like reads do, and `deadline` bounds them all.
    bool handshaking = false;
};

class PeerSet {
  public:
    PeerSet(int listeningPort, int limit, MessageFields* message, PeerAnswerer& answerer)
        : listening_(listeningPort), limit_(limit), message_(message), answerer_(answerer) {}

    int Run();

  private:
    int64_t Plan(int64_t now);
    void Accept(int64_t now);
    void Serve(Peer& peer, const plat::WaitEntry& wait, int64_t now);
    void Handshake(Peer& peer, const plat::WaitEntry& wait, int64_t now);
    void After(Peer& peer, PeerAnswer outcome, int64_t now);
    void Settle(Peer& peer, int64_t now);
    void Park(Peer& peer, int held, int64_t now);
    void Fail(Peer& peer);
    void Close(Peer& peer);

    const int listening_;
    const int limit_;
    MessageFields* const message_;
    PeerAnswerer& answerer_;
    Peer peers_[MAX_PEERS];
    // waits_[0] is the listening socket, waits_[1 + i] the place peers_[i].
    plat::WaitEntry waits_[MAX_PEERS + 1]{};
    static_assert(MAX_PEERS + 1 <= plat::MAX_WAIT_SOCKETS);
    int open_ = 0;
    int64_t acceptAfter_ = 0;
};

int PeerSet::Run() {
    while (!StopRequested()) {
        int64_t now = SteadyMilliseconds();
        int64_t wakeAt = Plan(now);
        int waitMs = static_cast<int>(std::max<int64_t>(0, wakeAt - now));
        if (plat::WaitSockets(waits_, limit_ + 1, waitMs) == SOCKET_ERROR) {
            // Not one socket's failure: every connection ends with it.
            int wsa = WSAGetLastError();
            if (open_ == 0) {
                FailWait(wsa);
                return -1;
            }
            for (Peer& peer : peers_) {
                if (peer.port >= 0) {
                    FailWait(wsa);
                    Fail(peer);
                }
            }
            continue;
        }
        now = SteadyMilliseconds();
        if (waits_[0].readable) {
            Accept(now);
        }
        for (int i = 0; i < limit_ && !StopRequested(); ++i) {
            if (peers_[i].port >= 0) {
                Serve(peers_[i], waits_[1 + i], now);
            }
        }
    }
    // A stop cuts every delay short: the answers in hand go out, as with
    // one connection; the requests not yet taken stay unanswered.
    const int64_t now = SteadyMilliseconds();
    for (Peer& peer : peers_) {
        if (peer.port >= 0 && peer.suspended) {
            After(peer, answerer_.Resume(peer.port), now);
        }
    }
    for (Peer& peer : peers_) {
        if (peer.port >= 0) {
            Close(peer);
        }
    }
    return 0;
}

// Fills the wait entries; returns when the wait must end at the latest.
int64_t PeerSet::Plan(int64_t now) {
    int64_t wakeAt = now + STOP_CHECK_MS;
    plat::WaitEntry& listen = waits_[0];
    listen = plat::WaitEntry{PortSocket(listening_), false, false, false, false, false};
    if (open_ < limit_) {
        listen.wantRead = now >= acceptAfter_;
        if (!listen.wantRead) {
            wakeAt = std::min(wakeAt, acceptAfter_);
        }
    }
    for (int i = 0; i < limit_; ++i) {
        Peer& peer = peers_[i];
        plat::WaitEntry& wait = waits_[1 + i];
        wait = plat::WaitEntry{INVALID_SOCKET, false, false, false, false, false};
        if (peer.port < 0) {
            continue;
        }
        wait.socket = PortSocket(peer.port);
        if (peer.handshaking) {
            const bool read = PortHandshakeWant(peer.port) == plat::TLS_WANT_READ;
            wait.wantRead = read;
            wait.wantWrite = !read;
            wakeAt = std::min(wakeAt, peer.deadline);
        } else if (peer.suspended) {
            int64_t due = answerer_.WakeTime(peer.port);
            if (due <= now) {
                wait.wantWrite = true;
            } else {
                wakeAt = std::min(wakeAt, due);
            }
        } else if (peer.parse) {
            wait.wantWrite = true;
        } else {
            wait.wantRead = true;
            if (PortPendingBytes(peer.port) > 0) {
                wakeAt = now;  // decrypted bytes held: the socket shows nothing of them
            } else if (peer.deadline >= 0) {
                wakeAt = std::min(wakeAt, peer.deadline);
            }
        }
    }
    return wakeAt;
}

void PeerSet::Accept(int64_t now) {
    while (open_ < limit_) {
        int port = AcceptPeer(listening_);
        if (port == NO_PEER_WAITING) {
            return;
        }
        if (port < 0) {
            answerer_.AcceptFailed();
            acceptAfter_ = now + ACCEPT_RETRY_MS;
            return;
        }
        Peer* place =
            std::find_if(peers_, peers_ + limit_, [](const Peer& p) { return p.port < 0; });
        *place = Peer{};
        place->port = port;
        ++open_;
        NamePortPeer(port);
        answerer_.Accepted(port);
        if (PortHandshakeWant(port) != 0) {
            place->handshaking = true;
            place->deadline = now + HandshakeLimitMs();
        }
    }
}

void PeerSet::Serve(Peer& peer, const plat::WaitEntry& wait, int64_t now) {
    if (peer.handshaking) {
        Handshake(peer, wait, now);
        return;
    }
    if (wait.wantWrite && wait.writable) {
        if (peer.suspended) {
            After(peer, answerer_.Resume(peer.port), now);
            return;
        }
        const Taken taken = TakeMsg(peer.port, message_);
        switch (taken.outcome) {
            case TakeOutcome::Malformed:
                Fail(peer);
                break;
            case TakeOutcome::Whole:
                After(peer, answerer_.Answer(peer.port), now);
                break;
            case TakeOutcome::NeedMore:
                Park(peer, taken.bytes, now);
                break;
        }
        return;
    }
    if (!wait.wantRead) {
        return;
    }
    const bool timedOut = peer.deadline >= 0 && now >= peer.deadline;
    const bool readable = wait.readable || PortPendingBytes(peer.port) > 0;
    if (!readable && !wait.exceptional && !timedOut) {
        return;
    }
    if (ReadAfterWait(peer.port, peer.held, readable, wait.exceptional) < 0) {
        Fail(peer);
        return;
    }
    Settle(peer, now);
}

// A turn of the handshake once the socket is ready for it; a handshake that
// runs past its deadline fails like a read that timed out.
void PeerSet::Handshake(Peer& peer, const plat::WaitEntry& wait, int64_t now) {
    if (wait.readable || wait.writable || wait.exceptional) {
        const int turn = ContinueHandshake(peer.port);
        if (turn < 0) {
            Fail(peer);
            return;
        }
        if (turn == 0) {
            peer.handshaking = false;
            peer.deadline = -1;
            Settle(peer, now);
            return;
        }
    }
    if (now >= peer.deadline) {
        FailHandshakeTimeout(HandshakeLimitMs());
        Fail(peer);
    }
}

void PeerSet::After(Peer& peer, PeerAnswer outcome, int64_t now) {
    switch (outcome) {
        case PeerAnswer::Suspended:
            if (answerer_.WakeTime(peer.port) >= 0) {
                peer.suspended = true;
                return;
            }
            // A run that keeps nothing to resume is over.
            break;
        case PeerAnswer::End:
            Close(peer);
            return;
        case PeerAnswer::Done:
            break;
    }
    peer.suspended = false;
    Settle(peer, now);
}

// After a read or an answer: more may be held, or the connection waits for
// bytes again (RecvMsg parses before every wait).
void PeerSet::Settle(Peer& peer, int64_t now) {
    if (PortHoldsData(peer.port)) {
        peer.parse = true;
        peer.deadline = -1;
        return;
    }
    Park(peer, TakeMsg(peer.port, message_).bytes, now);
}

// A record whose length header alone has arrived is part of a message too:
// its peer must not hold the place for ever.
void PeerSet::Park(Peer& peer, int held, int64_t now) {
    peer.parse = false;
    peer.held = held > 0 ? held : (PortHoldsPartOfMessage(peer.port) ? 1 : 0);
    int seconds = ConfiguredReadTimeout();
    peer.deadline = peer.held > 0 && seconds >= 0 ? now + int64_t{seconds} * 1000 : -1;
}

void PeerSet::Fail(Peer& peer) {
    answerer_.Failed(peer.port);
    Close(peer);
}

void PeerSet::Close(Peer& peer) {
    answerer_.Gone(peer.port);
    ClosePort(peer.port);
    SetPortPeerName(peer.port, nullptr);
    peer = Peer{};
    --open_;
}

}  // namespace

int ServePeers(int listeningPort, int limit, MessageFields* message, PeerAnswerer& answerer) {
    PeerSet set(listeningPort, std::clamp(limit, 1, MAX_PEERS), message, answerer);
    return set.Run();
}
