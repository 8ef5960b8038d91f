#include "match/line_assembler.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Feeds each chunk in turn and collects every line completed.
Lines FeedAll(LineAssembler& assembler, const std::vector<std::string>& chunks) {
    Lines lines;
    for (const std::string& chunk : chunks) {
        for (std::string& line : assembler.Feed(chunk)) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

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
        ChunkCase{"SeveralLinesInOneChunk", {"?a\n4\n\n6\n"}, {"?a", "4", "", "6"}, ""},
        ChunkCase{"LineSplitAcrossChunks", {"?thin", "king\n4", "\n"}, {"?thinking", "4"}, ""},
        ChunkCase{"LineEndSplitFromCarriageReturn", {"4\r", "\n"}, {"4"}, ""},
        ChunkCase{"IncompleteLineWaits", {"p\n4"}, {"p"}, "4"},
        ChunkCase{"EmptyChunk", {"", "4\n", ""}, {"4"}, ""},
        ChunkCase{"PlayerQuitText", {"\r\nPlayer Quit\r\n"}, {"", "Player Quit"}, ""}),
    [](const ::testing::TestParamInfo<ChunkCase>& param) { return param.param.name; });

TEST(LineAssemblerLimitTest, KeepsTheStartOfAnOverlongLineAndDropsTheRest) {
    LineAssembler assembler;
    const std::string start = "5" + std::string(LineAssembler::kMaxLineBytes - 2, 'x') + "\r";
    Lines lines = assembler.Feed(start);
    for (int i = 0; i < 100; ++i) {
        lines = assembler.Feed(std::string(1000, 'y'));
        EXPECT_TRUE(lines.empty());
    }
    EXPECT_EQ(assembler.Pending().size(), LineAssembler::kMaxLineBytes);
    lines = assembler.Feed("\r\n4\n");
    // The "\r" kept at the end of the cut line came from its middle, so it stays.
    EXPECT_EQ(lines, (Lines{start, "4"}));
}

TEST(LineAssemblerResetTest, ForgetsTheIncompleteLine) {
    LineAssembler assembler;
    assembler.Feed("?half a no");
    assembler.Reset();
    EXPECT_EQ(assembler.Feed("4\n"), Lines{"4"});
}

}  // namespace
