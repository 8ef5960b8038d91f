#pragma once

// The Elo difference between two players estimated from a match, with its 95 % error margin.
//
// With n games and player 1's score fraction p (a win 1, a draw 1/2, a loss 0), the difference is
// -400 log10(1/p - 1). The margin comes from the standard error of the per-game scores: with s the
// standard deviation of the n scores around p, the score's 95 % interval is p +/- 1.96 s / sqrt(n),
// and the margin is half the width of that interval on the Elo scale.
//
// p = 0 or 1 (every game lost or won) would give an infinite difference, so p and both ends of
// the interval are clamped to [1/(2n), 1 - 1/(2n)], as if half a game had gone the other way;
// `clamped` says so, and the difference is then a bound rather than an estimate. The deviation is
// taken around the clamped p, so a match of one result only still gets a nonzero margin.
//
// Pure computation; any thread.
struct EloEstimate {
    // False when there were no games: nothing else is meaningful then.
    bool valid = false;
    // Player 1's advantage over player 2 in Elo points (negative: player 2 is stronger).
    double difference = 0.0;
    // Half the width of the 95 % interval, in Elo points.
    double margin = 0.0;
    // The score itself lay outside the clamp (every game won, or every game lost) and was clamped:
    // the difference is a bound. The interval's ends reaching the clamp do not set it.
    bool clamped = false;

    // The estimate from player 1's wins, draws and losses (each at least 0).
    static EloEstimate FromResults(int wins, int draws, int losses);

    // -400 log10(1/p - 1) for 0 < p < 1.
    static double EloFromScore(double p);
};
