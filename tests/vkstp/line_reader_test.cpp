#include "vkstp/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Piece {
    std::string text;
    int line;
    bool cut;
    bool nul;
};

std::vector<Piece> ReadAll(const std::string& bytes) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    LineReader reader(file);
    std::vector<Piece> pieces;
    char line[LINE_SIZE];
    while (reader.Read(line)) {
        pieces.push_back({line, reader.lineNumber(), reader.lastWasCut(), reader.lastHadNul()});
    }
    std::fclose(file);
    return pieces;
}

TEST(LineReader, DropsTheCarriageReturnOfALineEndOnly) {
    auto pieces = ReadAll("<A>1\r\n<B>2\r3\n<C>4");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].text, "<A>1\n");
    EXPECT_EQ(pieces[1].text, "<B>2\r3\n");
    EXPECT_EQ(pieces[2].text, "<C>4");
    EXPECT_EQ(pieces[2].line, 3);
}

TEST(LineReader, HandsOutALongLineIn255CharacterPiecesOfTheSameLine) {
    std::string longLine(600, 'x');
    auto pieces = ReadAll("<A>1\n" + longLine + "\n<B>2\n");
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[1].text.size(), 255u);
    EXPECT_TRUE(pieces[1].cut);
    EXPECT_EQ(pieces[2].text.size(), 255u);
    EXPECT_EQ(pieces[3].text, std::string(90, 'x') + "\n");
    EXPECT_FALSE(pieces[3].cut);
    EXPECT_EQ(pieces[3].line, 2);
    EXPECT_EQ(pieces[4].text, "<B>2\n");
    EXPECT_EQ(pieces[4].line, 3);
}

TEST(LineReader, ALineOfExactly255CharactersLeavesItsLineFeedAsAnEmptyLine) {
    auto pieces = ReadAll(std::string(255, 'y') + "\nz");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1].text, "\n");
    EXPECT_EQ(pieces[2].text, "z");
}

TEST(LineReader, NotesANulByteInALine) {
    auto pieces = ReadAll(std::string("<A>1\0junk\n<B>2\n", 15));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].nul);
    EXPECT_EQ(pieces[0].text, "<A>1");
    EXPECT_FALSE(pieces[1].nul);
}

TEST(LineReader, AnEmptyFileHasNoLines) {
    EXPECT_TRUE(ReadAll("").empty());
}

}  // namespace
