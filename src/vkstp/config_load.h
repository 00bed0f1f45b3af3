#pragma once

// Working storage of one configuration load, shared by the section readers.

#include <cstdio>

#include "diag/error_state.h"
#include "vkstp/config_image.h"
#include "vkstp/config_reader.h"
#include "vkstp/line_reader.h"
#include "vkstp/link_record.h"

// More controllers than this cannot fit in the image.
inline constexpr int MAX_LINK_RECORDS =
    CONFIG_IMAGE_SIZE / static_cast<int>(sizeof(ControllerParams));

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
    // The link record of the controller being read; kept when it is closed
    // if any link tag was given.
    LinkRecord pendingLink;
    bool pendingLinkUsed;
    LinkRecord links[MAX_LINK_RECORDS];
    int linkCount;
    bool linkRefused;  // a link tag's value was refused: the load fails at its end
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

// Link tags (link_reader.cpp). Each refusal writes its error-log record,
// tells its notice and sets linkRefused; reading goes on so that every
// refusal of the file is told.
bool IsLinkControllerTag(const char* tag);
bool IsLinkFieldTag(const char* tag);
// A controller-level tag of the line just read, into load.pendingLink.
void ReadLinkControllerTag(ConfigLoad& load, const ControllerParams& controller);
// A field-level tag of the line just read, for field fieldNo.
void ReadLinkFieldTag(ConfigLoad& load, const ControllerParams& controller, int fieldNo);
// <MESSAGE_RULE_LIST> up to its closing tag, into load.pendingLink.
void ReadMessageRuleList(ConfigLoad& load, const ControllerParams& controller);
// The controller just closed: keeps its pending link record, if any.
void CloseLinkRecord(ConfigLoad& load, const ControllerParams& controller,
                     const ControllerParams* controllers, int closedIndex);
// Writes the kept link records behind the last table and sets the header's
// words for them. -1 when they do not fit in the image.
int WriteLinkTable(ConfigLoad& load);
