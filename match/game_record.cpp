#include "match/game_record.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

// Keys in the order the log has always shown them.
using Json = nlohmann::ordered_json;

constexpr const char* kResultTexts[] = {"1-0", "0-1", "1/2-1/2"};

}  // namespace

std::string GameRecord::ResultText() const {
    return kResultTexts[static_cast<int>(outcome)];
}

int GameRecord::FirstToPlay() const {
    return opening.size() % 2 == 0 ? firstMover : 3 - firstMover;
}

std::vector<long long> GameRecord::MoveMsOf(int player) const {
    std::vector<long long> times;
    for (std::size_t i = player == FirstToPlay() ? 0 : 1; i < moveMs.size(); i += 2) {
        times.push_back(moveMs[i]);
    }
    return times;
}

std::string GameRecord::ToJson() const {
    Json json = {{"game", number}};
    if (players != std::array<int, 2>{0, 1}) {
        json["players"] = players;
    }
    json["first"] = firstMover;
    if (!opening.empty()) {
        json["opening"] = opening;
    }
    json["moves"] = moves;
    json["result"] = ResultText();
    json["reason"] = reason;
    json["move_ms"] = moveMs;
    json["restarted"] = restarted;
    if (!scores.empty()) {
        json["scores"] = scores;
    }
    // A reason quotes nothing a bot wrote unescaped, but a stray byte must not stop the log.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<GameRecord> GameRecord::FromJson(std::string_view line) {
    const Json json = Json::parse(line, nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    try {
        GameRecord record;
        record.number = json.at("game").get<int>();
        record.firstMover = json.at("first").get<int>();
        record.players = json.value("players", std::array<int, 2>{0, 1});
        record.opening = json.value("opening", std::string());
        record.moves = json.at("moves").get<std::string>();
        const std::string result = json.at("result").get<std::string>();
        record.reason = json.at("reason").get<std::string>();
        record.moveMs = json.at("move_ms").get<std::vector<long long>>();
        record.restarted = json.at("restarted").get<std::vector<int>>();
        record.scores = json.value("scores", std::vector<int>());
        const auto* outcome = std::find(std::begin(kResultTexts), std::end(kResultTexts), result);
        if (outcome == std::end(kResultTexts) || record.number < 1 ||
            (record.firstMover != 1 && record.firstMover != 2) ||
            record.moves.find_first_not_of("1234567") != std::string::npos ||
            record.opening.find_first_not_of("1234567") != std::string::npos ||
            record.players[0] < 0 || record.players[1] < 0 ||
            record.players[0] == record.players[1] || record.moveMs.size() != record.moves.size() ||
            (!record.scores.empty() && record.scores.size() != record.moves.size() + 1)) {
            return std::nullopt;
        }
        record.outcome = static_cast<Outcome>(outcome - std::begin(kResultTexts));
        return record;
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}
