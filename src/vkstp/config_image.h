#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// The configuration image: one contiguous block, a header of counts and
// offsets, then the tables one after another in the order their sections
// occur in the file. Every reference inside is an offset from the image's
// first byte, so an image means the same wherever it is mapped. The layout is
// shared with other processes (little-endian, no alignment beyond what the
// record sizes give): every size and offset below is asserted.

static_assert(std::endian::native == std::endian::little,
              "the configuration image is little-endian");

inline constexpr int CONFIG_IMAGE_SIZE = 98304;
inline constexpr int MAX_FIELD_NO = 128;

struct ConfigHeader {
    int32_t solCount;
    int32_t solOffset;
    int32_t serverCount;
    int32_t serverOffset;
    // The extension table of link records (vkstp/link_record.h): its offset
    // and its number of records; 0 and 0 when no controller has one.
    int32_t linkOffset;
    int32_t linkCount;
    int32_t miscOffset;
    int32_t nwMiscCount;
    int32_t nwMiscOffset;
    int32_t controllerCount;
    int32_t controllerOffset;
    int32_t dcCount;
    int32_t dcOffset;
};

struct SolRecord {
    char SOL_ID[9];
    char DC_ID[3];
};

struct DcServerRecord {
    char DC_ID[3];
    char IP_ADDRESS[16];
    char padding1[1];
    uint16_t PORT;
    char padding2[2];
};

struct DcIdRecord {
    char DC_ID[3];
    char status;  // 'N' when made; nothing changes it afterwards
};

struct MiscRecord {
    int32_t HOST_TIMEOUT;
    int32_t READ_TIMEOUT;  // seconds a receive waits while part of a message is held
    int32_t UPLOAD_TIMEOUT;
    int32_t SWITCH_TIMEOUT;
    char TRACE_FLAG;
    char padding[3];
};

struct NwMiscRecord {
    char DC_ID[3];
    char CONTROLLER_ID[4];
    char UPLOAD_IP_ADDR[16];
    char padding[1];
    uint16_t UPLOAD_PORT;
    char SWITCH_IP_ADDR[16];
    uint16_t SWITCH_PORT;
};

// The layout of one ISO 8583 data element for one controller.
// MAX_LEN 0: the controller does not define the element. LENGTH_BYTES 0: a
// fixed element of exactly MAX_LEN bytes; 1 to 3: a variable element whose
// value follows that many decimal length digits. The image may come from
// another process: readers treat a negative MAX_LEN or a LENGTH_BYTES outside
// 0 to 3 as undefined (see FieldSpecIsDefined).
struct FieldSpec {
    char FIELD_NAME[64];
    int32_t MAX_LEN;
    int32_t LENGTH_BYTES;
};

struct ControllerParams {
    char CONTROLLER_ID[4];
    FieldSpec fields[MAX_FIELD_NO];  // entry n - 1 describes field n
};

static_assert(sizeof(ConfigHeader) == 52);
static_assert(offsetof(ConfigHeader, solOffset) == 4);
static_assert(offsetof(ConfigHeader, serverCount) == 8);
static_assert(offsetof(ConfigHeader, serverOffset) == 12);
static_assert(offsetof(ConfigHeader, linkOffset) == 16);
static_assert(offsetof(ConfigHeader, linkCount) == 20);
static_assert(offsetof(ConfigHeader, miscOffset) == 24);
static_assert(offsetof(ConfigHeader, nwMiscCount) == 28);
static_assert(offsetof(ConfigHeader, nwMiscOffset) == 32);
static_assert(offsetof(ConfigHeader, controllerCount) == 36);
static_assert(offsetof(ConfigHeader, controllerOffset) == 40);
static_assert(offsetof(ConfigHeader, dcCount) == 44);
static_assert(offsetof(ConfigHeader, dcOffset) == 48);

static_assert(sizeof(SolRecord) == 12);
static_assert(offsetof(SolRecord, DC_ID) == 9);

static_assert(sizeof(DcServerRecord) == 24);
static_assert(offsetof(DcServerRecord, IP_ADDRESS) == 3);
static_assert(offsetof(DcServerRecord, PORT) == 20);

static_assert(sizeof(DcIdRecord) == 4);
static_assert(offsetof(DcIdRecord, status) == 3);

static_assert(sizeof(MiscRecord) == 20);
static_assert(offsetof(MiscRecord, READ_TIMEOUT) == 4);
static_assert(offsetof(MiscRecord, UPLOAD_TIMEOUT) == 8);
static_assert(offsetof(MiscRecord, SWITCH_TIMEOUT) == 12);
static_assert(offsetof(MiscRecord, TRACE_FLAG) == 16);

static_assert(sizeof(NwMiscRecord) == 44);
static_assert(offsetof(NwMiscRecord, CONTROLLER_ID) == 3);
static_assert(offsetof(NwMiscRecord, UPLOAD_IP_ADDR) == 7);
static_assert(offsetof(NwMiscRecord, UPLOAD_PORT) == 24);
static_assert(offsetof(NwMiscRecord, SWITCH_IP_ADDR) == 26);
static_assert(offsetof(NwMiscRecord, SWITCH_PORT) == 42);

static_assert(sizeof(FieldSpec) == 72);
static_assert(offsetof(FieldSpec, MAX_LEN) == 64);
static_assert(offsetof(FieldSpec, LENGTH_BYTES) == 68);

static_assert(sizeof(ControllerParams) == 9220);
static_assert(offsetof(ControllerParams, fields) == 4);

// Widest length prefix an element may have.
inline constexpr int MAX_LENGTH_BYTES = 3;

// Whether a spec describes an element the codec and the dialog may use.
inline bool FieldSpecIsDefined(const FieldSpec& spec) {
    return spec.MAX_LEN > 0 && spec.LENGTH_BYTES >= 0 && spec.LENGTH_BYTES <= MAX_LENGTH_BYTES;
}
