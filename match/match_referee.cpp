#include "match/match_referee.h"

#include "channel/child_reaper.h"
#include "match/match_options.h"
#include "match/process_group.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

using namespace std::chrono_literals;

int Other(int player) {
    return 3 - player;
}

std::string PlayerName(int player) {
    return "player " + std::to_string(player);
}

// A move's character for a message: printable characters as they are, the others (the blank
// included) as \xHH, an empty move as "(empty line)".
std::string DescribeMove(const std::string& move) {
    if (move.empty()) {
        return "(empty line)";
    }
    const auto byte = static_cast<unsigned char>(move[0]);
    if (byte > 0x20 && byte < 0x7f) {
        return move;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    return escaped;
}

std::string OverlongReason(int player) {
    return PlayerName(player) + " wrote a line longer than " +
           std::to_string(LineAssembler::kMaxLineBytes) + " bytes";
}

long long RoundedMs(MatchReferee::Clock::duration duration) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
    return std::max(0LL, static_cast<long long>((us + 500) / 1000));
}

}  // namespace

struct MatchReferee::Bot {
    std::unique_ptr<MatchPlayerChannel> channel;
    // The current copy's pid, which is also its process group id; 0 when none was started.
    pid_t pid = 0;
    // The current copy's start under the wrapper (its limits and pids group); null without one.
    std::unique_ptr<BotWrapper::Start> start;
    // The current copy has ended, or could not be started: it is started again before the next
    // game.
    bool ended = false;
    Clock::time_point startedAt{};
    // Readiness: lines with a sequence number above readyAfter count, and ready says whether the
    // latest of them (not beginning with "?") began with "p".
    std::uint64_t readyAfter = 0;
    bool ready = false;
};

struct MatchReferee::Forfeits {
    // Index 0 and 1 for slots 1 and 2; empty when that bot did not forfeit.
    std::array<std::string, 2> reasons;

    void Set(int player, std::string reason) { reasons[player - 1] = std::move(reason); }
    bool Any() const { return !reasons[0].empty() || !reasons[1].empty(); }
};

MatchReferee::MatchReferee(Settings settings) : m_settings(std::move(settings)) {
    for (int player = 1; player <= 2; ++player) {
        m_bots[player - 1] = std::make_unique<Bot>();
        m_bots[player - 1]->channel = std::make_unique<MatchPlayerChannel>(m_queue, player);
    }
}

MatchReferee::~MatchReferee() {
    EndBots();
}

MatchReferee::Bot& MatchReferee::BotAt(int player) {
    return *m_bots[player - 1];
}

std::array<pid_t, 2> MatchReferee::BotPids() const {
    return {m_bots[0]->pid, m_bots[1]->pid};
}

void MatchReferee::Interrupt(int signal) {
    m_queue.Interrupt(signal);
}

bool MatchReferee::StartBot(int player) {
    Bot& bot = BotAt(player);
    // A copy that closed its output may still run, and what it started may hold on: it is dead to
    // the match, so its group goes before the new copy comes.
    if (bot.pid > 0) {
        bot.channel->Close();
        if (ProcessGroup::Exists(bot.pid)) {
            ProcessGroup::Kill(bot.pid);
            ProcessGroup::WaitGone({bot.pid}, m_settings.grace);
        }
        bot.pid = 0;
    }
    bot.start.reset();
    std::string commandLine = m_settings.commands[static_cast<std::size_t>(m_pairing[player - 1])];
    bool prepared = true;
    if (m_settings.wrapper) {
        std::string why;
        bot.start = m_settings.wrapper->Prepare(commandLine, why);
        prepared = bot.start != nullptr;
        if (prepared) {
            commandLine = bot.start->CommandLine();
        }
    }
    const bool started = prepared && bot.channel->Start(commandLine) == 1;
    const int error = prepared ? errno : EINVAL;
    bot.pid = started ? bot.channel->Fields().pid : 0;
    bot.ended = !started;
    bot.startedAt = Clock::now();
    bot.ready = false;
    bot.readyAfter = 0;
    errno = error;
    return started;
}

int MatchReferee::StartBots(std::array<int, 2> bots) {
    m_pairing = bots;
    for (int player = 1; player <= 2; ++player) {
        if (!StartBot(player)) {
            return player;
        }
    }
    m_resetAt = Clock::now();
    return 0;
}

