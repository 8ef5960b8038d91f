#include "channel/player_channel.h"

#include "channel/child_reaper.h"
#include "channel/split_command_line.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

extern char** environ;

namespace {

constexpr const char kPlayerQuit[] = "\r\nPlayer Quit\r\n";
constexpr const char kReadError[] = "Read stdout pipe error\r\n";
constexpr const char kLoadError[] = "Couldn't load file\r\n";
constexpr const char kReaderDead[] = "The redir thread is dead\r\n";

// Closes `fd` if it is open and sets it to none. Whichever thread owns the descriptor.
void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the moderator; ignored,
// the write fails with EPIPE instead and Printf returns 0. Done once, when the first channel
// opens, so that every program using the channel is safe. Children get the default back.
// Owner's thread.
void IgnoreSigpipeOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Only the default disposition kills; a handler the program installed stays.
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
            return;
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, nullptr);
    });
}

// Moves `fd` to a number of 3 or more (keeping close-on-exec), so that the dup2 of one child end
// onto 0, 1 or 2 can never overwrite another child end; it matters only for a moderator started
// with some of its standard streams closed. True on success. Owner's thread, inside Open.
bool MoveAboveStandardStreams(int& fd) {
    if (fd > 2) {
        return true;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0) {
        return false;
    }
    close(fd);
    fd = moved;
    return true;
}

// A close-on-exec duplicate numbered 3 or more, or -1 with errno set. Any thread.
int Duplicate(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

}  // namespace

// What one reader owns and shares with its channel. The descriptors are the reader's own
// duplicates, closed by the reader itself, so nothing the owner closes can pull them away.
struct CPlayerChannel::ReaderState {
    // Whoever lets go of it last: the reader thread, or the owner if the thread never started.
    ~ReaderState() { CloseDescriptors(); }

    // The reader's own descriptors; the reader thread, once it is done with them.
    void CloseDescriptors() {
        CloseFd(pipe);
        CloseFd(process);
        CloseFd(stopEvent);
    }

    // Set before the thread starts and never changed.
    CPlayerChannel* channel = nullptr;
    std::shared_ptr<StopSignal> stop = std::make_shared<StopSignal>();
    ReadMode mode = ReadMode::Paced;
    unsigned pollMs = 0;

    // Reader thread only (after the start).
    int pipe = -1;
    int process = -1;
    int stopEvent = -1;
    // Set by a Close that the reader ran itself (from a sink): it then delivers nothing more.
    bool closedHere = false;
    // An OnArrival reader's buffer, made once: kStreamChunkBytes and the NUL.
    std::vector<char> streamBuffer;

    // Guarded by mutex: whether the owner gave up waiting, and whether the reader has touched the
    // channel for the last time. The reader's final Close runs under this mutex, so the owner's
    // decision to abandon and the reader's last act can never overlap.
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool abandoned = false;
    bool finished = false;
};

thread_local CPlayerChannel::ReaderState* CPlayerChannel::t_reader = nullptr;

CPlayerChannel::CPlayerChannel(unsigned pollMs)
    : m_mode(ReadMode::Paced), m_pollMs(std::max(pollMs, 1u)) {}

CPlayerChannel::CPlayerChannel(ReadMode mode)
    : m_mode(mode), m_pollMs(mode == ReadMode::Paced ? kDefaultPollMs : 0) {}

CPlayerChannel::~CPlayerChannel() {
    CloseImpl(false);
}

void CPlayerChannel::OnOutput(std::string_view chunk) {
    WriteStdOut(chunk.data());
}

void CPlayerChannel::OnBotEnded(BotEnd how) {
    if (how == BotEnd::OutputClosed) {
        WriteStdOut(kPlayerQuit);
    }
}

void CPlayerChannel::WriteStdOut(const char* /*text*/) {}

void CPlayerChannel::WriteStdError(const char* /*text*/) {}

void CPlayerChannel::Close() {
    CloseImpl(true);
}

void CPlayerChannel::CloseQuietly() {
    CloseImpl(false);
}

CPlayerChannel::FieldState CPlayerChannel::Fields() const {
    std::lock_guard lock(m_mutex);
    return {m_thread.joinable(), m_stopEvent,   m_threadId, m_pollMs,
            m_childStdin,        m_childStdout, m_process,  m_pid};
}

