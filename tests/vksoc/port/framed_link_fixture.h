#pragma once

// Controllers that frame their link as real peers do, one per framing, with
// the layout of a network-management 0800 (fields 7, 11, 70) and a request
// field (2, LLVAR), for the tests of the framed receive and send paths.

#include <string>
#include <vector>

#include "connection_fixture.h"
#include "scoped_env.h"

struct FramedController {
    const char* id;
    const char* tags;  // the controller-level tags of its link
};

// Every framing once, then the TPDU, trailer and keep-alive variants.
inline const std::vector<FramedController>& FramedControllers() {
    static const std::vector<FramedController> controllers = {
        {"AS2", "<FRAMING>ASCII2\n"},
        {"AS4", "<FRAMING>ASCII4\n"},
        {"BN2", "<FRAMING>BIN2\n"},
        {"BNL", "<FRAMING>BIN2LE\n"},
        {"BN4", "<FRAMING>BIN4\n"},
        {"BCD", "<FRAMING>BCD2\n"},
        {"HX4", "<FRAMING>HEX4\n"},
        {"VML", "<FRAMING>VMLH\n"},
        {"BCS", "<FRAMING>BIN2\n<FRAMING_COUNTS_ITSELF>Y\n"},
        {"TPD", "<FRAMING>BIN2\n<TPDU>6000010002\n"},
        {"BTP", "<FRAMING>BCD2\n<TPDU>6000010002\n"},
        {"TRL", "<FRAMING>BIN2\n<TRAILER>03\n"},
        {"ALL", "<FRAMING>BIN2\n<FRAMING_COUNTS_ITSELF>Y\n<TPDU>6000010002\n<TRAILER>03\n"},
        {"KAE", "<FRAMING>BIN2\n<KEEPALIVE>ECHO\n"},
        {"HLT", "<TPDU>6000010002\n"},  // HEADER_LENGTH with a TPDU
    };
    return controllers;
}

inline std::string FramedLayoutText() {
    return FieldText(2, "PAN", 19, 2) + FieldText(3, "PROC_CODE", 6, 0) +
           FieldText(7, "TRANSMISSION_DATE_TIME", 10, 0) + FieldText(11, "STAN", 6, 0) +
           FieldText(39, "RESP_CODE", 2, 0) + FieldText(70, "NETWORK_CODE", 3, 0);
}

// C01 without any link tag, then the controllers named (the image holds
// about nine controllers with links).
inline std::string FramedConfigText(const std::vector<const char*>& ids, int readTimeout = 1) {
    std::string controllers = ControllerText("C01", FramedLayoutText());
    for (const FramedController& c : FramedControllers()) {
        bool wanted = false;
        for (const char* id : ids) {
            wanted = wanted || std::string(id) == c.id;
        }
        if (wanted) {
            controllers += std::string("<CONTROLLER_PARAMS>\n<CONTROLLER_ID>") + c.id + "\n" +
                           c.tags + "<FIELD_SPEC_LIST>\n" + FramedLayoutText() +
                           "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n";
        }
    }
    return "<VELK_CONFIGURATION>\n<MISCELLANEOUS>\n<HOST_TIMEOUT>30\n<READ_TIMEOUT>" +
           std::to_string(readTimeout) +
           "\n<UPLOAD_TIMEOUT>60\n<SWITCH_TIMEOUT>30\n<TRACE_FLAG>N\n</MISCELLANEOUS>\n" +
           ControllerListText(controllers) + "</VELK_CONFIGURATION>\n";
}

// The 39-byte 0800 of the framing vectors: 0800, both bitmaps, 7, 11, 70.
inline std::string EchoTest0800(const char* controllerId, const char* stan = "000123") {
    return Iso8583(controllerId, {{0, "0800"}, {7, "1209120000"}, {11, stan}, {70, "301"}});
}

// The framed record of a message on the controller's link, as its peer
// writes it.
std::string FramedRecord(const char* controllerId, const std::string& message);

class FramedLinkTest : public ConnectionTest {
  protected:
    void SetUp() override {}
    // Loads C01 and the controllers named; every port must be closed.
    void Load(const std::vector<const char*>& ids) {
        CloseAllPorts();
        root_.WriteConfig(FramedConfigText(ids));
        ASSERT_EQ(LoadConfiguration(), 0);
        ClearError();
    }
    // Runs test for every framed controller, a few loaded at a time.
    template <typename Test>
    void ForEachFramed(Test test) {
        const auto& all = FramedControllers();
        for (size_t first = 0; first < all.size(); first += 7) {
            std::vector<const char*> ids;
            for (size_t i = first; i < all.size() && i < first + 7; ++i) {
                ids.push_back(all[i].id);
            }
            Load(ids);
            for (const char* id : ids) {
                test(id);
            }
        }
    }
    ScopedEnv headerLength_{"HEADER_LENGTH", "4"};
};

inline std::string FramedRecord(const char* controllerId, const std::string& message) {
    const std::string id = controllerId;
    const auto n = message.size();
    auto bin2 = [](size_t v) {
        return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    };
    auto bcd2 = [](size_t v) {
        return std::string{static_cast<char>((v / 1000) << 4 | (v / 100) % 10),
                           static_cast<char>(((v / 10) % 10) << 4 | v % 10)};
    };
    auto digits = [](size_t v, int width) {
        char text[8];
        std::snprintf(text, sizeof text, "%0*d", width, static_cast<int>(v));
        return std::string(text);
    };
    const std::string tpdu("\x60\x00\x01\x00\x02", 5);
    if (id == "AS2")
        return digits(n, 2) + message;
    if (id == "AS4")
        return digits(n, 4) + message;
    if (id == "BN2" || id == "KAE")
        return bin2(n) + message;
    if (id == "BNL")
        return std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)} + message;
    if (id == "BN4")
        return std::string(2, '\0') + bin2(n) + message;
    if (id == "BCD")
        return bcd2(n) + message;
    if (id == "HX4") {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(n));
        return text + message;
    }
    if (id == "VML")
        return bin2(n) + std::string(2, '\0') + message;
    if (id == "BCS")
        return bin2(n + 2) + message;
    if (id == "TPD")
        return bin2(n + 5) + tpdu + message;
    if (id == "BTP")
        return bcd2(n + 5) + tpdu + message;
    if (id == "TRL")
        return bin2(n + 1) + message + "\x03";
    if (id == "ALL")
        return bin2(n + 8) + tpdu + message + "\x03";
    if (id == "HLT")
        return digits(n + 5, 4) + tpdu + message;
    ADD_FAILURE() << "no framing for " << id;
    return message;
}
