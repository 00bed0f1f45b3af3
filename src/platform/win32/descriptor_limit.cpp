#include "platform/descriptor_limit.h"

#include <climits>

// Sockets are handles, not C runtime descriptors: the process's handle
// limit lies far above what the responder opens.
int OpenDescriptorLimit() {
    return INT_MAX;
}
