// The statistics against values worked out independently, with this script (Python 3):
//
//   import math
//   elo = lambda s: 400 * math.log10(s / (1 - s)); score = lambda e: 1 / (1 + 10 ** (-e / 400))
//   W, L = 30, 20; los = 0.5 * (1 + math.erf((W - L) / math.sqrt(2 * (W + L))))
//   c = [3, 12, 40, 20, 5]; N = sum(c); x = [0, .25, .5, .75, 1]
//   mu = sum(n * v for n, v in zip(c, x)) / N
//   var = sum(n * (v - mu) ** 2 for n, v in zip(c, x)) / N; se = math.sqrt(var / N)
//   print(los, elo(mu), elo(mu - 1.959964 * se), elo(mu + 1.959964 * se))
//   s0, s1 = score(0), score(5); print(N * (s1 - s0) * (2 * mu - s0 - s1) / (2 * var))
//   print(math.log(.05 / .95), math.log(.95 / .05))
// and the same LLR for the counts [60, 150, 400, 100, 30].

#include "match/match_statistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace MatchStatistics;

TEST(MatchStatisticsTest, MatchValuesWorkedOutIndependently) {
    EXPECT_NEAR(LikelihoodOfSuperiority(30, 20), 0.9213503964748575, 1e-12);
    EXPECT_EQ(LikelihoodOfSuperiority(0, 0), 0.5);

    Pentanomial pairs;
    pairs.counts = {3, 12, 40, 20, 5};
    EXPECT_NEAR(pairs.Mean(), 0.5375, 1e-12);
    EXPECT_NEAR(pairs.Variance(), 0.04859375, 1e-12);
    const std::optional<EloInterval> elo = PentanomialElo(pairs);
    ASSERT_TRUE(elo);
    EXPECT_NEAR(elo->elo, 26.106692605036596, 1e-9);
    EXPECT_NEAR(elo->low, -7.509346296510085, 1e-6);
    EXPECT_NEAR(elo->high, 60.2193859304489, 1e-6);

    const Sprt sprt = Sprt::Parse("0,5").value();
    EXPECT_NEAR(sprt.Llr(pairs), 0.40158409456271765, 1e-9);
    EXPECT_NEAR(sprt.LowerBound(), -2.9444389791664403, 1e-12);
    EXPECT_NEAR(sprt.UpperBound(), 2.9444389791664403, 1e-12);
    EXPECT_EQ(sprt.Verdict(pairs), "");
    // Ten times the pairs, the same proportions: ten times the evidence.
    Pentanomial more;
    for (std::size_t i = 0; i < 5; ++i) {
        more.counts[i] = pairs.counts[i] * 10;
    }
    EXPECT_NEAR(sprt.Llr(more), 4.0158409456271765, 1e-8);
    EXPECT_EQ(sprt.Verdict(more), "H1 accepted: 5 or more is likely");
    Pentanomial worse;
    worse.counts = {60, 150, 400, 100, 30};
    EXPECT_NEAR(sprt.Llr(worse), -4.328333139779797, 1e-8);
    EXPECT_EQ(sprt.Verdict(worse), "H0 accepted: 0 or less is likely");
}

TEST(MatchStatisticsTest, AddsPairsByTheirPoints) {
    Pentanomial pairs;
    for (const double points : {0.0, 0.5, 1.0, 1.0, 1.5, 2.0, 2.0, 2.0}) {
        pairs.Add(points);
    }
    EXPECT_EQ(pairs.counts, (std::array<int, 5>{1, 1, 2, 1, 3}));
    EXPECT_FALSE(PentanomialElo(Pentanomial()));
}

TEST(MatchStatisticsTest, ParsesTheTestsBoundsAndErrorRates) {
    const std::optional<Sprt> full = Sprt::Parse("-2.5,+2.5,0.1,0.2");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->elo0, -2.5);
    EXPECT_EQ(full->elo1, 2.5);
    EXPECT_EQ(full->alpha, 0.1);
    EXPECT_EQ(full->beta, 0.2);
    for (const char* bad :
         {"", "5", "5,0", "0,5,0.05", "0,5,0,0.05", "0,5,0.5,0.05", "a,b", "0,5,"}) {
        EXPECT_FALSE(Sprt::Parse(bad)) << bad;
    }
}

// Two bots: with every pairing played both ways the model has as many parameters as the data has
// scores, so the fit reproduces them: A first scores 3/4 against B, B first scores 1/2, hence
// rA - rB + a = elo(3/4) = 400 log10(3) and rB - rA + a = 0: a = rA - rB = 200 log10(3) = 95.42.
TEST(MatchStatisticsTest, FitsRatingsThatReproduceASaturatedTable) {
    std::vector<RatedGame> games;
    for (int i = 0; i < 40; ++i) {
        games.push_back({0, 1, i % 4 == 0 ? 0.0 : 1.0});
        games.push_back({1, 0, i % 2 == 0 ? 1.0 : 0.0});
    }
    const Ratings fit = FitRatings(2, games);
    EXPECT_NEAR(fit.advantage, 95.424250943932, 0.05);
    EXPECT_NEAR(fit.ratings[0], 47.712125471966, 0.05);
    EXPECT_NEAR(fit.ratings[1], -47.712125471966, 0.05);
    EXPECT_GT(fit.margins[0], 0.0);
    EXPECT_NEAR(fit.margins[0], fit.margins[1], 1e-6);

    // A beats B, B beats C, C beats A, each 3 of 4 and with both first movers alike: all equal.
    std::vector<RatedGame> cycle;
    for (const auto& [winner, loser] : {std::pair{0, 1}, {1, 2}, {2, 0}}) {
        for (int i = 0; i < 4; ++i) {
            cycle.push_back({winner, loser, i == 0 ? 0.0 : 1.0});
            cycle.push_back({loser, winner, i == 0 ? 1.0 : 0.0});
        }
    }
    const Ratings even = FitRatings(3, cycle);
    for (int bot = 0; bot < 3; ++bot) {
        EXPECT_NEAR(even.ratings[static_cast<std::size_t>(bot)], 0.0, 1e-6);
    }
    EXPECT_NEAR(even.advantage, 0.0, 1e-6);
}

}  // namespace
