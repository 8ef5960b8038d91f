// A bot that a test drives: everything it receives on standard input is appended to RECORD_FILE
// as it arrives (RECORD_FILE.eof appears at end of input), and each line read from CONTROL_FIFO is
// either a command or bytes to write to standard output in one write(2).
//
//   puppetbot CONTROL_FIFO RECORD_FILE
//
// Lines are unescaped first (\r \n \t \0 \\ \xHH). Commands:
//   !exit N          exits with status N
//   !close-output    closes descriptors 1 and 2 and keeps running
//   !close-input     closes descriptor 0 (no .eof file) and keeps running
//   !stderr TEXT     writes TEXT to descriptor 2 in one write
//   !grandchild      forks a child that keeps the output pipe open, sleeps ~3 s and exits
//   !spew N          writes N bytes ('a'..'z' repeated) to standard output, in writes of 64 KiB
//   !stamp           writes "T<CLOCK_MONOTONIC in ns>\n" in one write
// RECORD_FILE.pid holds the bot's pid once it runs. The fifo is opened read-write, so the bot
// never sees its end; it ends only when told to (or by a signal, e.g. SIGPIPE on a closed output).

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Unescape(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out.push_back(line[i]);
            continue;
        }
        const char e = line[++i];
        switch (e) {
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '0':
                out.push_back('\0');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'x':
                if (i + 2 < line.size() && HexValue(line[i + 1]) >= 0 &&
                    HexValue(line[i + 2]) >= 0) {
                    out.push_back(
                        static_cast<char>(HexValue(line[i + 1]) * 16 + HexValue(line[i + 2])));
                    i += 2;
                } else {
                    out.append("\\x");
                }
                break;
            default:
                out.push_back('\\');
                out.push_back(e);
                break;
        }
    }
    return out;
}

// Writes all of `data`, looping over partial writes; false on failure.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One write(2), as a bot that prints one line does.
void WriteOnce(int fd, const std::string& bytes) {
    [[maybe_unused]] const ssize_t n = write(fd, bytes.data(), bytes.size());
}

void Touch(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
    }
}

void WritePidFile(const std::string& record) {
    const std::string temp = record + ".pid.tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    const std::string pid = std::to_string(getpid());
    WriteAll(fd, pid.data(), pid.size());
    close(fd);
    rename(temp.c_str(), (record + ".pid").c_str());
}

void Spew(std::size_t total) {
    std::string block(64 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>('a' + i % 26);
    }
    while (total > 0) {
        const std::size_t n = total < block.size() ? total : block.size();
        if (!WriteAll(1, block.data(), n)) {
            return;
        }
        total -= n;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: puppetbot CONTROL_FIFO RECORD_FILE\n");
        return 2;
    }
    const std::string record = argv[2];
    const int control = open(argv[1], O_RDWR | O_CLOEXEC);
    const int recordFd = open(record.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (control < 0 || recordFd < 0) {
        std::perror("puppetbot");
        return 2;
    }
    WritePidFile(record);

    bool inputOpen = true;
    std::string pending;
    char buffer[64 * 1024];
    for (;;) {
        pollfd fds[2] = {{inputOpen ? 0 : -1, POLLIN, 0}, {control, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 3;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = read(0, buffer, sizeof buffer);
            if (n > 0) {
                WriteAll(recordFd, buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                inputOpen = false;
                Touch(record + ".eof");
            }
        }
        if (fds[1].revents == 0) {
            continue;
        }
        const ssize_t n = read(control, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::string_view view(line);
            if (view.rfind("!exit ", 0) == 0) {
                return std::atoi(line.c_str() + 6);
            } else if (view == "!close-output") {
                close(1);
                close(2);
            } else if (view == "!close-input") {
                close(0);
                inputOpen = false;
            } else if (view.rfind("!stderr ", 0) == 0) {
                WriteOnce(2, Unescape(view.substr(8)));
            } else if (view == "!grandchild") {
                if (fork() == 0) {
                    close(control);
                    close(recordFd);
                    sleep(3);
                    _exit(0);
                }
            } else if (view.rfind("!spew ", 0) == 0) {
                Spew(std::strtoull(line.c_str() + 6, nullptr, 10));
            } else if (view == "!stamp") {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const long long ns =
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
                WriteOnce(1, "T" + std::to_string(ns) + "\n");
            } else {
                WriteOnce(1, Unescape(view));
            }
        }
    }
}
