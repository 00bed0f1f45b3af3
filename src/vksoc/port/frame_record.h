#pragma once

#include "vksoc/port/port_entry.h"

// The framing's rules for a record a port reads, beside ReadPort: what its
// header says once whole, and what a whole record holds besides its
// message. Each returns 0, or -1 after recording the refusal (ERR_FORMAT,
// with a record naming ReadPort and what was wrong).

// The header of the record being read is whole (headerBytesRead bytes in
// headerText). Sets recordLength for a record that follows; for a keep-alive
// forgets the header (and answers it with one on an answering port when the
// framing echoes them: a connecting port never does, so two ends that both
// echo never keep one going between them).
int TakeFrameHeader(PortEntry& entry, const FrameHeader& header);

// The record's recordLength bytes are in the buffer from its start: checks
// the trailer, keeps the TPDU, and leaves the message alone held
// (readOffset past the TPDU, bytesHeld without the trailer).
int FinishRecord(PortEntry& entry);

// Bytes of a whole record that no message takes: those after the last
// message taken (found when the next record's header is due), or the whole
// record when its message is incomplete in it (found at once: no byte that
// arrives later can belong to it). Records the refusal.
void RefuseExcess(int bytes);

// The bytes the port's next send puts in front of its message after the
// length header: on a port that answers (one that accepted its connection),
// the TPDU of the last request with its destination (bytes 2 and 3) and
// source (bytes 4 and 5) swapped; otherwise the configured TPDU.
void ResponseTpdu(const PortEntry& entry, unsigned char* out);
