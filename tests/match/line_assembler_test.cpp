#include "match/line_assembler.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Feeds each chunk in turn and collects every line completed, an overlong one as "<overlong>".
Lines FeedAll(LineAssembler& assembler, const std::vector<std::string>& chunks) {
    Lines lines;
    for (const std::string& chunk : chunks) {
        for (LineAssembler::Line& line : assembler.Feed(chunk)) {
            lines.push_back(line.overlong ? "<overlong>" : std::move(line.text));
        }
    }
    return lines;
}

const std::string kLongest(LineAssembler::kMaxLineBytes, '5');

struct ChunkCase {
    const char* name;
    std::vector<std::string> chunks;
    Lines lines;
    std::string pending;
};

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const ChunkCase& c, std::ostream* os) {
    *os << c.name;
}

class LineAssemblerTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(LineAssemblerTest, CutsChunksIntoLines) {
    LineAssembler assembler;
    EXPECT_EQ(FeedAll(assembler, GetParam().chunks), GetParam().lines);
    EXPECT_EQ(assembler.Pending(), GetParam().pending);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, LineAssemblerTest,
    ::testing::Values(
        ChunkCase{"OneLine", {"4\n"}, {"4"}, ""},
        ChunkCase{"CarriageReturnStripped", {"4\r\n"}, {"4"}, ""},
        ChunkCase{"OnlyOneCarriageReturnStripped", {"4\r\r\n"}, {"4\r"}, ""},
        ChunkCase{"InnerCarriageReturnKept", {"4\r5\n"}, {"4\r5"}, ""},
        ChunkCase{"SeveralLinesInOneChunk", {"?a\n4\n\n6\n"}, {"4", "", "6"}, ""},
        ChunkCase{"NoteSplitAcrossChunks", {"?thin", "king\n4", "\n"}, {"4"}, ""},
        ChunkCase{"LineEndSplitFromCarriageReturn", {"4\r", "\n"}, {"4"}, ""},
        ChunkCase{"IncompleteLineWaits", {"p\n4"}, {"p"}, "4"},
        ChunkCase{"IncompleteNoteKeepsNothing", {"p\n?4"}, {"p"}, ""},
        ChunkCase{"QuestionMarkInsideALineIsNoNote", {"4?\n"}, {"4?"}, ""},
        ChunkCase{"EmptyChunk", {"", "4\n", ""}, {"4"}, ""},
        ChunkCase{"PlayerQuitText", {"\r\nPlayer Quit\r\n"}, {"", "Player Quit"}, ""},
        ChunkCase{"LongestLine", {kLongest + "\n"}, {kLongest}, ""},
        ChunkCase{"LongestLineWithCarriageReturnInPieces", {kLongest, "\r", "\n"}, {kLongest}, ""},
        ChunkCase{"OneByteTooLongIsReportedOnce",
                  {kLongest, "6", std::string(10000, '7'), "\n4\n"},
                  {"<overlong>", "4"},
                  ""},
        ChunkCase{"CarriageReturnBeyondTheLimitWithoutLineEnd",
                  {kLongest + "\r", "x"},
                  {"<overlong>"},
                  ""}),
    [](const ::testing::TestParamInfo<ChunkCase>& param) { return param.param.name; });

// Whatever the bot writes and however the pipe cuts it, the lines are those of the whole text cut
// at its line ends: notes left out, a line beyond the limit reported as overlong.
TEST(LineAssemblerPropertyTest, ChunkBoundariesNeverChangeTheLines) {
    std::mt19937 random(20261208);
    const std::string alphabet = "4?p\r\nx";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        while (text.size() < 20000) {
            const int kind = std::uniform_int_distribution<int>(0, 9)(random);
            const std::size_t length =
                kind == 0 ? std::uniform_int_distribution<std::size_t>(4090, 4100)(random)
                          : std::uniform_int_distribution<std::size_t>(0, 12)(random);
            for (std::size_t i = 0; i < length; ++i) {
                text += alphabet[std::uniform_int_distribution<std::size_t>(0, 5)(random)];
            }
            text += '\n';
        }
        Lines expected;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (line.starts_with('?')) {
                continue;
            }
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            expected.push_back(line.size() > LineAssembler::kMaxLineBytes ? "<overlong>" : line);
        }
        std::vector<std::string> chunks;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 300)(random);
            chunks.push_back(text.substr(at, size));
            at += size;
        }
        LineAssembler assembler;
        ASSERT_EQ(FeedAll(assembler, chunks), expected) << "round " << round;
    }
}

TEST(LineAssemblerResetTest, ForgetsTheIncompleteLine) {
    LineAssembler assembler;
    assembler.Feed("half a li");
    assembler.Reset();
    EXPECT_EQ(FeedAll(assembler, {"4\n"}), Lines{"4"});
    assembler.Feed(kLongest + "xx");
    assembler.Reset();
    EXPECT_EQ(FeedAll(assembler, {"5\n"}), Lines{"5"});
}

}  // namespace
