#include "match/match_log.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char kLogName[] = "fourfall-match";

Json RunJson(const MatchLog::Run& run) {
    Json json = {{"log", kLogName},
                 {"version", FOURFALL_VERSION},
                 {"commands", run.commands},
                 {"names", run.names},
                 {"move_time_ms", run.moveTime.count()},
                 {"start_time_ms", run.startTime.count()}};
    if (!run.format.empty()) {
        json["format"] = run.format;
        json["games"] = run.games;
    }
    if (!run.openings.empty()) {
        json["openings"] = run.openings;
    }
    if (!run.shard.empty()) {
        json["shard"] = run.shard;
    }
    if (!run.sprt.empty()) {
        json["sprt"] = run.sprt;
    }
    if (run.audit) {
        json["audit"] = true;
    }
    return json;
}

std::string Dump(const Json& json) {
    // Command lines are bytes; a byte that is no UTF-8 must not stop the log.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The run of a log's first line; throws on a line that is none.
MatchLog::Run RunFromJson(const Json& json) {
    if (!json.is_object() || json.at("log") != kLogName) {
        throw std::out_of_range("not a run line");
    }
    MatchLog::Run run;
    run.commands = json.at("commands").get<std::vector<std::string>>();
    run.names = json.value("names", run.commands);
    run.moveTime = std::chrono::milliseconds(json.at("move_time_ms").get<long long>());
    run.startTime = std::chrono::milliseconds(json.at("start_time_ms").get<long long>());
    run.openings = json.value("openings", std::vector<std::string>());
    run.format = json.value("format", std::string());
    run.games = json.value("games", 0);
    run.shard = json.value("shard", std::string());
    run.sprt = json.value("sprt", std::string());
    run.audit = json.value("audit", false);
    if (run.commands.size() < 2 || run.names.size() != run.commands.size()) {
        throw std::out_of_range("not a run line");
    }
    return run;
}

}  // namespace

std::string MatchLog::RunLine(const Run& run) {
    return Dump(RunJson(run));
}

std::string MatchLog::Difference(const Run& logged, const Run& run, bool withShard) {
    // Compared as written, so that a command line with bytes that JSON could not hold compares
    // equal to itself.
    const Run current = RunFromJson(Json::parse(RunLine(run)));
    if (logged.commands.size() != current.commands.size()) {
        return "the log was written for " + std::to_string(logged.commands.size()) + " bots, not " +
               std::to_string(current.commands.size());
    }
    for (std::size_t i = 0; i < current.commands.size(); ++i) {
        if (logged.commands[i] != current.commands[i]) {
            const std::string who = current.commands.size() == 2 ? "player " : "bot ";
            return "the log was written with " + who + std::to_string(i + 1) + " " +
                   Dump(Json(logged.commands[i])) + ", not " + Dump(Json(current.commands[i]));
        }
    }
    if (logged.moveTime != current.moveTime) {
        return "the log was written with --move-time " + std::to_string(logged.moveTime.count()) +
               " ms, not " + std::to_string(current.moveTime.count()) + " ms";
    }
    if (logged.startTime != current.startTime) {
        return "the log was written with --start-time " + std::to_string(logged.startTime.count()) +
               " ms, not " + std::to_string(current.startTime.count()) + " ms";
    }
    if (logged.openings != current.openings) {
        return "the log was written with other openings (or another --seed)";
    }
    if (logged.format != current.format || logged.games != current.games) {
        return "the log was written with another --format or --games";
    }
    if (withShard && logged.shard != current.shard) {
        return "the log was written for --shard " + (logged.shard.empty() ? "1/1" : logged.shard) +
               ", not " + (current.shard.empty() ? "1/1" : current.shard);
    }
    // Like the shard, only a resumed run must keep it: a report may join audited logs and others.
    if (withShard && logged.audit != current.audit) {
        return logged.audit ? "the log was written with --audit"
                            : "the log was written without --audit";
    }
    return {};
}

std::optional<MatchLog::Contents> MatchLog::Read(const std::string& path, bool missingIsEmpty,
                                                 std::string& error) {
    Contents contents;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT && missingIsEmpty) {
            return contents;
        }
        error = "cannot read the log " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::set<int> seen;
    std::string line;
    std::uintmax_t offset = 0;
    for (int number = 1; std::getline(in, line); ++number) {
        if (in.eof()) {
            // No line end: the write of this line was cut short, and it is played again.
            break;
        }
        offset += line.size() + 1;
        if (number == 1) {
            try {
                contents.run = RunFromJson(Json::parse(line, nullptr, false));
            } catch (const std::exception&) {
                error = path + " is not a log of fourfall-match";
                return std::nullopt;
            }
        } else {
            std::optional<GameRecord> record = GameRecord::FromJson(line);
            if (!record) {
                error = "line " + std::to_string(number) + " of " + path + " is not a game record";
                return std::nullopt;
            }
            if (seen.insert(record->number).second) {
                contents.records.push_back(std::move(*record));
            }
        }
        contents.wholeBytes = offset;
    }
    if (in.bad()) {
        error = "cannot read the log " + path;
        return std::nullopt;
    }
    if (contents.wholeBytes == 0 && !missingIsEmpty) {
        error = path + " is not a log of fourfall-match";
        return std::nullopt;
    }
    return contents;
}

bool MatchLog::Open(const std::string& path, const Run& run, std::uintmax_t keepBytes,
                    std::string& error) {
    if (keepBytes > 0) {
        std::error_code code;
        std::filesystem::resize_file(path, keepBytes, code);
        if (code) {
            error = "cannot write the log " + path + ": " + code.message();
            return false;
        }
        m_out.open(path, std::ios::binary | std::ios::app);
    } else {
        m_out.open(path, std::ios::binary | std::ios::trunc);
        if (m_out) {
            m_out << RunLine(run) << '\n' << std::flush;
        }
    }
    if (!m_out) {
        error = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool MatchLog::Append(const GameRecord& record) {
    m_out << record.ToJson() << '\n' << std::flush;
    return static_cast<bool>(m_out);
}
