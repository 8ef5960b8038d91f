#include "match/elo_estimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The estimate computed the long way, from the list of per-game scores, as an oracle.
struct Oracle {
    double difference;
    double margin;
};

Oracle FromScores(const std::vector<double>& scores) {
    const double n = static_cast<double>(scores.size());
    double sum = 0.0;
    for (const double s : scores) {
        sum += s;
    }
    double p = sum / n;
    p = std::min(std::max(p, 0.5 / n), 1.0 - 0.5 / n);
    double squares = 0.0;
    for (const double s : scores) {
        squares += (s - p) * (s - p);
    }
    const double error = std::sqrt(squares / n) / std::sqrt(n);
    const auto elo = [n](double q) {
        q = std::min(std::max(q, 0.5 / n), 1.0 - 0.5 / n);
        return 400.0 * std::log10(q / (1.0 - q));
    };
    return {elo(p), (elo(p + 1.96 * error) - elo(p - 1.96 * error)) / 2.0};
}

std::vector<double> Scores(int wins, int draws, int losses) {
    std::vector<double> scores(static_cast<std::size_t>(wins), 1.0);
    scores.insert(scores.end(), static_cast<std::size_t>(draws), 0.5);
    scores.insert(scores.end(), static_cast<std::size_t>(losses), 0.0);
    return scores;
}

TEST(EloEstimateTest, EvenScoreIsNoDifference) {
    const EloEstimate estimate = EloEstimate::FromResults(5, 2, 5);
    EXPECT_TRUE(estimate.valid);
    EXPECT_DOUBLE_EQ(estimate.difference, 0.0);
    // Printed as "+0.0", never "-0.0".
    EXPECT_FALSE(std::signbit(estimate.difference));
    EXPECT_GT(estimate.margin, 0.0);
    EXPECT_FALSE(estimate.clamped);
}

TEST(EloEstimateTest, KnownScoresGiveKnownDifferences) {
    // 3 of 4 points: 400 log10(3), about 190.85; 1 of 4: its negative.
    EXPECT_NEAR(EloEstimate::FromResults(3, 0, 1).difference, 190.848, 0.001);
    EXPECT_NEAR(EloEstimate::FromResults(1, 0, 3).difference, -190.848, 0.001);
    EXPECT_NEAR(EloEstimate::EloFromScore(10.0 / 11.0), 400.0, 1e-9);
}

TEST(EloEstimateTest, MatchesTheEstimateFromEachGamesScore) {
    const int results[][3] = {{6, 1, 3}, {10, 0, 10}, {1, 8, 1}, {37, 12, 51}, {2, 0, 1}};
    for (const auto& r : results) {
        const EloEstimate estimate = EloEstimate::FromResults(r[0], r[1], r[2]);
        const Oracle oracle = FromScores(Scores(r[0], r[1], r[2]));
        EXPECT_NEAR(estimate.difference, oracle.difference, 0.05) << r[0] << r[1] << r[2];
        EXPECT_NEAR(estimate.margin, oracle.margin, 0.05) << r[0] << r[1] << r[2];
    }
}

TEST(EloEstimateTest, MarginShrinksWithMoreGames) {
    EXPECT_GT(EloEstimate::FromResults(6, 0, 4).margin, EloEstimate::FromResults(60, 0, 40).margin);
    EXPECT_GT(EloEstimate::FromResults(60, 0, 40).margin,
              EloEstimate::FromResults(600, 0, 400).margin);
}

TEST(EloEstimateTest, ClampsAScoreOfEveryGameWonOrLost) {
    const EloEstimate won = EloEstimate::FromResults(20, 0, 0);
    EXPECT_TRUE(won.clamped);
    EXPECT_NEAR(won.difference, EloEstimate::EloFromScore(19.5 / 20.0), 1e-9);
    EXPECT_TRUE(std::isfinite(won.margin));
    const EloEstimate lost = EloEstimate::FromResults(0, 0, 20);
    EXPECT_TRUE(lost.clamped);
    EXPECT_NEAR(lost.difference, -won.difference, 1e-9);
    // One draw among the wins keeps the score inside the clamp.
    EXPECT_FALSE(EloEstimate::FromResults(19, 1, 0).clamped);
}

TEST(EloEstimateTest, NoGamesGiveNoEstimate) {
    EXPECT_FALSE(EloEstimate::FromResults(0, 0, 0).valid);
}

}  // namespace
