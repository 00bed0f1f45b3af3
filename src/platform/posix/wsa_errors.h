#pragma once

// Socket failures are reported with Windows Sockets error numbers on every
// platform, so that logs read the same everywhere.

namespace plat {

// The Windows Sockets number for a POSIX errno; an errno without a Windows
// counterpart is returned unchanged.
int WsaErrorFromErrno(int errnum);

}  // namespace plat
