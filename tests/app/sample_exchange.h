#pragma once

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

// What the end-to-end tests of the responder share: the sample configuration
// and script of the repository, and a request of the sample's C02 with the
// answer the sample script gives it.

inline const std::string kSampleConfig = VELK_SOURCE_DIR "/data/velk.cfg";
inline const std::string kAnswerScript = VELK_SOURCE_DIR "/data/answer.script";

// The sample configuration without the field types and message rules its
// C01 declares: the plain link, for tests of what the responder does without
// conformance checks.
inline std::string SampleWithoutDeclarations() {
    std::ifstream in(kSampleConfig);
    std::ostringstream out;
    std::string line;
    bool inRules = false;
    while (std::getline(in, line)) {
        if (line.find("<MESSAGE_RULE_LIST>") != std::string::npos) {
            inRules = true;
        }
        if (!inRules && line.find("<FIELD_TYPE>") == std::string::npos) {
            out << line << '\n';
        }
        if (line.find("</MESSAGE_RULE_LIST>") != std::string::npos) {
            inRules = false;
        }
    }
    return out.str();
}

inline std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

// A 0200 for C02: elements 3, 4, 11 and 41.
inline const std::string kRequest0200 = "0200" + Bytes({0x30, 0x20, 0, 0, 0, 0x80, 0, 0}) +
                                        "000000" + "000000001000" + "000123" + "TERM0001";
// The answer script makes it a 0210 with element 39 "00" (C02 has no 38).
inline const std::string kResponse0210 = "0210" + Bytes({0x30, 0x20, 0, 0, 0x02, 0x80, 0, 0}) +
                                         "000000" + "000000001000" + "000123" + "00" + "TERM0001";