std::shared_ptr<StopSignal> CPlayerChannel::ReaderStopSignal() const {
    const ReaderState* self = t_reader;
    if (self != nullptr && self->channel == this) {
        return self->stop;
    }
    return nullptr;
}

int CPlayerChannel::Open(const char* commandLine) {
    IgnoreSigpipeOnce();
    // Ends the channel to any previous bot: its reader has ended (or been abandoned, owning
    // nothing of ours) before any field is reused.
    Close();

    int outRead = -1;
    int outWrite = -1;
    int inRead = -1;
    int inWrite = -1;
    bool opened = false;
    do {
        // Close-on-exec from the start: no child, ours or another thread's, inherits these.
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            break;
        }
        outRead = out[0];
        outWrite = out[1];
        int in[2];
        if (pipe2(in, O_CLOEXEC) != 0) {
            break;
        }
        inRead = in[0];
        inWrite = in[1];
        if (!MoveAboveStandardStreams(outWrite) || !MoveAboveStandardStreams(inRead)) {
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_childStdout = std::exchange(outRead, -1);
            m_childStdin = std::exchange(inWrite, -1);
        }
        // The output pipe's write end serves as both standard output and standard error, so the
        // two arrive interleaved in the order the child writes them.
        if (!LaunchChild(commandLine, outWrite, inRead, outWrite)) {
            break;
        }
        // From here on only the child holds the write side of the output pipe, so the pipe
        // breaks as soon as the child closes it or ends.
        CloseFd(outWrite);
        CloseFd(inRead);

        const int stopEvent = eventfd(0, EFD_CLOEXEC);
        if (stopEvent < 0) {
            break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_stopEvent = stopEvent;
        }
        opened = StartReader() == 1;
    } while (false);

    if (opened) {
        return 1;
    }
    const int error = errno;
    WriteStdError(kLoadError);
    CloseFd(outRead);
    CloseFd(outWrite);
    CloseFd(inWrite);
    CloseFd(inRead);
    Close();
    errno = error;
    return 0;
}

