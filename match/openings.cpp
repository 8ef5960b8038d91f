#include "match/openings.h"

#include "moderator/board.h"

#include "match/builtin_openings.h"

#include <fstream>
#include <random>
#include <sstream>

std::optional<std::string> Openings::Problem(std::string_view moves) {
    Board board;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const char c = moves[i];
        if (c < '1' || c > '7') {
            return "'" + std::string(1, c) + "' is no column (1 to 7)";
        }
        if (!board.CheckBoard().empty()) {
            return "it goes on after the game is over";
        }
        if (!board.Drop(c - '0', i % 2 == 0 ? 1 : 2)) {
            return "column " + std::string(1, c) + " is full";
        }
    }
    const std::vector<ResultKind> results = board.CheckBoard();
    if (!results.empty()) {
        return results.front() == ResultTie ? "it fills the board" : "the game is already over";
    }
    return std::nullopt;
}

namespace {

// The openings of the lines of `in`, which is called `name` in messages (see FromFile).
std::optional<std::vector<std::string>> ReadLines(std::istream& in, const std::string& path,
                                                  std::string& error) {
    std::vector<std::string> openings;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos) {
            continue;
        }
        line = line.substr(start, line.find_last_not_of(" \t\r") - start + 1);
        if (const std::optional<std::string> problem = Openings::Problem(line)) {
            error = path + ", line " + std::to_string(number) + ": \"" + line +
                    "\" is no opening: " + *problem;
            return std::nullopt;
        }
        openings.push_back(line);
    }
    if (openings.empty()) {
        error = path + " holds no opening";
        return std::nullopt;
    }
    return openings;
}

}  // namespace

std::optional<std::vector<std::string>> Openings::FromFile(const std::string& path,
                                                           std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the openings " + path;
        return std::nullopt;
    }
    return ReadLines(in, path, error);
}

std::vector<std::string> Openings::Builtin() {
    std::istringstream in(kBuiltinOpenings);
    std::string error;
    // The list is checked by the tests, so it always reads.
    return ReadLines(in, "the built-in openings", error).value_or(std::vector<std::string>());
}

std::vector<std::string> Openings::Shuffled(std::vector<std::string> openings, std::uint64_t seed) {
    // Fisher-Yates on the generator's raw output: std::shuffle's draws differ between libraries.
    std::mt19937_64 random(seed);
    for (std::size_t i = openings.size(); i > 1; --i) {
        std::swap(openings[i - 1], openings[random() % i]);
    }
    return openings;
}

const std::string& Openings::ForGame(const std::vector<std::string>& openings, int number) {
    return openings[static_cast<std::size_t>((number - 1) / 2) % openings.size()];
}