void MatchReferee::EndBots() {
    std::vector<pid_t> groups;
    for (int player = 1; player <= 2; ++player) {
        Bot& bot = BotAt(player);
        bot.channel->Close();
        if (bot.pid > 0) {
            groups.push_back(bot.pid);
        }
        bot.pid = 0;
        bot.ended = true;
    }
    groups = ProcessGroup::WaitGone(std::move(groups), m_settings.grace);
    for (const pid_t group : groups) {
        ProcessGroup::Kill(group);
    }
    ProcessGroup::WaitGone(std::move(groups), m_settings.grace);
    // Ends what left the process groups but not the pids groups.
    for (int player = 1; player <= 2; ++player) {
        BotAt(player).start.reset();
    }
}

std::string MatchReferee::EndedReason(int player) {
    Bot& bot = BotAt(player);
    std::string hit;
    if (bot.start) {
        // The reaper collects the status as the bot ends, about when its output does.
        hit = bot.start->LimitHit(
            ChildReaper::Instance().WaitForStatus(bot.pid, std::chrono::milliseconds(1000)));
    }
    return PlayerName(player) + " " + (hit.empty() ? "ended" : hit);
}

std::string MatchReferee::LimitHitNow(int player) {
    const Bot& bot = BotAt(player);
    if (!bot.start || !m_settings.wrapper) {
        return {};
    }
    const std::string hit = bot.start->LimitHit(std::nullopt);
    return hit.empty() ? hit : PlayerName(player) + " " + hit;
}

std::uint64_t MatchReferee::Send(int player, const std::string& text) {
    // What the bots wrote before this message is numbered before it.
    m_queue.TakeArrived(Channels());
    const std::uint64_t before = m_queue.LastSequence();
    // A bot that has gone fails the write; its end reaches the referee through its channel.
    BotAt(player).channel->Printf("%s\r\n", text.c_str());
    return before;
}

std::array<CPlayerChannel*, 2> MatchReferee::Channels() const {
    return {m_bots[0]->channel.get(), m_bots[1]->channel.get()};
}

std::optional<MatchEvent> MatchReferee::NextEvent(Clock::time_point deadline) {
    for (;;) {
        std::optional<MatchEvent> event = std::exchange(m_pending, std::nullopt);
        if (!event) {
            event = m_queue.PopUntil(deadline, Channels());
            if (!event) {
                return std::nullopt;
            }
            if (event->kind == MatchEvent::Kind::Interrupt) {
                m_interruptSignal = event->signal;
                return event;
            }
        }
        Bot& bot = BotAt(event->player);
        if (event->generation != bot.channel->Generation() || bot.ended) {
            continue;
        }
        // What arrived after the deadline waits for the next call, so that the deadline is seen
        // first even while a bot writes without pause.
        if (event->at > deadline) {
            m_pending = std::move(event);
            return std::nullopt;
        }
        if (event->kind == MatchEvent::Kind::Ended) {
            bot.ended = true;
        }
        return event;
    }
}

std::vector<GameRecord> MatchReferee::Play(const Callbacks& callbacks) {
    std::vector<GameRecord> records;
    const MatchSchedule schedule(2, MatchSchedule::Format::RoundRobin, m_settings.games,
                                 m_settings.openings);
    for (int number = 1; number <= m_settings.games; ++number) {
        std::optional<GameRecord> record = PlayGame(schedule.At(number), callbacks);
        if (!record) {
            break;
        }
        records.push_back(std::move(*record));
    }
    return records;
}

