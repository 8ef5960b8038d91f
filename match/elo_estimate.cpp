#include "match/elo_estimate.h"

#include <algorithm>
#include <cmath>

double EloEstimate::EloFromScore(double p) {
    // -400 log10(1/p - 1), written so that an even score gives +0 rather than -0.
    return 400.0 * std::log10(p / (1.0 - p));
}

EloEstimate EloEstimate::FromResults(int wins, int draws, int losses) {
    EloEstimate estimate;
    const int games = wins + draws + losses;
    if (games <= 0) {
        return estimate;
    }
    estimate.valid = true;
    const double n = games;
    const double low = 0.5 / n;
    const double high = 1.0 - low;

    const double score = (wins + 0.5 * draws) / n;
    estimate.clamped = score < low || score > high;
    const double p = std::clamp(score, low, high);
    const double variance =
        (wins * (1.0 - p) * (1.0 - p) + draws * (0.5 - p) * (0.5 - p) + losses * p * p) / n;
    const double standardError = std::sqrt(variance / n);
    constexpr double kZ95 = 1.959963984540054;
    const double lower = std::clamp(p - kZ95 * standardError, low, high);
    const double upper = std::clamp(p + kZ95 * standardError, low, high);
    estimate.difference = EloFromScore(p);
    estimate.margin = (EloFromScore(upper) - EloFromScore(lower)) / 2.0;
    return estimate;
}
