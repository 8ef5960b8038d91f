#include "match/match_statistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace MatchStatistics {

namespace {

constexpr double kZ95 = 1.959963984540054;
// The least variance of the pair scores the test reckons with.
constexpr double kMinVariance = 1e-3;
// Elo per natural-log unit of the odds.
const double kEloPerNat = 400.0 / std::log(10.0);

// Solves a x = b by Gauss-Jordan with partial pivoting; `a` is n x n, row by row, and is
// replaced by its inverse. False for a singular matrix.
bool Invert(std::vector<double>& a, int n) {
    std::vector<double> inverse(static_cast<std::size_t>(n * n), 0.0);
    for (int i = 0; i < n; ++i) {
        inverse[static_cast<std::size_t>(i * n + i)] = 1.0;
    }
    const auto at = [n](std::vector<double>& m, int row, int column) -> double& {
        return m[static_cast<std::size_t>(row * n + column)];
    };
    for (int column = 0; column < n; ++column) {
        int pivot = column;
        for (int row = column + 1; row < n; ++row) {
            if (std::abs(at(a, row, column)) > std::abs(at(a, pivot, column))) {
                pivot = row;
            }
        }
        if (std::abs(at(a, pivot, column)) < 1e-300) {
            return false;
        }
        for (int k = 0; k < n; ++k) {
            std::swap(at(a, column, k), at(a, pivot, k));
            std::swap(at(inverse, column, k), at(inverse, pivot, k));
        }
        const double scale = at(a, column, column);
        for (int k = 0; k < n; ++k) {
            at(a, column, k) /= scale;
            at(inverse, column, k) /= scale;
        }
        for (int row = 0; row < n; ++row) {
            if (row == column) {
                continue;
            }
            const double factor = at(a, row, column);
            for (int k = 0; k < n; ++k) {
                at(a, row, k) -= factor * at(a, column, k);
                at(inverse, row, k) -= factor * at(inverse, column, k);
            }
        }
    }
    a = std::move(inverse);
    return true;
}

}  // namespace

double LikelihoodOfSuperiority(int wins, int losses) {
    if (wins + losses == 0) {
        return 0.5;
    }
    return 0.5 * (1.0 + std::erf((wins - losses) / std::sqrt(2.0 * (wins + losses))));
}

void Pentanomial::Add(double pairPoints) {
    const int index = std::clamp(static_cast<int>(std::lround(pairPoints * 2.0)), 0, 4);
    ++counts[static_cast<std::size_t>(index)];
}

int Pentanomial::Pairs() const {
    int pairs = 0;
    for (const int count : counts) {
        pairs += count;
    }
    return pairs;
}

double Pentanomial::Mean() const {
    double sum = 0.0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        sum += counts[i] * (static_cast<double>(i) / 4.0);
    }
    return Pairs() == 0 ? 0.5 : sum / Pairs();
}

double Pentanomial::Variance() const {
    const double mean = Mean();
    double sum = 0.0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double deviation = static_cast<double>(i) / 4.0 - mean;
        sum += counts[i] * deviation * deviation;
    }
    return Pairs() == 0 ? 0.0 : sum / Pairs();
}

double EloFromScore(double score) {
    return 400.0 * std::log10(score / (1.0 - score));
}

double ScoreFromElo(double elo) {
    return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0));
}

std::optional<EloInterval> PentanomialElo(const Pentanomial& pairs) {
    const int n = pairs.Pairs();
    if (n == 0) {
        return std::nullopt;
    }
    // Half a pair from either end: one pair's score is a quarter of a game per game.
    const double low = 0.25 / n;
    const double high = 1.0 - low;
    const double mean = std::clamp(pairs.Mean(), low, high);
    const double error = std::sqrt(pairs.Variance() / n);
    EloInterval interval;
    interval.elo = EloFromScore(mean);
    interval.low = EloFromScore(std::clamp(mean - kZ95 * error, low, high));
    interval.high = EloFromScore(std::clamp(mean + kZ95 * error, low, high));
    return interval;
}

double Sprt::Llr(const Pentanomial& pairs) const {
    if (pairs.Pairs() == 0) {
        return 0.0;
    }
    // Pairs that all end alike have no variance; a floor lets such a run decide all the same.
    const double variance = std::max(pairs.Variance(), kMinVariance);
    const double s0 = ScoreFromElo(elo0);
    const double s1 = ScoreFromElo(elo1);
    return pairs.Pairs() * (s1 - s0) * (2.0 * pairs.Mean() - s0 - s1) / (2.0 * variance);
}

double Sprt::LowerBound() const {
    return std::log(beta / (1.0 - alpha));
}

double Sprt::UpperBound() const {
    return std::log((1.0 - beta) / alpha);
}

std::string Sprt::Verdict(const Pentanomial& pairs) const {
    const double llr = Llr(pairs);
    const auto elo = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return std::string(text);
    };
    if (llr >= UpperBound()) {
        return "H1 accepted: " + elo(elo1) + " or more is likely";
    }
    if (llr <= LowerBound()) {
        return "H0 accepted: " + elo(elo0) + " or less is likely";
    }
    return {};
}