std::optional<GameRecord> MatchReferee::PlayGame(const MatchSchedule::Game& game,
                                                 const Callbacks& callbacks) {
    GameRecord record;
    record.number = game.number;
    record.players = game.bots;
    record.firstMover = game.number % 2 == 1 ? 1 : 2;
    record.opening = game.opening;
    Forfeits forfeits;
    if (game.bots != m_pairing) {
        // Other bots play this game: the current ones go and the game's come. One that cannot be
        // started is left ended, and is tried once more below, as after any end.
        EndBots();
        StartBots(game.bots);
    }
    for (int player = 1; player <= 2; ++player) {
        if (!BotAt(player).ended) {
            continue;
        }
        const bool started = StartBot(player);
        record.restarted.push_back(player);
        if (callbacks.onRestart) {
            callbacks.onRestart(player, record.number, started);
        }
        if (!started) {
            forfeits.Set(player, PlayerName(player) + " could not be started again");
        }
    }

    std::string resultLine;
    if (!forfeits.Any() && !WaitReady(forfeits)) {
        return std::nullopt;
    }
    if (!forfeits.Any() && !PlayMoves(record, forfeits, resultLine)) {
        return std::nullopt;
    }
    ApplyForfeits(record, forfeits);
    EndGame(resultLine);
    if (m_settings.audit) {
        if (!m_auditor) {
            m_auditor = std::make_unique<Solver>();
            m_auditor->UseBook(m_settings.book.get());
            m_auditor->StopWhen([this] { return m_queue.Interrupted(); });
        }
        try {
            record.scores = MoveAudit::Scores(*m_auditor, record.opening, record.moves)
                                .value_or(std::vector<int>());
        } catch (const Solver::Stopped&) {
            // Interrupted while solving: the game goes unlogged, as one under way would, and a
            // resumed run plays it again.
            return std::nullopt;
        }
    }
    if (callbacks.onGame) {
        callbacks.onGame(record);
    }
    return record;
}

bool MatchReferee::WaitReady(Forfeits& forfeits) {
    std::array<Clock::time_point, 2> deadlines{};
    for (int player = 1; player <= 2; ++player) {
        deadlines[player - 1] = std::max(m_resetAt, BotAt(player).startedAt) + m_settings.startTime;
    }
    const auto lateReady = [&](Clock::time_point now) {
        bool late = false;
        for (int player = 1; player <= 2; ++player) {
            if (!BotAt(player).ready && now > deadlines[player - 1]) {
                forfeits.Set(player, PlayerName(player) + " was not ready within " +
                                         MatchOptions::DurationText(m_settings.startTime));
                late = true;
            }
        }
        return late;
    };

    while (!BotAt(1).ready || !BotAt(2).ready) {
        Clock::time_point wakeAt = Clock::time_point::max();
        for (int player = 1; player <= 2; ++player) {
            if (!BotAt(player).ready) {
                wakeAt = std::min(wakeAt, deadlines[player - 1]);
            }
        }
        const std::optional<MatchEvent> event = NextEvent(wakeAt);
        if (!event) {
            if (lateReady(Clock::now())) {
                return true;
            }
            continue;
        }
        switch (event->kind) {
            case MatchEvent::Kind::Interrupt:
                return false;
            case MatchEvent::Kind::Ended:
                forfeits.Set(event->player, EndedReason(event->player));
                return true;
            case MatchEvent::Kind::Overlong:
                if (event->sequence > BotAt(event->player).readyAfter) {
                    forfeits.Set(event->player, OverlongReason(event->player));
                    return true;
                }
                break;
            case MatchEvent::Kind::Line: {
                Bot& bot = BotAt(event->player);
                if (event->sequence <= bot.readyAfter) {
                    break;
                }
                if (std::string hit = LimitHitNow(event->player); !hit.empty()) {
                    forfeits.Set(event->player, std::move(hit));
                    return true;
                }
                bot.ready = event->text.starts_with('p');
                if (bot.ready && !m_settings.openings.empty() &&
                    (" " + event->text + " ").find(" openings ") == std::string::npos) {
                    m_fatalError = PlayerName(event->player) +
                                   " cannot start from openings: a bot that can says so in its "
                                   "ready line, \"p openings\", but it wrote \"" +
                                   event->text.substr(0, 40) + "\"";
                    return false;
                }
                // A "p" that arrived after the limit is late however soon it is handled.
                if (lateReady(event->at)) {
                    return true;
                }
                break;
            }
        }
    }
    return true;
}

