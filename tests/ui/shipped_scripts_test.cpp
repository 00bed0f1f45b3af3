// What the scripts shipped in data/ do with the requests they answer: a
// saved request holds the card data in full, so none of them writes one into
// the log folder, whose files are read and passed on.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "temp_root.h"

namespace {

TEST(ShippedScripts, NoneSavesARequestIntoTheLogFolder) {
    for (const char* name :
         {"answer.script", "host-simulator.script", "faults.script", "chip-host.script"}) {
        std::istringstream lines(ReadFile(std::string(VELK_TEST_DATA "/../../data/") + name));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string command;
            std::string path;
            words >> command >> path;
            if (command == "save") {
                EXPECT_NE(path.rfind("../log", 0), 0u) << name << ": " << line;
            }
        }
    }
}

}  // namespace
