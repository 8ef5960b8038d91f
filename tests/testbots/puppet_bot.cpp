#include "tests/testbots/puppet_bot.h"

#include "channel/split_command_line.h"
#include "tests/testbots/wait_until.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::abort();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

PuppetBot::PuppetBot() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fourfall-puppet-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        Fail("mkdtemp");
    }
    m_dir = pattern;
    m_fifo = m_dir + "/control";
    m_record = m_dir + "/stdin.rec";
    if (mkfifo(m_fifo.c_str(), 0600) != 0) {
        Fail("mkfifo");
    }
    // Read-write, so opening never waits for the bot and writes never see a missing reader.
    m_control = open(m_fifo.c_str(), O_RDWR | O_CLOEXEC);
    if (m_control < 0) {
        Fail("open fifo");
    }
    const int record = open(m_record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (record < 0) {
        Fail("create record");
    }
    close(record);
}

PuppetBot::~PuppetBot() {
    if (!m_exitSent) {
        Exit(0);
    }
    close(m_control);
    for (const char* suffix : {"", ".eof", ".pid", ".pid.tmp"}) {
        unlink((m_record + suffix).c_str());
    }
    unlink(m_fifo.c_str());
    rmdir(m_dir.c_str());
}

std::string PuppetBot::CommandLine() const {
    return Quote(FOURFALL_PUPPETBOT_PATH) + " " + Quote(m_fifo) + " " + Quote(m_record);
}

void PuppetBot::Say(std::string_view bytes) {
    SendLine(Escape(bytes));
}

void PuppetBot::Command(std::string_view line) {
    SendLine(line);
}

void PuppetBot::Exit(int code) {
    m_exitSent = true;
    SendLine("!exit " + std::to_string(code));
}

void PuppetBot::SendLine(std::string_view line) {
    std::string data(line);
    data.push_back('\n');
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = write(m_control, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail("write fifo");
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

std::string PuppetBot::Received() const {
    return ReadFile(m_record);
}

bool PuppetBot::WaitReceived(std::string_view expected, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Received() == expected; }, timeout);
}

bool PuppetBot::WaitEof(std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return access((m_record + ".eof").c_str(), F_OK) == 0; }, timeout);
}

pid_t PuppetBot::WaitPid(std::chrono::milliseconds timeout) const {
    pid_t pid = -1;
    WaitUntil(
        [&] {
            const std::string text = ReadFile(m_record + ".pid");
            if (text.empty()) {
                return false;
            }
            pid = static_cast<pid_t>(std::atoi(text.c_str()));
            return true;
        },
        timeout);
    return pid;
}

std::string PuppetBot::Quote(std::string_view word) {
    return QuoteCommandWord(word);
}

std::string PuppetBot::Escape(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string line;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            line += "\\\\";
        } else if (u < 0x20 || u >= 0x7f || c == '!') {
            // '!' escaped too, so that no text is taken for a command.
            line += "\\x";
            line.push_back(kHex[u >> 4]);
            line.push_back(kHex[u & 0xf]);
        } else {
            line.push_back(c);
        }
    }
    return line;
}
