#include "diag/traffic_dump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "diag/error_state.h"
#include "pinned_clock.h"
#include "scoped_env.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

const unsigned char* Bytes(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

void Put(MessageFields& fields, int n, const char* text, int length = -1) {
    fields.slots[n] =
        FieldSlot{Bytes(text), length < 0 ? static_cast<int32_t>(std::strlen(text)) : length};
}

class TrafficDumpTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetLogFilePrefix(); }
    void TearDown() override { ResetLogFilePrefix(); }

    std::string Dump() const { return ReadFile(root_.log() / "EVT0912126.log"); }

    TempRoot root_;
    ScopedEnv prefix_{"LOG_FILE_PFX", std::nullopt};
    ScopedEnv sendBytes_{"DUMP_SEND_BYTES", std::nullopt};
    ScopedEnv recvBytes_{"DUMP_RECV_BYTES", "Y"};
    ScopedEnv sendFields_{"DUMP_SEND_FLDS", std::nullopt};
    ScopedEnv recvFields_{"DUMP_RECV_FLDS", "Y"};
    ScopedEnv maskPan_{"DUMP_MASK_PAN", std::nullopt};
    PinnedClock clock_;
};

TEST_F(TrafficDumpTest, SixteenBytesMakeOneLineOfHexThenCharacters) {
    DumpBytes(Bytes("0200ABCDEFGH\n\x01\x7f~"), 16, 'R');
    EXPECT_EQ(Dump(),
              "Pid: 312 09/12/2026 14:03:27 Received 16 Bytes\n"
              "30 32 30 30 41 42 43 44 45 46 47 48 0a 01 7f 7e 0200ABCDEFGH...~\n");
}

TEST_F(TrafficDumpTest, APartialLastLineIsPaddedSoCharactersStartAtColumn49) {
    DumpBytes(Bytes("0123456789abcdefZ"), 17, 'R');
    std::string dump = Dump();
    std::string last = dump.substr(dump.rfind('\n', dump.size() - 2) + 1);
    EXPECT_EQ(last, "5a " + std::string(45, ' ') + "Z\n");
}

TEST_F(TrafficDumpTest, ZeroBytesGiveTheHeaderAlone) {
    ScopedEnv on("DUMP_SEND_BYTES", "y");
    DumpBytes(Bytes(""), 0, 'S');
    EXPECT_EQ(Dump(), "Pid: 312 09/12/2026 14:03:27 Sent 0 Bytes\n");
}

TEST_F(TrafficDumpTest, SwitchesAreOnOnlyWhenTheirValueBeginsWithY) {
    struct Case {
        std::optional<std::string> value;
        bool on;
    };
    const Case cases[] = {{"yes", true}, {"Y", true},           {"y", true},  {"no", false},
                          {"", false},   {std::nullopt, false}, {" Y", false}};
    for (const Case& c : cases) {
        fs::remove(root_.log() / "EVT0912126.log");
        ScopedEnv env("DUMP_RECV_BYTES", c.value);
        DumpBytes(Bytes("x"), 1, 'R');
        EXPECT_EQ(fs::exists(root_.log() / "EVT0912126.log"), c.on)
            << (c.value ? *c.value : "(unset)");
    }
}

TEST_F(TrafficDumpTest, EachDirectionHasItsOwnSwitch) {
    DumpBytes(Bytes("x"), 1, 'S');  // DUMP_SEND_BYTES is unset
    MessageFields fields{};
    DumpFields(1, 'S', &fields);  // DUMP_SEND_FLDS is unset
    EXPECT_FALSE(fs::exists(root_.log() / "EVT0912126.log"));
}

TEST_F(TrafficDumpTest, ThePrefixIsTheFirstThreeCharactersOfLogFilePfx) {
    struct Case {
        std::optional<std::string> value;
        const char* name;
    };
    const Case cases[] = {{"ABCDEF", "ABC0912126.log"},
                          {"X", "X0912126.log"},
                          {std::nullopt, "EVT0912126.log"},
                          {"../", "EVT0912126.log"}};
    for (const Case& c : cases) {
        ScopedEnv env("LOG_FILE_PFX", c.value);
        ResetLogFilePrefix();
        DumpBytes(Bytes("x"), 1, 'R');
        EXPECT_TRUE(fs::exists(root_.log() / c.name)) << c.name;
    }
}

