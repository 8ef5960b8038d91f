#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

// The statistics of a match beyond the Elo difference of EloEstimate: the likelihood of
// superiority, the pentanomial view of games played in pairs, the sequential probability ratio
// test on it, and ratings fitted to the games of many bots at once.
//
// Pure computation; any thread.
namespace MatchStatistics {

// The likelihood that the first bot is the stronger, from its wins and losses (draws tell
// nothing): 0.5 (1 + erf((W - L) / sqrt(2 (W + L)))); 0.5 without decisive games.
double LikelihoodOfSuperiority(int wins, int losses);

// A pair of games scored from the first bot's side, 0 to 2 points: LL, LD, DD or WL, WD, WW.
struct Pentanomial {
    std::array<int, 5> counts{};

    void Add(double pairPoints);
    int Pairs() const;
    // The mean score per game, 0..1, and the variance of the per-game mean of a pair.
    double Mean() const;
    double Variance() const;
};

// The Elo from pairs with its 95 % interval: the mean pair score through the logistic curve,
// the interval from the variance of the pair scores (so that the dependence of a pair's two
// games, same opening, is counted). Nothing without pairs; the ends are clamped to the scores a
// half pair away from 0 and 1, like EloEstimate.
struct EloInterval {
    double elo = 0.0;
    double low = 0.0;
    double high = 0.0;
};
std::optional<EloInterval> PentanomialElo(const Pentanomial& pairs);

// The Elo of a score fraction 0 < score < 1, and back.
double EloFromScore(double score);
double ScoreFromElo(double elo);

// A sequential probability ratio test of H0 "the Elo difference is ELO0" against H1 "it is ELO1",
// on the pentanomial counts (the generalised test: with s0, s1 the scores of ELO0 and ELO1, x the
// mean pair score and v its variance over N pairs, LLR = N (s1 - s0)(2x - s0 - s1) / (2v); v is
// taken as at least 0.001, so that a run whose pairs all end alike can decide too).
struct Sprt {
    double elo0 = 0.0;
    double elo1 = 5.0;
    double alpha = 0.05;
    double beta = 0.05;

    double Llr(const Pentanomial& pairs) const;
    // ln(beta / (1 - alpha)) and ln((1 - beta) / alpha).
    double LowerBound() const;
    double UpperBound() const;
    // "H1 accepted: ELO1 or more is likely", "H0 accepted: ELO0 or less is likely", or empty
    // while the LLR lies between the bounds.
    std::string Verdict(const Pentanomial& pairs) const;

    // "ELO0,ELO1[,ALPHA,BETA]" (ELO0 < ELO1, 0 < ALPHA, BETA < 0.5); nothing otherwise.
    static std::optional<Sprt> Parse(const std::string& text);
};

// One game for FitRatings: the bots' indices, the first mover first, and the first mover's score.
struct RatedGame {
    int first = 0;
    int second = 0;
    double score = 0.5;
};

// Ratings fitted to all games at once (Bradley-Terry by maximum likelihood, a draw as half a
// point, with a first-move advantage; the expected score of the first mover is
// 1 / (1 + 10^(-(r_first - r_second + advantage) / 400))), the mean rating fixed at 0, with 95 %
// margins from the curvature of the likelihood. A very weak prior (a spread of 4000 Elo) keeps a
// bot that won or lost every game finite.
struct Ratings {
    std::vector<double> ratings;
    std::vector<double> margins;
    double advantage = 0.0;
    double advantageMargin = 0.0;
};
Ratings FitRatings(int bots, const std::vector<RatedGame>& games);

}  // namespace MatchStatistics
