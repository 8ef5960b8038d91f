// A bot that plays scripted games, for the match runner's tests. Usage:
//
//   matchbot --record FILE [--never-ready] [--ignore-eof] [--grandchild] [--chatter MS]
//            [--by-position [DELAY_MS]] [--openings] GAME...
//
// Each GAME is the script of one game: tokens separated by commas, taken in order at the bot's
// turns. Games are counted across restarts (the record file remembers how many began), and the
// scripts repeat when they run out. Tokens:
//   TEXT        any other token: writes TEXT and "\n" in one write; the turn is over. A TEXT that
//               begins with "?" is a note: written the same way, but the turn goes on.
//   @raw=BYTES  writes BYTES (escapes \n \r \\ \xHH) in one write; the turn goes on.
//   @sleep=MS   sleeps MS milliseconds; the turn goes on.
//   @wait       ends the turn without writing anything.
//   @exit       exits with status 0 at once.
//   @endless    writes "4" and then "x" without end and without a line end (until the pipe breaks).
//   @note-flood=MIB  writes MIB MiB of notes: one note of half of it, the rest in 100-byte notes;
//               the turn goes on.
// A script that has no token left for a turn writes nothing (as @wait).
//
// Protocol: writes "p" at start and after every "0" (never, with --never-ready); the first "1" or
// "2" after that starts a game (moving first or second); in a game, a line "1".."7" is the
// opponent's move and gives the bot its turn; "-1", "-2", "-3" end the game until the next "0";
// other lines are ignored.
//
// Everything goes to the record FILE, appended as it happens, one item a line:
//   pid N          at start          grandchild N   the pid of the --grandchild child
//   game K         a game begins     < LINE         a line received, without its line end
// --ignore-eof: at end of input, stays running (until killed) instead of exiting.
// --grandchild: at start forks a child that stays in the bot's process group, keeps the bot's
// standard streams open and sleeps 60 s.
// --chatter MS: besides all that, writes the note "?chatter" every MS milliseconds from a thread
// of its own, whoever is to move.
// --openings: writes "p openings" as its ready line, and starts a game from the moves of the
// "opening M" line that came before its "1" or "2" (moving first when its turn follows them).
// --by-position [DELAY_MS]: ignores the scripts and plays a column that depends only on the moves
// of the game so far (a hash of them picks it among the free columns), after DELAY_MS ms (a
// number right after the option; default 0): a deterministic bot whose games do not depend on
// which copy plays them.

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

int g_record = -1;

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void Record(const std::string& item) {
    WriteAll(g_record, item + "\n");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char e = text[++i];
        if (e == 'n') {
            out.push_back('\n');
        } else if (e == 'r') {
            out.push_back('\r');
        } else if (e == 'x' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(e);
        }
    }
    return out;
}

std::vector<std::string> SplitTokens(const std::string& script) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (start <= script.size() && !script.empty()) {
        const std::size_t comma = script.find(',', start);
        tokens.push_back(script.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return tokens;
}

// Games begun by earlier copies of this bot, from the record.
int GamesBegun(const std::string& path) {
    std::ifstream in(path);
    int games = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("game ", 0) == 0) {
            ++games;
        }
    }
    return games;
}

// Writes `mib` MiB of notes in one long note and many short ones.
void FloodNotes(int mib) {
    const std::size_t total = static_cast<std::size_t>(mib) << 20;
    const std::string block(1 << 16, 'n');
    WriteAll(1, "?");
    for (std::size_t written = 0; written < total / 2; written += block.size()) {
        WriteAll(1, block);
    }
    WriteAll(1, "\n");
    std::string shortNotes;
    for (int i = 0; i < 1000; ++i) {
        shortNotes += "?" + std::string(98, 's') + "\n";
    }
    for (std::size_t written = 0; written < total / 2; written += shortNotes.size()) {
        WriteAll(1, shortNotes);
    }
}

class ScriptBot {
public:
    ScriptBot(std::vector<std::string> scripts, int gamesBegun, bool ready, int positionDelayMs,
              bool openings)
        : m_scripts(std::move(scripts)),
          m_games(gamesBegun),
          m_ready(ready),
          m_positionDelayMs(positionDelayMs),
          m_openings(openings) {}

    void Start() { SayReady(); }

