#include "bots/bot_loop.h"

#include "bots/protocol_session.h"

#include <cerrno>
#include <csignal>
#include <iostream>
#include <istream>
#include <string>
#include <thread>
#include <utility>

#include <unistd.h>

BotLoop::BotLoop(Chooser chooser, bool verbose)
    : m_chooser(std::move(chooser)), m_verbose(verbose) {}

int BotLoop::Run(std::istream& in, int outFd) {
    std::signal(SIGPIPE, SIG_IGN);

    ProtocolSession session;
    ProtocolSession::Action action = session.Start();
    std::string line;
    for (;;) {
        if (action == ProtocolSession::Action::WriteReady &&
            !WriteLine(outFd, ProtocolSession::kReadyLine)) {
            return 0;
        }
        if (action == ProtocolSession::Action::ChooseMove) {
            Choice choice = m_chooser(session.Position());
            if (!session.Position().CanPlay(choice.column)) {
                // A chooser that breaks its contract must not make the bot lose by an illegal move.
                choice.column = FirstFreeFromCentre(session.Position());
            }
            if (m_verbose) {
                if (!WriteLine(outFd, "?" + choice.note)) {
                    return 0;
                }
                std::this_thread::sleep_for(kNoteGap);
            }
            session.OwnMove(choice.column);
            // The move goes last: nothing more is written until the moderator's next line.
            if (!WriteLine(outFd, std::to_string(choice.column))) {
                return 0;
            }
        }
        if (!std::getline(in, line)) {
            return 0;  // the moderator closed our input: it has gone or loaded a new copy
        }
        action = session.OnLine(line);
    }
}

std::optional<int> BotLoop::AnswerInfoOption(std::string_view arg, std::string_view program,
                                             std::string_view help) {
    if (arg == "--help" || arg == "-h") {
        std::cout << help;
        return 0;
    }
    if (arg == "--version") {
        std::cout << program << " " << FOURFALL_VERSION << "\n";
        return 0;
    }
    return std::nullopt;
}

int BotLoop::FirstFreeFromCentre(const BitboardPosition& position) {
    for (const int column : BitboardPosition::kCentreOut) {
        if (position.CanPlay(column)) {
            return column;
        }
    }
    return 0;
}

bool BotLoop::WriteLine(int fd, std::string_view text) {
    std::string buffer(text);
    buffer += '\n';
    // A line this short goes into a pipe in one piece (it is far below PIPE_BUF); the loop only
    // covers a signal interrupting the call before anything was written.
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t written = ::write(fd, buffer.data() + done, buffer.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}
