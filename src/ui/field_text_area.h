#pragma once

// The dialog's own copies of field values. The edit boxes are read back into
// the area of the current format, texts back to back, and the message's
// slots point into it until the next read-back of the same format.
inline constexpr int FIELD_TEXT_AREA_SIZE = 4096;

struct FieldTextArea {
    char iso8583[FIELD_TEXT_AREA_SIZE];
    char ztr[FIELD_TEXT_AREA_SIZE];
    // A message read from a data file: its slots would otherwise point into
    // the file port's buffer, which closing the port releases.
    unsigned char fromFile[FIELD_TEXT_AREA_SIZE];
};

extern FieldTextArea fieldTextArea;