std::optional<Sprt> Sprt::Parse(const std::string& text) {
    std::vector<double> values;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        double value = 0.0;
        const char* first = text.data() + start;
        const char* last = text.data() + end;
        if (first != last && *first == '+') {
            ++first;
        }
        const auto [stop, error] = std::from_chars(first, last, value);
        if (first == last || error != std::errc() || stop != last || !std::isfinite(value)) {
            return std::nullopt;
        }
        values.push_back(value);
        start = end + 1;
    }
    if (values.size() != 2 && values.size() != 4) {
        return std::nullopt;
    }
    Sprt sprt;
    sprt.elo0 = values[0];
    sprt.elo1 = values[1];
    if (values.size() == 4) {
        sprt.alpha = values[2];
        sprt.beta = values[3];
    }
    if (!(sprt.elo0 < sprt.elo1) || !(sprt.alpha > 0.0 && sprt.alpha < 0.5) ||
        !(sprt.beta > 0.0 && sprt.beta < 0.5)) {
        return std::nullopt;
    }
    return sprt;
}

Ratings FitRatings(int bots, const std::vector<RatedGame>& games) {
    // Parameters in natural units: the ratings of bots 0..n-2 (the last one is minus their sum)
    // and the advantage, last.
    const int free = bots - 1;
    const int n = free + 1;
    constexpr double kPrior = 1.0 / (23.0 * 23.0);  // a spread of 4000 Elo, in natural units
    std::vector<double> theta(static_cast<std::size_t>(n), 0.0);
    std::vector<double> covariance;
    // The design row of one game: +1 for the first mover's rating, -1 for the second's, the last
    // bot's rating spread over the free ones, and 1 for the advantage.
    const auto row = [&](const RatedGame& game) {
        std::vector<double> x(static_cast<std::size_t>(n), 0.0);
        const auto add = [&](int bot, double sign) {
            if (bot < free) {
                x[static_cast<std::size_t>(bot)] += sign;
            } else {
                for (int k = 0; k < free; ++k) {
                    x[static_cast<std::size_t>(k)] -= sign;
                }
            }
        };
        add(game.first, 1.0);
        add(game.second, -1.0);
        x[static_cast<std::size_t>(free)] = 1.0;
        return x;
    };
    for (int iteration = 0; iteration < 100; ++iteration) {
        std::vector<double> gradient(static_cast<std::size_t>(n), 0.0);
        std::vector<double> information(static_cast<std::size_t>(n * n), 0.0);
        for (const RatedGame& game : games) {
            const std::vector<double> x = row(game);
            double z = 0.0;
            for (int k = 0; k < n; ++k) {
                z += x[static_cast<std::size_t>(k)] * theta[static_cast<std::size_t>(k)];
            }
            const double p = 1.0 / (1.0 + std::exp(-z));
            for (int k = 0; k < n; ++k) {
                gradient[static_cast<std::size_t>(k)] +=
                    (game.score - p) * x[static_cast<std::size_t>(k)];
                for (int l = 0; l < n; ++l) {
                    information[static_cast<std::size_t>(k * n + l)] +=
                        p * (1.0 - p) * x[static_cast<std::size_t>(k)] *
                        x[static_cast<std::size_t>(l)];
                }
            }
        }
        for (int k = 0; k < free; ++k) {
            gradient[static_cast<std::size_t>(k)] -= kPrior * theta[static_cast<std::size_t>(k)];
            information[static_cast<std::size_t>(k * n + k)] += kPrior;
        }
        // The advantage gets the prior too, for a run whose first movers always win.
        gradient[static_cast<std::size_t>(free)] -= kPrior * theta[static_cast<std::size_t>(free)];
        information[static_cast<std::size_t>(free * n + free)] += kPrior;
        if (!Invert(information, n)) {
            break;
        }
        covariance = information;
        double change = 0.0;
        for (int k = 0; k < n; ++k) {
            double step = 0.0;
            for (int l = 0; l < n; ++l) {
                step += covariance[static_cast<std::size_t>(k * n + l)] *
                        gradient[static_cast<std::size_t>(l)];
            }
            theta[static_cast<std::size_t>(k)] += step;
            change = std::max(change, std::abs(step));
        }
        if (change < 1e-10) {
            break;
        }
    }

    Ratings result;
    const auto variance = [&](const std::vector<double>& v) {
        if (covariance.empty()) {
            return 0.0;
        }
        double sum = 0.0;
        for (int k = 0; k < n; ++k) {
            for (int l = 0; l < n; ++l) {
                sum += v[static_cast<std::size_t>(k)] *
                       covariance[static_cast<std::size_t>(k * n + l)] *
                       v[static_cast<std::size_t>(l)];
            }
        }
        return std::max(0.0, sum);
    };
    double last = 0.0;
    for (int bot = 0; bot < bots; ++bot) {
        std::vector<double> v(static_cast<std::size_t>(n), 0.0);
        double rating = 0.0;
        if (bot < free) {
            v[static_cast<std::size_t>(bot)] = 1.0;
            rating = theta[static_cast<std::size_t>(bot)];
            last -= rating;
        } else {
            for (int k = 0; k < free; ++k) {
                v[static_cast<std::size_t>(k)] = -1.0;
            }
            rating = last;
        }
        result.ratings.push_back(rating * kEloPerNat);
        result.margins.push_back(kZ95 * std::sqrt(variance(v)) * kEloPerNat);
    }
    std::vector<double> a(static_cast<std::size_t>(n), 0.0);
    a[static_cast<std::size_t>(free)] = 1.0;
    result.advantage = theta[static_cast<std::size_t>(free)] * kEloPerNat;
    result.advantageMargin = kZ95 * std::sqrt(variance(a)) * kEloPerNat;
    return result;
}

}  // namespace MatchStatistics
