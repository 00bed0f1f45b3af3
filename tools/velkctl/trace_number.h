#pragma once

#include "diag/message_fields.h"
#include "vkstp/config_image.h"

// The trace number, field 11, pairs a response with its request: a responder
// echoes it, so a response carrying another one answers an earlier request
// (a responder that answered twice, or late) and must not be taken for the
// answer to the request in hand.
inline constexpr int TRACE_FIELD = 11;
inline constexpr int MAX_TRACE_WIDTH = 18;

class TraceNumbers {
  public:
    // format: the controller's layout, null for ZTR (no trace number).
    // given: field 11 of the request as the user gave it.
    // renumber: every request gets a number of its own, counting up from the
    // given value (from 1 when none is given or it is not all digits), as wide
    // as a fixed field 11 (else as the given value, else 6 digits).
    // Otherwise the given value is sent unchanged and matched when present.
    TraceNumbers(const FieldSpec* format, const FieldSlot& given, bool renumber);

    // Responses are matched by trace number: the layout defines field 11 (a
    // fixed one of at most MAX_TRACE_WIDTH digits when renumbering) and the
    // requests carry one.
    bool enabled() const { return width_ > 0; }

    // Puts the trace number of the request with this index (0-based over the
    // whole run) into slot 11 of *request, with `text` (MAX_TRACE_WIDTH
    // bytes, owned by the caller and kept while the request is in use) as its
    // storage. Changes nothing unless renumbering.
    void Apply(long long index, char* text, MessageFields* request) const;

    // Whether the response carries the request's trace number. Trailing
    // blanks, the padding of a fixed element, are not compared.
    static bool Matches(const MessageFields& response, const MessageFields& request);

  private:
    int width_ = 0;  // 0: no matching
    bool renumber_ = false;
    unsigned long long first_ = 1;
    unsigned long long modulus_ = 1;
};
