#include "vksoc/port/receive_check.h"

namespace {

ReceiveCheck receiveCheck = nullptr;

}  // namespace

void SetReceiveCheck(ReceiveCheck check) {
    receiveCheck = check;
}

ReceiveCheck CurrentReceiveCheck() {
    return receiveCheck;
}
