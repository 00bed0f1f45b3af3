#pragma once

#include <string>
#include <vector>

#include "vkstp/link_record.h"

// What a generated dissector knows: the controllers it decodes, each with its
// field layout and the TCP ports it is registered on, and the length-prefix
// width of ISO 8583 messages.

struct DissectorElement {
    int fieldNo;  // 2 to 128
    std::string name;
    int maxLen;
    int lengthBytes;  // 0: fixed element of maxLen bytes
    // The field's link tags (all ASCII and plain without a link record).
    ValueEncoding encoding;
    LengthEncoding lengthEncoding;
    bool tlv;  // FIELD_FORMAT TLV: the value is BER-TLV data objects
};

struct DissectorController {
    std::string id;   // as the configuration spells it, or ZTR
    std::string key;  // lower-case letters, digits and '_': names its protocol and preference
    bool ztr = false;
    std::vector<DissectorElement> elements;  // ascending field numbers; empty for ZTR
    std::vector<int> ports;
    // The controller's link record; without one (hasLink false) its traffic
    // is framed by the length-prefix width and every value is ASCII.
    bool hasLink = false;
    LinkRecord link{};
};

struct DissectorModel {
    std::vector<DissectorController> controllers;
    int headerLength = 0;  // digits in front of every ISO 8583 message; 0: none
};

// Builds the model from the loaded configuration. `names`: the controllers to
// decode, as velkctl's other commands find them (ZTR needs no configuration);
// empty means every configured controller and ZTR. `ports`: "N=CONTROLLER"
// pairs, N from 1 to 65535, the controller one of those decoded. False with
// the reason in *error.
bool BuildDissectorModel(const std::vector<std::string>& names,
                         const std::vector<std::string>& ports, int headerLength,
                         DissectorModel* model, std::string* error);