int CPlayerChannel::LaunchChild(const char* commandLine, int stdOut, int stdIn, int stdErr) {
    const std::optional<std::vector<std::string>> words =
        SplitCommandLine(commandLine != nullptr ? commandLine : "");
    if (!words) {
        errno = EINVAL;
        return 0;
    }
    if (words->empty()) {
        errno = ENOENT;
        return 0;
    }
    std::vector<char*> argv;
    argv.reserve(words->size() + 1);
    for (const std::string& word : *words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    int rc = posix_spawn_file_actions_init(&actions);
    if (rc != 0) {
        errno = rc;
        return 0;
    }
    posix_spawnattr_t attributes;
    rc = posix_spawnattr_init(&attributes);
    if (rc != 0) {
        posix_spawn_file_actions_destroy(&actions);
        errno = rc;
        return 0;
    }

    // The child's three standard streams are the pipes, and it inherits nothing else: closefrom
    // also drops whatever the moderator itself inherited without close-on-exec.
    if (rc == 0) {
        rc = posix_spawn_file_actions_adddup2(&actions, stdIn, 0);
    }
    if (rc == 0) {
        rc = posix_spawn_file_actions_adddup2(&actions, stdOut, 1);
    }
    if (rc == 0) {
        rc = posix_spawn_file_actions_adddup2(&actions, stdErr, 2);
    }
    if (rc == 0) {
        rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    }
    // A session of its own (no controlling terminal, no share in the moderator's terminal
    // signals), SIGPIPE back to its default (an ignored disposition would survive exec), and no
    // signal blocked whatever the owner's thread blocks.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    if (rc == 0) {
        rc = posix_spawnattr_setsigdefault(&attributes, &defaults);
    }
    if (rc == 0) {
        rc = posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    }
    if (rc == 0) {
        rc = posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    pid_t pid = 0;
    if (rc == 0) {
        // Reports a failed exec (missing, a directory, not executable) as its result, having
        // already reaped the child that tried.
        rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        errno = rc;
        return 0;
    }

    // Nothing else in the process reaps our children, so the child cannot have been reaped (and
    // its pid reused) before this.
    const int pidfd = pidfd_open(pid, 0);
    const int error = errno;
    ChildReaper::Instance().Adopt(pid, pidfd >= 0 ? Duplicate(pidfd) : -1);
    if (pidfd < 0) {
        errno = error;
        return 0;
    }
    std::lock_guard lock(m_mutex);
    m_process = pidfd;
    m_pid = pid;
    return 1;
}

int CPlayerChannel::StartReader() {
    auto reader = std::make_shared<ReaderState>();
    reader->channel = this;
    std::lock_guard lock(m_mutex);
    reader->mode = m_mode;
    reader->pollMs = m_pollMs;
    reader->pipe = Duplicate(m_childStdout);
    reader->process = reader->pipe >= 0 ? Duplicate(m_process) : -1;
    reader->stopEvent = reader->process >= 0 ? Duplicate(m_stopEvent) : -1;
    if (reader->stopEvent < 0) {
        return 0;
    }
    // Reads never ask for more than FIONREAD reported, so they would not block anyway; this makes
    // sure of it.
    const int flags = fcntl(reader->pipe, F_GETFL);
    if (flags < 0 || fcntl(reader->pipe, F_SETFL, flags | O_NONBLOCK) != 0) {
        return 0;
    }
    // Started under m_mutex, so a reader that finishes at once waits in its Close until the
    // fields name it.
    m_lastStop = reader->stop;
    if (reader->mode == ReadMode::OnArrival) {
        // No thread: the owner reads in Pump, on its own thread.
        m_threadId = std::this_thread::get_id();
        m_reader = std::move(reader);
        return 1;
    }
    try {
        m_thread = std::thread(&CPlayerChannel::ReaderThread, reader);
    } catch (const std::system_error& e) {
        errno = e.code().value();
        return 0;
    }
    m_threadId = m_thread.get_id();
    m_reader = std::move(reader);
    return 1;
}

template <class Sink>
bool CPlayerChannel::Deliver(ReaderState& reader, Sink&& sink) {
    if (reader.closedHere || reader.stop->Requested()) {
        return false;
    }
    sink(*reader.channel);
    return !reader.closedHere && !reader.stop->Requested();
}

CPlayerChannel::ReadResult CPlayerChannel::ReportReadError(ReaderState& reader) {
    if (Deliver(reader, [](CPlayerChannel& channel) { channel.WriteStdError(kReadError); })) {
        Deliver(reader, [](CPlayerChannel& channel) { channel.OnBotEnded(BotEnd::ReadFailed); });
    }
    return ReadResult::Failed;
}

CPlayerChannel::ReadResult CPlayerChannel::ReadAvailable(ReaderState& reader, bool drain) {
    const auto ended = [&reader] {
        Deliver(reader, [](CPlayerChannel& channel) { channel.OnBotEnded(BotEnd::OutputClosed); });
        return ReadResult::Ended;
    };
    const auto deliverChunk = [&reader](const char* bytes, std::size_t size) {
        return Deliver(reader, [bytes, size](CPlayerChannel& channel) {
            channel.OnOutput(std::string_view(bytes, size));
        });
    };

    if (reader.mode == ReadMode::OnArrival) {
        // The pipe is non-blocking: read until it is empty. A read that did not fill the buffer
        // most likely emptied it, so the reader goes back to its wait instead of asking again,
        // unless it is to drain what an ended child left.
        std::vector<char>& buffer = reader.streamBuffer;
        buffer.resize(kStreamChunkBytes + 1);
        for (;;) {
            if (reader.closedHere || reader.stop->Requested()) {
                return ReadResult::Stopped;
            }
            const ssize_t got = read(reader.pipe, buffer.data(), kStreamChunkBytes);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    return ReadResult::More;
                }
                return ReportReadError(reader);
            }
            if (got == 0) {
                return ended();
            }
            buffer[static_cast<std::size_t>(got)] = '\0';
            if (!deliverChunk(buffer.data(), static_cast<std::size_t>(got))) {
                return ReadResult::Stopped;
            }
            if (got < kStreamChunkBytes && !drain) {
                return ReadResult::More;
            }
        }
    }

    char buffer[kChunkBytes + 1];
    for (;;) {
        // Checked between chunks too, so a bot that writes without pause cannot hold up a Close.
        if (reader.closedHere || reader.stop->Requested()) {
            return ReadResult::Stopped;
        }
        int waiting = 0;
        if (ioctl(reader.pipe, FIONREAD, &waiting) != 0) {
            break;
        }
        if (waiting == 0) {
            // FIONREAD says 0 both for "empty, writer alive" and "empty, writer gone"; a poll
            // that shows a hang-up without data tells them apart.
            pollfd pipe{reader.pipe, POLLIN, 0};
            const int ready = poll(&pipe, 1, 0);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            if ((pipe.revents & (POLLERR | POLLNVAL)) != 0) {
                errno = (pipe.revents & POLLNVAL) != 0 ? EBADF : EIO;
                break;
            }
            if ((pipe.revents & POLLHUP) != 0 && (pipe.revents & POLLIN) == 0) {
                return ended();
            }
            return ReadResult::More;
        }
        const ssize_t got =
            read(reader.pipe, buffer, static_cast<std::size_t>(std::min(waiting, kChunkBytes)));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return ReadResult::More;
            }
            break;
        }
        if (got == 0) {
            return ended();
        }
        buffer[got] = '\0';
        if (!deliverChunk(buffer, static_cast<std::size_t>(got))) {
            return ReadResult::Stopped;
        }
    }
    return ReportReadError(reader);
}

