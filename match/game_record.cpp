#include "match/game_record.h"

#include <cstdio>

std::string GameRecord::ResultText() const {
    switch (outcome) {
        case Outcome::Player1Wins:
            return "1-0";
        case Outcome::Player2Wins:
            return "0-1";
        case Outcome::Draw:
            break;
    }
    return "1/2-1/2";
}

std::string GameRecord::ToJson() const {
    std::string json =
        "{\"game\":" + std::to_string(number) + ",\"first\":" + std::to_string(firstMover) +
        ",\"moves\":" + JsonString(moves) + ",\"result\":" + JsonString(ResultText()) +
        ",\"reason\":" + JsonString(reason) + ",\"move_ms\":[";
    for (std::size_t i = 0; i < moveMs.size(); ++i) {
        json += (i == 0 ? "" : ",") + std::to_string(moveMs[i]);
    }
    json += "],\"restarted\":[";
    for (std::size_t i = 0; i < restarted.size(); ++i) {
        json += (i == 0 ? "" : ",") + std::to_string(restarted[i]);
    }
    json += "]}";
    return json;
}

std::string GameRecord::JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}
