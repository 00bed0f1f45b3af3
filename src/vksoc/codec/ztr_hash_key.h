#pragma once

#include <cstdint>

#include "diag/message_fields.h"

// The hash-key arithmetic, fed in pieces so that the input never needs to be
// copied into a scratch area: the key of the HASH_KEY_FIELDS is summed
// straight over the slots. The input ends at its first NUL byte, exactly as
// the NUL-terminated text of all pieces would, so a field holding a NUL ends
// the input there on both sides of the connection.
class HashKeySum {
  public:
    void Add(const unsigned char* bytes, int32_t length);
    // Writes the key text (8 to 11 characters and a NUL) into 12 bytes.
    void Finish(char* key) const;

  private:
    // Unsigned so that the 32-bit wrap-around is defined behaviour.
    uint32_t sum_ = 0;
    uint32_t position_ = 0;
    bool ended_ = false;
};

// The key of the present HASH_KEY_FIELDS slots of `fields`, into 12 bytes.
void ComputeHashKeyOfFields(const MessageFields& fields, char* key);
