#pragma once

// Checks, without blocking and without taking any byte, whether an idle
// connection is still alive. 0 when it is (the socket is left blocking, a
// TLS port's non-blocking) and
// for a file port; -1 after recording the error when the peer closed or reset
// it, or when a byte is waiting (none was expected; it stays unread). After a
// failure the socket may be left non-blocking.
int MonitorPort(int port);
