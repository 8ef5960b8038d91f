#include "match/openings.h"
#include "solver/opening_book.h"
#include "solver/solver.h"

#include "tests/match/scripted_bot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(OpeningsTest, TellsWhatIsWrongWithASequence) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"4453", ""},
        {"121212", ""},
        {"48", "'8' is no column (1 to 7)"},
        {"4a", "'a' is no column (1 to 7)"},
        {"4444444", "column 4 is full"},
        {"1212121", "the game is already over"},
        {"12121213", "it goes on after the game is over"},
        {kTieMoves, "it fills the board"},
    };
    for (const auto& [moves, problem] : cases) {
        EXPECT_EQ(Openings::Problem(moves).value_or(""), problem) << moves;
    }
}

// The built-in suite against the solver: legal, each position once (mirror images count as one),
// and each close to a draw with perfect play, so that its games are contests.
TEST(OpeningsTest, BuiltinSuiteHoldsDistinctOpeningsSolvedCloseToADraw) {
    const std::vector<std::string> builtin = Openings::Builtin();
    EXPECT_GE(builtin.size(), 100u);
    std::string error;
    const std::optional<OpeningBook> book = OpeningBook::Load(FOURFALL_BOOK_PATH, error);
    ASSERT_TRUE(book) << error;
    Solver solver;
    solver.UseBook(&*book);
    std::set<std::uint64_t> positions;
    std::set<int> scores;
    for (const std::string& opening : builtin) {
        ASSERT_FALSE(Openings::Problem(opening)) << opening;
        const BitboardPosition position = BitboardPosition::FromMoves(opening).value();
        EXPECT_TRUE(positions.insert(OpeningBook::CanonicalKey(position)).second) << opening;
        const int score = solver.Solve(position);
        EXPECT_LE(std::abs(score), Openings::kBuiltinWithin) << opening;
        scores.insert(score);
    }
    // Not all of one value: draws and narrow wins for either side.
    EXPECT_GE(scores.size(), 3u);
}

TEST(OpeningsTest, ShufflesReproduciblyAndPlaysEachOpeningTwice) {
    const std::vector<std::string> builtin = Openings::Builtin();
    const std::vector<std::string> once = Openings::Shuffled(builtin, 7);
    EXPECT_EQ(Openings::Shuffled(builtin, 7), once);
    EXPECT_NE(Openings::Shuffled(builtin, 8), once);
    EXPECT_NE(once, builtin);
    EXPECT_TRUE(std::is_permutation(once.begin(), once.end(), builtin.begin()));
    const std::vector<std::string> two = {"1", "2"};
    std::string games;
    for (int number = 1; number <= 6; ++number) {
        games += Openings::ForGame(two, number);
    }
    EXPECT_EQ(games, "112211");
}

TEST(OpeningsTest, ReadsAFileAndNamesTheLineOfABadOne) {
    TempDir dir;
    const std::string path = dir.Path() + "/openings.txt";
    std::ofstream(path) << "# comment\n 4453 \n\n17 # the second\n";
    std::string error;
    EXPECT_EQ(Openings::FromFile(path, error), (std::vector<std::string>{"4453", "17"}));
    std::ofstream(path) << "4\n\n1212121\n";
    EXPECT_FALSE(Openings::FromFile(path, error));
    EXPECT_EQ(error, path + ", line 3: \"1212121\" is no opening: the game is already over");
    std::ofstream(path) << "# nothing\n";
    EXPECT_FALSE(Openings::FromFile(path, error));
    EXPECT_EQ(error, path + " holds no opening");
}

}  // namespace