    void OnLine(const std::string& line) {
        Record("< " + line);
        if (line == "0") {
            m_state = State::Idle;
            m_opening.clear();
            SayReady();
        } else if (m_openings && m_state == State::Idle && line.rfind("opening ", 0) == 0) {
            m_opening = line.substr(8);
        } else if (line == "-1" || line == "-2" || line == "-3") {
            if (m_state != State::Idle) {
                m_state = State::Over;
            }
        } else if (m_state == State::Idle && (line == "1" || line == "2")) {
            Record("game " + std::to_string(m_games));
            m_tokens = m_scripts.empty() ? std::vector<std::string>{}
                                         : SplitTokens(m_scripts[m_games % m_scripts.size()]);
            m_next = 0;
            ++m_games;
            m_state = State::Playing;
            m_moves = std::exchange(m_opening, std::string());
            if ((line == "1") == (m_moves.size() % 2 == 0)) {
                TakeTurn();
            }
        } else if (m_state == State::Playing && line.size() == 1 && line[0] >= '1' &&
                   line[0] <= '7') {
            m_moves += line;
            TakeTurn();
        }
    }

private:
    enum class State { Idle, Playing, Over };

    void SayReady() {
        if (m_ready) {
            WriteAll(1, m_openings ? "p openings\n" : "p\n");
        }
    }

    // The column that --by-position plays: FNV-1a of the moves so far picks among the free ones.
    std::string ColumnByPosition() const {
        std::uint32_t hash = 2166136261u;
        for (const char c : m_moves) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        }
        std::vector<char> free;
        for (char column = '1'; column <= '7'; ++column) {
            if (std::count(m_moves.begin(), m_moves.end(), column) < 6) {
                free.push_back(column);
            }
        }
        return std::string(1, free[hash % free.size()]);
    }

    void TakeTurn() {
        if (m_positionDelayMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_positionDelayMs));
            const std::string move = ColumnByPosition();
            m_moves += move;
            WriteAll(1, move + "\n");
            return;
        }
        while (m_next < m_tokens.size()) {
            const std::string& token = m_tokens[m_next++];
            if (token == "@wait") {
                return;
            }
            if (token == "@exit") {
                std::exit(0);
            }
            if (token.rfind("@sleep=", 0) == 0) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::atoi(token.c_str() + 7)));
                continue;
            }
            if (token == "@endless") {
                const std::string block(1 << 16, 'x');
                WriteAll(1, "4");
                for (;;) {
                    WriteAll(1, block);
                }
            }
            if (token.rfind("@note-flood=", 0) == 0) {
                FloodNotes(std::atoi(token.c_str() + 12));
                continue;
            }
            if (token.rfind("@raw=", 0) == 0) {
                WriteAll(1, Unescape(std::string_view(token).substr(5)));
                continue;
            }
            WriteAll(1, token + "\n");
            if (token.rfind('?', 0) != 0) {
                return;
            }
        }
    }

    std::vector<std::string> m_scripts;
    int m_games;
    bool m_ready;
    // --by-position's delay; -1 without it.
    int m_positionDelayMs;
    bool m_openings;
    // The moves of the game under way, both sides', as column digits, its opening first.
    std::string m_moves;
    // The opening announced for the next game.
    std::string m_opening;
    State m_state = State::Idle;
    std::vector<std::string> m_tokens;
    std::size_t m_next = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::string recordPath;
    bool ready = true;
    bool ignoreEof = false;
    bool grandchild = false;
    int chatterMs = 0;
    int positionDelayMs = -1;
    bool openings = false;
    std::vector<std::string> scripts;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--record" && i + 1 < argc) {
            recordPath = argv[++i];
        } else if (arg == "--never-ready") {
            ready = false;
        } else if (arg == "--ignore-eof") {
            ignoreEof = true;
        } else if (arg == "--grandchild") {
            grandchild = true;
        } else if (arg == "--chatter" && i + 1 < argc) {
            chatterMs = std::atoi(argv[++i]);
        } else if (arg == "--openings") {
            openings = true;
        } else if (arg == "--by-position") {
            positionDelayMs = 0;
            if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
                positionDelayMs = std::atoi(argv[++i]);
            }
        } else {
            scripts.emplace_back(arg);
        }
    }
    if (recordPath.empty()) {
        std::fprintf(stderr, "usage: matchbot --record FILE [options] GAME...\n");
        return 2;
    }
    const int gamesBegun = GamesBegun(recordPath);
    g_record = open(recordPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (g_record < 0) {
        std::perror("matchbot");
        return 2;
    }
    Record("pid " + std::to_string(getpid()));
    if (grandchild) {
        const pid_t child = fork();
        if (child == 0) {
            sleep(60);
            _exit(0);
        }
        Record("grandchild " + std::to_string(child));
    }

    if (chatterMs > 0) {
        // Each note is one write of a few bytes, so it never splits another line. Ends with the
        // process (or by SIGPIPE once the runner has closed the output).
        std::thread([chatterMs] {
            for (;;) {
                WriteAll(1, "?chatter\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(chatterMs));
            }
        }).detach();
    }

    ScriptBot bot(std::move(scripts), gamesBegun, ready, positionDelayMs, openings);
    bot.Start();
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(0, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            bot.OnLine(line);
        }
    }
    Record("eof");
    if (ignoreEof) {
        for (;;) {
            pause();
        }
    }
    return 0;
}
