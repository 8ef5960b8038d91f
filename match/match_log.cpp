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
                 {"move_time_ms", run.moveTime.count()},
                 {"start_time_ms", run.startTime.count()}};
    if (!run.openings.empty()) {
        json["openings"] = run.openings;
    }
    return json;
}

std::string Dump(const Json& json) {
    // Command lines are bytes; a byte that is no UTF-8 must not stop the log.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The first field in which the logged run differs from this one, in words; empty when none.
std::string Difference(const Json& logged, const MatchLog::Run& run) {
    // Compared as written, so that a command line with bytes that JSON could not hold compares
    // equal to itself.
    const Json current = Json::parse(Dump(RunJson(run)));
    for (std::size_t i = 0; i < run.commands.size(); ++i) {
        const Json& was = logged.at("commands").at(i);
        if (was != current["commands"][i]) {
            return "the log was written with player " + std::to_string(i + 1) + " " + Dump(was) +
                   ", not " + Dump(current["commands"][i]);
        }
    }
    for (const auto& [key, option] :
         {std::pair{"move_time_ms", "--move-time"}, std::pair{"start_time_ms", "--start-time"}}) {
        if (logged.at(key) != current[key]) {
            return std::string("the log was written with ") + option + " " + Dump(logged.at(key)) +
                   " ms, not " + Dump(current[key]) + " ms";
        }
    }
    return {};
}

}  // namespace

std::string MatchLog::RunLine(const Run& run) {
    return Dump(RunJson(run));
}

std::optional<MatchLog::Contents> MatchLog::ReadForResume(const std::string& path, const Run& run,
                                                          std::string& error) {
    Contents contents;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) {
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
            const Json header = Json::parse(line, nullptr, false);
            try {
                if (!header.is_object() || header.at("log") != kLogName) {
                    throw std::out_of_range("not a run line");
                }
                error = Difference(header, run);
            } catch (const std::exception&) {
                error = path + " is not a log of fourfall-match";
            }
            if (!error.empty()) {
                error.insert(0, "cannot resume: ");
                return std::nullopt;
            }
        } else {
            std::optional<GameRecord> record = GameRecord::FromJson(line);
            if (!record) {
                error = "cannot resume: line " + std::to_string(number) + " of " + path +
                        " is not a game record";
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