// After the child has ended, what it left is forwarded; then the end is reported, as
// OutputClosed when nobody holds the write side any more, otherwise as ProcessEnded (something
// the bot started keeps the pipe open, and the reader does not wait for it).
void CPlayerChannel::WaitPaced(ReaderState& reader) {
    ReadResult result = ReadAvailable(reader);
    while (result == ReadResult::More) {
        pollfd waitSet[2] = {{reader.process, POLLIN, 0}, {reader.stopEvent, POLLIN, 0}};
        const int ready = poll(waitSet, 2, static_cast<int>(reader.pollMs));
        if (ready > 0 && waitSet[0].revents != 0) {
            // The child's end wins over a stop.
            if (ReadAvailable(reader) == ReadResult::More) {
                Deliver(reader,
                        [](CPlayerChannel& channel) { channel.OnBotEnded(BotEnd::ProcessEnded); });
            }
            return;
        }
        if (ready > 0 && waitSet[1].revents != 0) {
            return;
        }
        result = ReadAvailable(reader);
    }
}

void CPlayerChannel::Pump(std::span<CPlayerChannel* const> channels, int wake, int timeoutMs) {
    std::array<std::shared_ptr<ReaderState>, kMaxPumped> readers;
    std::array<pollfd, 2 * kMaxPumped + 1> waitSet{};
    std::size_t count = 0;
    for (CPlayerChannel* const channel : channels.first(std::min(channels.size(), kMaxPumped))) {
        std::lock_guard lock(channel->m_mutex);
        if (channel->m_mode != ReadMode::OnArrival || channel->m_reader == nullptr) {
            continue;
        }
        readers[count] = channel->m_reader;
        waitSet[2 * count] = {readers[count]->pipe, POLLIN, 0};
        waitSet[2 * count + 1] = {readers[count]->process, POLLIN, 0};
        ++count;
    }
    std::size_t watched = 2 * count;
    if (wake >= 0) {
        waitSet[watched++] = {wake, POLLIN, 0};
    }
    if (watched == 0) {
        return;
    }
    const int ready = poll(waitSet.data(), watched, timeoutMs);
    if (ready < 0 && errno == EINTR) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        ReaderState& reader = *readers[i];
        const bool output = ready < 0 || waitSet[2 * i].revents != 0;
        const bool ended = ready > 0 && waitSet[2 * i + 1].revents != 0;
        if (reader.closedHere || (!output && !ended)) {
            continue;
        }
        // While the sinks run, this thread is the reader of this channel: a Close from a sink
        // ends the reading at once, as it would on a reader thread.
        ReaderState* const outer = std::exchange(t_reader, &reader);
        ReadResult result = ReadResult::More;
        if (ready < 0) {
            result = ReportReadError(reader);
        } else {
            result = ReadAvailable(reader, ended);
            if (result == ReadResult::More && ended) {
                Deliver(reader,
                        [](CPlayerChannel& channel) { channel.OnBotEnded(BotEnd::ProcessEnded); });
                result = ReadResult::Ended;
            }
        }
        if (result != ReadResult::More && !reader.closedHere) {
            reader.channel->Close();
        }
        t_reader = outer;
    }
}

