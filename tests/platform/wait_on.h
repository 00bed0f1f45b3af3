#pragma once

// WaitSocket's three results taken together, for the socket tests.

#include "os_sockets.h"

namespace {

struct Wait {
    int result;
    bool readable;
    bool exceptional;
};

Wait WaitOn(SOCKET s, int timeoutSeconds) {
    Wait wait{};
    wait.result = plat::WaitSocket(s, timeoutSeconds, &wait.readable, &wait.exceptional);
    return wait;
}

}  // namespace
