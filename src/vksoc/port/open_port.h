#pragma once

// Opens a port and returns its handle (0 to MAX_PORTS - 1), or -1 after
// recording the error. The lowest free entry is taken.
//  mode MODE_LISTEN 'L': listens on portOrFlags (SO_REUSEADDR, backlog 0)
//    on the local address VELK_BIND names, read anew at every call: a
//    numeric IPv4 or IPv6 address; unset or empty, every IPv4 interface. A
//    value that is no such address fails with ERR_INVALID and a text naming
//    VELK_BIND and the value. address is not used. AcceptConn follows.
//  mode MODE_CONNECT 'S': a blocking connect to the dotted IPv4 address and
//    TCP port portOrFlags.
//  mode MODE_FILE 'F': opens the file at address with the open flags
//    portOrFlags, passed through unchanged (new files: owner read/write).
// controllerId: "ZTR" (the first three characters count) selects the ZTR
// format, anything else the configured controller whose CONTROLLER_ID agrees
// in its first three characters; the configuration must be loaded or
// attached first. ISO 8583 ports frame as the controller's link record says
// (FRAMING, TPDU, TRAILER, KEEPALIVE: vksoc/port/link_framing.h); without a
// FRAMING they take their length-prefix width from HEADER_LENGTH, read anew
// at every call (above 4: no prefix).
// On failure nothing stays allocated or open and the entry stays free.
int OpenPort(const char* address, int portOrFlags, char mode, const char* controllerId);

// OpenPort in MODE_CONNECT whose connect gives up after timeoutMs
// milliseconds ("OpenPort: Connection to [%s,%d] Timed out", sub-code
// WSAETIMEDOUT): a peer whose listen queue is full answers nothing, and the
// blocking connect would wait for the system's own limit.
int OpenPortConnectWithin(const char* address, int tcpPort, const char* controllerId,
                          int timeoutMs);

// The value of VELK_BIND when it names no address a listening port can bind:
// null when it is unset, empty or a numeric IPv4 or IPv6 address. For a
// start-up check that refuses it before anything listens.
const char* InvalidListenAddress();

// The length-prefix width an ISO 8583 port opened now would take from
// HEADER_LENGTH: leading digits after an optional sign; below 1, or above 4,
// means no prefix.
int HeaderLengthFromEnvironment();
