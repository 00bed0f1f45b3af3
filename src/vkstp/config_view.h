#pragma once

#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// The process-wide pointers through which everything reads the
// configuration, set once the image is in place (loaded or attached).
struct ConfigView {
    unsigned char* image;
    ConfigHeader* header;
    SolRecord* solTable;
    DcServerRecord* serverTable;
    DcIdRecord* dcTable;
    MiscRecord* misc;
    NwMiscRecord* nwMiscTable;
    ControllerParams* controllerTable;
    LinkRecord* linkTable;  // null when no controller has a link record
};

extern ConfigView configView;

// Sets every member to the image start plus the header's offset. A section
// the image does not hold (count 0, offset 0) gets a null table, as does the
// misc record when miscOffset is 0.
void SetConfigView(unsigned char* image);
// Forgets the view (tests, or before attaching another image).
void ClearConfigView();
// Changes whenever the view is set or cleared, so that what was derived from
// one configuration is not mistaken for another's at the same address.
unsigned ConfigViewGeneration();

// Whether an identifier selects the ZTR host format, without consulting the
// configured controllers: its first three characters are "ZTR", case
// included. For the identifiers start-up accepts (at most three characters)
// that is the whole identifier; "ztr" is an ordinary controller.
bool IsZtrController(const char* controllerId);

// Start-up's rule: the whole CONTROLLER_ID equals the whole identifier,
// case-sensitively. Returns the controller's field specs or null.
FieldSpec* FindControllerExact(const char* controllerId);
// Opening a port's rule: at most the first 3 characters agree, stopping at a
// terminating NUL. Returns the controller's field specs or null.
FieldSpec* FindControllerBounded(const char* controllerId);

// The link record of the controller the same rules select, or null: that
// controller speaks the plain link (and so does an identifier no controller
// has).
const LinkRecord* FindLinkExact(const char* controllerId);
const LinkRecord* FindLinkBounded(const char* controllerId);

// Seconds a receive waits while part of a message is held; the default when
// the configuration has no MISCELLANEOUS section.
inline constexpr int DEFAULT_READ_TIMEOUT = 10;
int ConfiguredReadTimeout();

// Seconds a send may go without progress (a peer that does not read) before
// it fails: the configuration's HOST_TIMEOUT, or the default when there is no
// MISCELLANEOUS section or the value is below 1.
inline constexpr int DEFAULT_HOST_TIMEOUT = 30;
int ConfiguredHostTimeout();

// Whether every table the header names lies wholly inside an image of
// imageSize bytes. An image attached from another process is checked with
// this before the view is set on it.
bool ConfigHeaderFits(const ConfigHeader& header, long long imageSize);
// Whether every table offset the header names is a multiple of 4, as the
// loader writes them: the records hold 32-bit numbers, which must not be
// read misaligned.
bool ConfigHeaderAligned(const ConfigHeader& header);
// Whether every link record of an image whose header fits holds only values
// this build knows (LinkRecordValid).
bool ConfigLinksValid(const unsigned char* image);