TEST_F(TrafficDumpTest, AnIso8583FieldDumpListsTheMessageIdAndElementsButNotTheBitmap) {
    MessageFields fields{};
    Put(fields, 0, "0200");
    Put(fields, 1, "\x80\x00\x00\x00\x00\x00\x00\x01", 8);
    Put(fields, 3, "000000");
    Put(fields, 39, "0\0", 2);  // a NUL ends the text, which is right-aligned to the length
    Put(fields, 128, "ABCD");
    DumpFields(1, 'R', &fields);
    EXPECT_EQ(Dump(),
              "Pid: 312 Received At: 09/12/2026 14:03:27\n"
              "MessageId: 0200\n"
              "Field 003: 000000\n"
              "Field 039:  0\n"
              "Field 128: ABCD\n");
}

TEST_F(TrafficDumpTest, AZtrFieldDumpHasNoMessageIdAndStopsAtField64) {
    ScopedEnv on("DUMP_SEND_FLDS", "Y");
    MessageFields fields{};
    Put(fields, 1, "00079");
    Put(fields, 2, "81000054");
    Put(fields, 64, "last");
    Put(fields, 65, "never");
    DumpFields(0, 'S', &fields);
    EXPECT_EQ(Dump(),
              "Pid: 312 Sent At: 09/12/2026 14:03:27\n"
              "Field 002: 81000054\n"
              "Field 064: last\n");
}

TEST_F(TrafficDumpTest, WithDumpMaskPanCardDataIsMaskedInIso8583FieldsOnly) {
    ScopedEnv mask("DUMP_MASK_PAN", "Y");
    MessageFields fields{};
    Put(fields, 0, "0200");
    Put(fields, 2, "4761739001010119");
    Put(fields, 3, "011000");
    Put(fields, 35, "4761739001010119=2512201");
    Put(fields, 45, "B4761739001010119^A/B^25");
    DumpFields(1, 'R', &fields);
    // ZTR's fields 2, 35 and 45 are no card data.
    MessageFields ztr{};
    Put(ztr, 2, "81000054");
    Put(ztr, 35, "12345678");
    DumpFields(0, 'R', &ztr);
    EXPECT_EQ(Dump(),
              "Pid: 312 Received At: 09/12/2026 14:03:27\n"
              "MessageId: 0200\n"
              "Field 002: 476173******0119\n"
              "Field 003: 011000\n"
              "Field 035: 476173******0119=*******\n"
              "Field 045: B476173******0119^******\n"
              "Pid: 312 Received At: 09/12/2026 14:03:27\n"
              "Field 002: 81000054\n"
              "Field 035: 12345678\n");
}

TEST_F(TrafficDumpTest, BytesShownMaskedAreMaskedInTheHexColumnToo) {
    // A card number split over two lines, with a '*' of its own that the
    // mask left as it was.
    const char* data = "0200*1234567890123456789";
    const char* shown = "0200*123456*********6789";
    DumpBytes(Bytes(data), 24, 'R', Bytes(shown));
    EXPECT_EQ(Dump(),
              "Pid: 312 09/12/2026 14:03:27 Received 24 Bytes\n"
              "30 32 30 30 2a 31 32 33 34 35 36 ** ** ** ** ** 0200*123456*****\n"
              "** ** ** ** 36 37 38 39                         ****6789\n");
}

TEST_F(TrafficDumpTest, PrintFieldsListsPresentSlotsUpToTheLastNumber) {
    MessageFields fields{};
    Put(fields, 0, "0800");
    Put(fields, 2, "12");
    Put(fields, 5, "beyond");
    fs::path file = root_.root() / "fields.txt";
    PrintFields(file.string().c_str(), "Title", &fields, 4);
    EXPECT_EQ(ReadFile(file), "Title\nFld 0\t-\t'0800'\nFld 2\t-\t'12'\n");
}

TEST_F(TrafficDumpTest, AMissingLogFolderSkipsTheDumpQuietly) {
    fs::remove_all(root_.log());
    ClearError();
    MessageFields fields{};
    DumpBytes(Bytes("abc"), 3, 'R');
    DumpFields(1, 'R', &fields);
    EXPECT_EQ(GetErrorCode(), 0);
    EXPECT_FALSE(fs::exists(root_.log()));
}

}  // namespace
