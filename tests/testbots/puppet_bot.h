#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

// Drives one puppetbot (a real child process that a channel starts) from a test: a temporary
// directory holds the bot's control fifo and the record of its standard input. The helper holds
// the fifo open, so what it says is kept until the bot reads it, even before the bot has started.
//
// One thread at a time (the test's).
class PuppetBot {
public:
    // Creates the directory, the fifo and an empty record. Aborts the test program on failure.
    PuppetBot();
    // Tells a still running bot to exit 0, then removes the directory.
    ~PuppetBot();

    PuppetBot(const PuppetBot&) = delete;
    PuppetBot& operator=(const PuppetBot&) = delete;

    // The command line that starts this bot: the built puppetbot's absolute path and the two
    // file arguments, each quoted as needed.
    std::string CommandLine() const;

    // Makes the bot write `bytes` (any bytes, NUL included) to its standard output in one write.
    void Say(std::string_view bytes);
    // Sends one raw control line, e.g. "!stderr x" or "!grandchild" (see puppetbot.cpp).
    void Command(std::string_view line);
    // Makes the bot exit with `code`.
    void Exit(int code);

    // Everything the bot has received on its standard input so far.
    std::string Received() const;
    // Waits until Received() equals `expected`; false on timeout.
    bool WaitReceived(std::string_view expected, std::chrono::milliseconds timeout) const;
    // Waits until the bot has seen end of file on its standard input; false on timeout.
    bool WaitEof(std::chrono::milliseconds timeout) const;
    // Waits until the bot runs and returns its pid; -1 on timeout.
    pid_t WaitPid(std::chrono::milliseconds timeout) const;

    // `word` quoted for a command line (single quotes unless it needs none).
    static std::string Quote(std::string_view word);
    // `bytes` escaped as one control line that puppetbot writes back unchanged.
    static std::string Escape(std::string_view bytes);

private:
    void SendLine(std::string_view line);

    std::string m_dir;
    std::string m_fifo;
    std::string m_record;
    int m_control = -1;
    bool m_exitSent = false;
};
