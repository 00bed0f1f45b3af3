#pragma once

// velk-tester's exit codes, the same on every platform: one per kind of
// failure, so that a job can tell a responder that never started (or could
// not go on listening) from one that served until it was stopped. Each
// failure's message box and error-log record come first, as they always have.
inline constexpr int EXIT_SERVED = 0;  // served until a stop; --help, --version
// The operator script cannot be used, or there is neither a desk to show
// dialogs on nor an operator script, or VELK_REPORT cannot be written.
inline constexpr int EXIT_CANNOT_START = 1;
// The controller or port argument is missing or not understood.
inline constexpr int EXIT_BAD_ARGUMENTS = 2;
// VELK_PEERS is not a number from 1 to MAX_PEERS (at start-up).
inline constexpr int EXIT_BAD_PEERS = 3;
// With VELK_REPORT, after a stop: a test case failed (a request had
// findings) or the report could not be written. The same number as
// EXIT_BAD_PEERS, as CI jobs expect "3: the tests failed"; the two are told
// apart by when they come (a refused VELK_PEERS ends the run before it
// serves and writes no report) and by the line on standard error.
inline constexpr int EXIT_TESTS_FAILED = 3;
// The configuration file cannot be read.
inline constexpr int EXIT_NO_CONFIGURATION = 4;
// "Open Port failed": the port cannot be listened on.
inline constexpr int EXIT_OPEN_PORT_FAILED = 5;
// "Accept failed": waiting for or accepting a connection failed.
inline constexpr int EXIT_ACCEPT_FAILED = 6;
// The sockets library cannot be started (Windows).
inline constexpr int EXIT_NO_SOCKETS = 7;
// The process may open fewer files than VELK_PEERS connections need.
inline constexpr int EXIT_TOO_FEW_DESCRIPTORS = 8;
// VELK_BIND names no address the port can listen on.
inline constexpr int EXIT_BAD_BIND = 9;
// The TLS port cannot be set up: only one of VELK_TLS_CERT and VELK_TLS_KEY,
// VELK_TLS_CA or VELK_TLS_MIN_VERSION without them, a minimum version other
// than 1.2 or 1.3, a certificate, key or CA file that cannot be read, a key
// that does not match its certificate, or no TLS in this build.
inline constexpr int EXIT_BAD_TLS = 10;