bool MatchReferee::PlayMoves(GameRecord& record, Forfeits& forfeits, std::string& resultLine) {
    m_board.Clear();
    for (std::size_t i = 0; i < record.opening.size(); ++i) {
        m_board.Drop(record.opening[i] - '0',
                     i % 2 == 0 ? record.firstMover : Other(record.firstMover));
    }
    int mover = record.FirstToPlay();
    // Player 1's lines first, whoever moves first.
    std::array<std::uint64_t, 2> started{};
    for (int player = 1; player <= 2; ++player) {
        if (!record.opening.empty()) {
            Send(player, "opening " + record.opening);
        }
        started[player - 1] = Send(player, player == record.firstMover ? "1" : "2");
    }
    std::uint64_t turnAfter = started[mover - 1];
    Clock::time_point turnStart = Clock::now();
    const std::string timeLimit = MatchOptions::DurationText(m_settings.moveTime);

    for (;;) {
        const Clock::time_point deadline = turnStart + m_settings.moveTime;
        const std::optional<MatchEvent> event = NextEvent(deadline);
        if (!event) {
            std::string hit = LimitHitNow(mover);
            forfeits.Set(mover, hit.empty()
                                    ? PlayerName(mover) + " did not move within " + timeLimit
                                    : std::move(hit));
            return true;
        }
        if (event->kind == MatchEvent::Kind::Interrupt) {
            return false;
        }
        if (event->kind == MatchEvent::Kind::Ended) {
            forfeits.Set(event->player, EndedReason(event->player));
            return true;
        }
        if (std::string hit = LimitHitNow(event->player); !hit.empty()) {
            forfeits.Set(event->player, std::move(hit));
            return true;
        }
        if (event->kind == MatchEvent::Kind::Overlong) {
            forfeits.Set(event->player, OverlongReason(event->player));
            return true;
        }
        if (event->kind != MatchEvent::Kind::Line || event->player != mover ||
            event->sequence <= turnAfter) {
            continue;
        }
        if (event->at > deadline) {
            forfeits.Set(mover, PlayerName(mover) + " did not move within " + timeLimit);
            return true;
        }

        const std::string move = event->text.substr(0, 1);
        const int opponent = Other(mover);
        // Relayed before it is validated, as the window relays it.
        turnAfter = Send(opponent, move);
        const Clock::time_point opponentTurnStart = Clock::now();

        const int column = move.size() == 1 && move[0] >= '1' && move[0] <= '7' ? move[0] - '0' : 0;
        if (!m_board.Drop(column, mover)) {
            std::string reason = PlayerName(mover) + " made an illegal move: " + DescribeMove(move);
            if (column != 0) {
                reason += " (column " + move + " is full)";
            }
            forfeits.Set(mover, std::move(reason));
            return true;
        }
        record.moves += move;
        record.moveMs.push_back(RoundedMs(event->at - turnStart));

        const std::vector<ResultKind> results = m_board.CheckBoard();
        if (!results.empty()) {
            // The first result ends the game; the window's repeats of it are not sent.
            switch (results.front()) {
                case Player1Wins:
                case Player2Wins:
                    record.outcome = results.front() == Player1Wins
                                         ? GameRecord::Outcome::Player1Wins
                                         : GameRecord::Outcome::Player2Wins;
                    record.reason = PlayerName(results.front()) + " has four in a line";
                    resultLine = ResultLine(results.front());
                    break;
                case ResultTie:
                case ResultError:
                    record.outcome = GameRecord::Outcome::Draw;
                    record.reason = "the board is full";
                    resultLine = ResultLine(ResultTie);
                    break;
            }
            return true;
        }
        mover = opponent;
        turnStart = opponentTurnStart;
    }
}

void MatchReferee::ApplyForfeits(GameRecord& record, const Forfeits& forfeits) {
    const std::string& first = forfeits.reasons[0];
    const std::string& second = forfeits.reasons[1];
    if (first.empty() && second.empty()) {
        return;
    }
    if (!first.empty() && !second.empty()) {
        record.outcome = GameRecord::Outcome::Draw;
        record.reason = first + "; " + second;
    } else if (!first.empty()) {
        record.outcome = GameRecord::Outcome::Player2Wins;
        record.reason = first;
    } else {
        record.outcome = GameRecord::Outcome::Player1Wins;
        record.reason = second;
    }
}

void MatchReferee::EndGame(const std::string& resultLine) {
    if (!resultLine.empty()) {
        Send(1, resultLine);
        Send(2, resultLine);
    }
    const std::uint64_t before = m_queue.LastSequence();
    Send(1, "0");
    Send(2, "0");
    m_resetAt = Clock::now();
    for (int player = 1; player <= 2; ++player) {
        BotAt(player).ready = false;
        BotAt(player).readyAfter = before;
    }
}
