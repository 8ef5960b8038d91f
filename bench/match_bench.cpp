// Figures of the match runner, refereed in process by the same MatchRunner that fourfall-match
// runs:
//   1. games per second and the runner's own CPU time per game between two instant bots (the
//      random sample bot with two fixed seeds), at concurrency 1 and 2, and beside them a minimal
//      referee loop of this benchmark's own over the same two bots: one thread, blocking reads,
//      nothing but the protocol and the rules, the limit of this machine;
//   2. the wall time of 8 games between two bots that take 100 ms per move (the random bot with
//      --delay-ms 100), at concurrency 1 and 4.
// The CPU time is this process's (the referees, which read their bots' pipes themselves); the
// bots' time is not in it. It reports and asserts nothing. Usage: match_bench [games=2000] [slow games=8]

#include "bench/process_cpu.h"
#include "match/match_runner.h"
#include "moderator/board.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::string kRandomBot = FOURFALL_RANDOM_BOT;

struct Figures {
    int games = 0;
    std::size_t moves = 0;
    double wallS = 0.0;
    double cpuMs = 0.0;
};

void Print(const char* what, const Figures& figures) {
    const double games = figures.games > 0 ? figures.games : 1;
    std::printf(
        "%-34s %5d games (%zu moves) in %6.2f s: %7.1f games/s, %5.1f us per move, runner CPU "
        "%.3f ms per game\n",
        what, figures.games, figures.moves, figures.wallS, figures.games / figures.wallS,
        figures.wallS * 1e6 / static_cast<double>(figures.moves > 0 ? figures.moves : 1),
        figures.cpuMs / games);
}

// `games` games of the runner between `commands` at `concurrency`.
Figures RunMatch(const std::array<std::string, 2>& commands, int games, int concurrency) {
    MatchReferee::Settings settings;
    settings.commands = {commands[0], commands[1]};
    settings.games = games;
    MatchRunner runner(settings, concurrency);
    if (runner.StartBots() != 0) {
        std::printf("the bots could not be started: %s\n", commands[0].c_str());
        std::exit(1);
    }
    std::vector<int> numbers(static_cast<std::size_t>(games));
    std::iota(numbers.begin(), numbers.end(), 1);
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = Clock::now();
    const MatchSchedule schedule(2, MatchSchedule::Format::RoundRobin, games, {});
    const std::vector<GameRecord> records = runner.Play(schedule, numbers, {});
    Figures figures;
    figures.wallS = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    figures.cpuMs = ProcessCpuMs() - cpuBefore;
    figures.games = static_cast<int>(records.size());
    for (const GameRecord& record : records) {
        figures.moves += record.moves.size();
    }
    runner.EndBots();
    return figures;
}

// One bot on two pipes, read a line at a time with blocking reads.
class PlainBot {
public:
    explicit PlainBot(const std::string& seed) {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            std::perror("pipe2");
            std::exit(1);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::string seedArg = "--seed";
        std::string program = kRandomBot;
        std::string seedValue = seed;
        char* argv[] = {program.data(), seedArg.data(), seedValue.data(), nullptr};
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv, environ) != 0) {
            std::perror("posix_spawn");
            std::exit(1);
        }
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~PlainBot() {
        close(m_in);
        close(m_out);
        waitpid(m_pid, nullptr, 0);
    }

    void Send(const char* line) {
        const std::string text = std::string(line) + "\r\n";
        [[maybe_unused]] const ssize_t written = write(m_in, text.data(), text.size());
    }

    // Reads up to a line that begins with "p": what the bot wrote after a game's last move and
    // before its reset does not count.
    void WaitReady() {
        while (!Line().starts_with('p')) {
        }
    }

    // The next line that is no note.
    std::string Line() {
        for (;;) {
            const std::size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                if (!line.starts_with('?')) {
                    return line;
                }
                continue;
            }
            char chunk[4096];
            const ssize_t got = read(m_out, chunk, sizeof chunk);
            if (got <= 0) {
                std::printf("a bot of the minimal loop ended\n");
                std::exit(1);
            }
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    pid_t m_pid = 0;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

// The same games as the runner plays, by the plainest loop that speaks the protocol.
Figures RunMinimalLoop(int games) {
    PlainBot bots[2] = {PlainBot("1"), PlainBot("2")};
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = Clock::now();
    Board board;
    std::size_t moves = 0;
    for (int number = 1; number <= games; ++number) {
        bots[0].WaitReady();
        bots[1].WaitReady();
        const int first = number % 2 == 1 ? 0 : 1;
        bots[0].Send(first == 0 ? "1" : "2");
        bots[1].Send(first == 1 ? "1" : "2");
        board.Clear();
        const char* result = nullptr;
        for (int mover = first; result == nullptr; mover = 1 - mover) {
            const std::string move = bots[mover].Line();
            bots[1 - mover].Send(move.substr(0, 1).c_str());
            if (!board.Drop(move.empty() ? 0 : move[0] - '0', mover + 1)) {
                std::printf("an illegal move in the minimal loop: %s\n", move.c_str());
                std::exit(1);
            }
            ++moves;
            const std::vector<ResultKind> results = board.CheckBoard();
            if (!results.empty()) {
                result = results.front() == Player1Wins   ? "-1"
                         : results.front() == Player2Wins ? "-2"
                                                          : "-3";
            }
        }
        for (PlainBot& bot : bots) {
            if (result != nullptr) {
                bot.Send(result);
            }
            bot.Send("0");
        }
    }
    Figures figures;
    figures.wallS = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    figures.cpuMs = ProcessCpuMs() - cpuBefore;
    figures.games = games;
    figures.moves = moves;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int games = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int slowGames = argc > 2 ? std::atoi(argv[2]) : 8;
    std::printf("random bot against random bot (seeds 1 and 2)\n");
    const std::array<std::string, 2> instant = {kRandomBot + " --seed 1", kRandomBot + " --seed 2"};
    Print("runner, concurrency 1:", RunMatch(instant, games, 1));
    Print("runner, concurrency 2:", RunMatch(instant, games, 2));
    Print("minimal referee loop (1 thread):", RunMinimalLoop(games));

    if (slowGames > 0) {
        std::printf("bots that take 100 ms per move (random bot, --delay-ms 100)\n");
        const std::array<std::string, 2> slow = {kRandomBot + " --seed 1 --delay-ms 100",
                                                 kRandomBot + " --seed 2 --delay-ms 100"};
        Print("runner, concurrency 1:", RunMatch(slow, slowGames, 1));
        Print("runner, concurrency 4:", RunMatch(slow, slowGames, 4));
    }
    return 0;
}
