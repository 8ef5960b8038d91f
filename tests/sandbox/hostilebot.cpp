// A bot that misbehaves in one way at its first turn, for the tests of the runner's limits and
// sandbox, then plays the first free column from the centre. Usage:
//
//   hostilebot MODE [ARG] [MARK]
//
// MODE, done once at the bot's first turn:
//   alloc           allocates and touches memory without end, in 16 MiB steps (it stops itself at
//                   1 GiB and then plays on, so that a limit that fails cannot take the machine
//                   down); a refused allocation ends the bot quietly with status 3
//   fork            forks children that sleep 30 s, until a fork fails or 300 are running, then
//                   plays on
//   spin            spins on the CPU for at most 4 s of wall time, then plays on
//   write PATH      creates the file PATH
//   read PATH       reads the file PATH
//   connect PORT    opens a TCP connection to 127.0.0.1:PORT
//   child MARK      starts a child in a session of its own that sleeps 60 s (MARK, any word, is
//                   in its command line, so that a test can find it)
// For write, read and connect, success is answered with the illegal move "8" instead of the first
// move, so that the runner's output shows what the bot could do.
//
// Protocol as the sample bots: "p" at start and after every "0", a game from "1"/"2", the
// opponent's moves "1".."7", results "-1" "-2" "-3".

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

void Say(const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, text.data(), text.size());
}

// Does the mode's misdeed; true when it succeeded in what the sandbox is to prevent.
bool Misbehave(const std::string& mode, const std::string& arg) {
    if (mode == "alloc") {
        std::vector<char*> blocks;
        blocks.reserve(256);
        for (std::size_t total = 0; total < (std::size_t{1} << 30); total += 16 << 20) {
            char* block = new (std::nothrow) char[16 << 20];
            if (block == nullptr) {
                _exit(3);
            }
            std::memset(block, 1, 16 << 20);
            blocks.push_back(block);
        }
        for (char* block : blocks) {
            delete[] block;
        }
    } else if (mode == "fork") {
        for (int i = 0; i < 300; ++i) {
            const pid_t child = fork();
            if (child < 0) {
                break;
            }
            if (child == 0) {
                sleep(30);
                _exit(0);
            }
        }
    } else if (mode == "spin") {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        volatile unsigned long spins = 0;
        while (std::chrono::steady_clock::now() < until) {
            spins = spins + 1;
        }
    } else if (mode == "write") {
        const int fd = open(arg.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            close(fd);
            return true;
        }
    } else if (mode == "read") {
        const int fd = open(arg.c_str(), O_RDONLY);
        char byte = 0;
        if (fd >= 0 && read(fd, &byte, 1) == 1) {
            close(fd);
            return true;
        }
    } else if (mode == "connect") {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(arg.c_str())));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected =
            fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) {
            close(fd);
        }
        return connected;
    } else if (mode == "child") {
        if (fork() == 0) {
            setsid();
            // Silent, so that nothing of it reaches the runner; the MARK is its argv[0], which
            // stays in its command line through the exec.
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl("/bin/sleep", arg.c_str(), "60", static_cast<char*>(nullptr));
            _exit(1);
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hostilebot MODE [ARG]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const std::string mode = argv[1];
    const std::string arg = argc > 2 ? argv[2] : "";
    bool misbehaved = false;
    bool playing = false;
    int heights[8] = {};
    Say("p");
    const auto move = [&] {
        if (!misbehaved) {
            misbehaved = true;
            if (Misbehave(mode, arg)) {
                Say("8");
                return;
            }
        }
        for (const int column : {4, 3, 5, 2, 6, 1, 7}) {
            if (heights[column] < 6) {
                ++heights[column];
                Say(std::to_string(column));
                return;
            }
        }
    };
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "0") {
            playing = false;
            Say("p");
        } else if (!playing && (line == "1" || line == "2")) {
            playing = true;
            std::fill(std::begin(heights), std::end(heights), 0);
            if (line == "1") {
                move();
            }
        } else if (playing && line.size() == 1 && line[0] >= '1' && line[0] <= '7') {
            ++heights[line[0] - '0'];
            move();
        } else if (line.size() == 2 && line[0] == '-') {
            playing = false;
        }
    }
    return 0;
}