// `reader` refers to the thread's own copy of the pointer, which keeps the state alive until the
// thread ends, whatever the owner does meanwhile.
void CPlayerChannel::ReaderThread(const std::shared_ptr<ReaderState>& reader) {
    t_reader = reader.get();
    // The channel is used only to call its sinks (through Deliver) and its Close, and neither
    // happens once the owner has abandoned this reader.
    CPlayerChannel* const channel = reader->channel;

    WaitPaced(*reader);

    reader->CloseDescriptors();
    {
        std::lock_guard lock(reader->mutex);
        if (!reader->abandoned && !reader->closedHere) {
            channel->Close();
        }
        reader->finished = true;
    }
    reader->finishedChanged.notify_all();
    t_reader = nullptr;
}

void CPlayerChannel::CloseImpl(bool report) {
    ReaderState* const self = t_reader;
    if (self != nullptr && self->channel == this) {
        CloseOnReaderThread(*self);
        return;
    }

    std::thread thread;
    std::shared_ptr<ReaderState> reader;
    {
        std::lock_guard lock(m_mutex);
        // The last reader's signal, even if that reader has ended by itself: what it handed to
        // another thread and is still queued there is given up (see CPanePlayerChannel).
        if (m_lastStop != nullptr) {
            m_lastStop->Request();
            m_lastStop.reset();
        }
        if (m_thread.joinable()) {
            // Taken out of the field, the thread stays ours to join or detach while the reader
            // closes the fields by itself.
            thread = std::move(m_thread);
            reader = m_reader;
            // The stop signal first, so that a reader waiting on the window thread's behalf gives
            // up at once; then the eventfd, which ends its poll.
            reader->stop->Request();
            if (m_stopEvent >= 0) {
                const std::uint64_t one = 1;
                [[maybe_unused]] const ssize_t written = write(m_stopEvent, &one, sizeof one);
            }
        }
    }

    if (thread.joinable()) {
        bool finished = false;
        {
            std::unique_lock lock(reader->mutex);
            finished = reader->finishedChanged.wait_for(
                lock, std::chrono::milliseconds(kCloseWaitMs), [&] { return reader->finished; });
            if (!finished) {
                reader->abandoned = true;
            }
        }
        if (finished) {
            thread.join();
        } else {
            // A thread cannot safely be ended by force here. Abandoned, the reader owns all it
            // still uses (its own descriptors and state) and calls into the channel no more.
            thread.detach();
            if (report) {
                WriteStdError(kReaderDead);
            }
        }
    }

    std::lock_guard lock(m_mutex);
    CloseFieldsLocked();
}

void CPlayerChannel::CloseOnReaderThread(ReaderState& reader) {
    std::lock_guard lock(m_mutex);
    if (m_reader.get() != &reader) {
        // Already closed, or this reader was abandoned and a later Open has a reader of its own.
        return;
    }
    reader.closedHere = true;
    if (m_thread.joinable()) {
        // No owner is waiting for this thread; it ends on its own right after.
        m_thread.detach();
    }
    CloseFieldsLocked();
}

void CPlayerChannel::CloseFieldsLocked() {
    CloseFd(m_stopEvent);
    CloseFd(m_process);
    CloseFd(m_childStdin);
    CloseFd(m_childStdout);
    m_pid = 0;
    m_threadId = std::thread::id();
    if (m_reader != nullptr && m_mode == ReadMode::OnArrival) {
        // A Pump on this thread may still hold the reader: it reads and delivers no more.
        m_reader->closedHere = true;
    }
    m_reader.reset();
}

int CPlayerChannel::Printf(const char* format, ...) {
    std::lock_guard lock(m_mutex);
    if (m_childStdin < 0) {
        return 0;
    }
    std::string text;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    if (length < 0) {
        return 0;
    }

    // Held under m_mutex, so the reader's Close cannot close the descriptor under the write.
    ssize_t written = 0;
    do {
        written = write(m_childStdin, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(text.size()) ? 1 : 0;
}
