#pragma once

// Working storage of one configuration load, shared by the section readers.

#include <cstdio>

#include "diag/error_state.h"
#include "vkstp/config_image.h"
#include "vkstp/config_reader.h"
#include "vkstp/line_reader.h"

struct ConfigLoad {
    unsigned char* image;
    ConfigHeader header;
    int writePosition;  // next free byte of the image; only grows
    LineReader* lines;
    const ConfigNotices* notices;
    char line[LINE_SIZE];
    char tag[LINE_SIZE];
    char value[LINE_SIZE];
    bool lastLineRead;  // false once the end of the file is reached
};

// Reads the next line and splits it. Returns false at the end of the file.
// Tells a notice for a line cut at 255 characters or holding a NUL byte.
bool NextTagLine(ConfigLoad& load);

// Tells the notice sink (if any) about the line just read, or about line.
void Notice(const ConfigLoad& load, const char* format, ...) VELK_PRINTF(2, 3);
void NoticeAt(const ConfigLoad& load, int line, const char* format, ...) VELK_PRINTF(3, 4);

// Notices about the value of the line just read (tag without brackets) that
// its conversion does not take whole, saying what the responder uses: a
// number with no digits, with text after its digits, or outside lowest to
// highest (stored: what the conversion made of it); a text longer than the
// width its field keeps. Nothing is changed.
void NoticeNumberValue(const ConfigLoad& load, const char* tag, long long stored, long long lowest,
                       long long highest);
void NoticeTextValue(const ConfigLoad& load, const char* tag, int width);

// The record of recordSize bytes at offset, or null when it does not lie
// wholly inside the image; then the load is stopped with an error-log record.
unsigned char* RecordAt(ConfigLoad& load, long long offset, int recordSize);

// Section readers: 0, or -1 when the configuration does not fit the image.
int ReadSolList(ConfigLoad& load);
int ReadDcServerList(ConfigLoad& load);
int ReadMiscellaneous(ConfigLoad& load);
int ReadNwMiscList(ConfigLoad& load);
int ReadControllerList(ConfigLoad& load);
// 0 at its closing tag or the end of the file; -1 after a field error (the
// error log has been written) or when the image is full.
int ReadFieldSpecList(ConfigLoad& load, ControllerParams& controller);
