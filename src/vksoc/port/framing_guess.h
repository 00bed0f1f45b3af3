#pragma once

#include <cstddef>

#include "vkstp/config_image.h"

// A guess at the framing of a message data file that could not be read
// under the length-prefix width in force: a file made under another
// HEADER_LENGTH reads as a message cut short ("Socket closed before full
// message") or as garbage, and the operator is best helped by being told
// which width the bytes fit.

// The length-prefix width (HEADER_LENGTH 0 to 4, 0 for none) other than
// `current` under which `bytes` are exactly one whole ISO 8583 message of
// the layout `specs`: a prefix of that many decimal digits giving the length
// of all that follows, and a message taking exactly those bytes. -1 when no
// other width fits, and always for ZTR (specs null), which is never
// prefixed. The error state is left as it was.
int GuessHeaderLength(const unsigned char* bytes, int count, const FieldSpec* specs, int current);

// The hint for a data file of the controller that could not be read under
// the width `current`: "the file seems to carry a 4-digit length prefix:
// HEADER_LENGTH=4" (or "... no length prefix: HEADER_LENGTH unset or 0"),
// written into out. False, with out empty, when the file cannot be read
// again or no other width fits. The configuration must be loaded for an
// ISO 8583 controller.
bool DataFileFramingHint(const char* fileName, const char* controllerId, int current, char* out,
                         size_t outSize);

// Appends " (HINT)" to the NUL-terminated text in its buffer of size bytes,
// cut to fit, when there is a hint for the file under the HEADER_LENGTH a
// file port opened now would take; the text stays as it is otherwise.
void AppendFramingHint(char* text, size_t size, const char* fileName, const char* controllerId);
