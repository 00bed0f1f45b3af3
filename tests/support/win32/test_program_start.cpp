// Compiled into every Windows test program; runs before its first test.
//
// Windows Sockets is started as the program's start-up does: a socket call
// before WSAStartup fails with WSANOTINITIALISED. (POSIX has nothing to
// start.)
//
// The runtime's default file mode becomes binary: the logs and dumps are
// text files, which Windows writes with CR LF line ends, and the expected
// texts of the tests are written with "\n". One test of the diagnostics
// (diag/win32/) switches back to text mode and checks the CR LF ends.

#include <winsock2.h>

#include <fcntl.h>
#include <stdlib.h>

namespace {

struct TestProgramStart {
    TestProgramStart() {
        WSADATA data;
        WSAStartup(0x0101, &data);
        _fmode = _O_BINARY;
    }
};

const TestProgramStart testProgramStart;

}  // namespace
