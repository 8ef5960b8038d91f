#pragma once

#include "channel/stop_signal.h"

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>

// One bot process with its standard streams on pipes, and the only path by which the moderator
// talks to it. Open starts the bot; a reader thread of the channel forwards whatever the bot writes
// to its standard output or standard error (one pipe, in the order written) to OnOutput, and
// reports the bot's end through OnBotEnded; Printf writes to the bot's standard input. The channel
// reports its own failures as text through WriteStdError. By default OnOutput passes each chunk to
// WriteStdOut and OnBotEnded writes "\r\nPlayer Quit\r\n" there; both sinks discard their text
// here; subclasses give them a meaning.
//
// The reader works in one of two modes, fixed when the channel is made. Paced (the window): a
// reader thread looks at the pipe every pollMs and forwards what arrived in chunks of at most
// kChunkBytes, which bots written for the window rely on. OnArrival (the headless runner): there
// is no reader thread; the owner's thread reads in Pump, which waits on the pipes themselves,
// beside the children's ends and a wake descriptor of the owner's, and forwards what arrived at
// once, in chunks of up to kStreamChunkBytes, so that a line costs no hand-over between threads.
//
// The bot runs in a session of its own with the moderator's environment and working directory and
// inherits no descriptor but its three standard streams. The channel never kills or signals a bot:
// Close only closes the pipes, and every bot that ends is reaped by the process-wide reaper.
//
// Threads: the owner's thread runs the constructor, Open, Printf, Close, Pump and the destructor.
// Each open paced channel has one reader thread, which runs the sinks and ends with its own Close.
// Close may run on both at once. An OnArrival channel runs its sinks, and closes itself after the
// bot's end, inside Pump on the owner's thread. A reader gets duplicates of the descriptors it
// uses, so the owner can close the channel's own descriptors at any time without the reader ever
// reading a reused number.
//
// A subclass that overrides the sinks must call CloseQuietly() in its destructor, before its own
// members go: by the time this class's destructor runs, the reader must no longer be able to call
// into the subclass.
class CPlayerChannel {
public:
    // The fields' values at one moment, read together; for tests and diagnostics.
    struct FieldState {
        bool hasThread;
        int stopEvent;
        std::thread::id threadId;
        // The paced reader's interval; 0 for a reader that waits on the pipe.
        unsigned pollMs;
        int childStdin;
        int childStdout;
        int process;
        pid_t pid;

        // Every handle none and no reader: the Closed state.
        bool IsClosed() const {
            return !hasThread && stopEvent < 0 && threadId == std::thread::id() && childStdin < 0 &&
                   childStdout < 0 && process < 0 && pid == 0;
        }
        // Every handle valid and a reader named (for OnArrival, the owner's thread, which
        // reads in Pump): the Open state.
        bool IsOpen() const {
            return (hasThread || pollMs == 0) && stopEvent >= 0 && threadId != std::thread::id() &&
                   childStdin >= 0 && childStdout >= 0 && process >= 0 && pid > 0;
        }
    };

    // How long Close waits for the reader to end before abandoning it.
    static constexpr unsigned kCloseWaitMs = 5000;
    // The bytes of one chunk at most; the reader's buffer has one more for the NUL.
    static constexpr int kChunkBytes = 255;

    // The bytes of one chunk at most for a reader that waits on the pipe.
    static constexpr int kStreamChunkBytes = 65536;

    // The reader's poll interval when none is given: the window's timing.
    static constexpr unsigned kDefaultPollMs = 100;

    // How the reader hands the bot's output over; see the class comment.
    enum class ReadMode {
        Paced,
        OnArrival,
    };

    // How a bot's end was seen, for OnBotEnded.
    enum class BotEnd {
        // The bot's side of the output pipe closed: the bot ended, or closed its output.
        OutputClosed,
        // The bot's process ended while something it started still holds the output pipe open.
        ProcessEnded,
        // Reading the pipe failed ("Read stdout pipe error\r\n" went to WriteStdError first).
        ReadFailed,
    };

    // Closed, paced; starts nothing. `pollMs` is the timeout of each wait of the reader, fixed for
    // the channel's life (the window keeps kDefaultPollMs). A value of 0 is taken as 1, so that
    // the reader never spins. Owner's thread.
    explicit CPlayerChannel(unsigned pollMs = kDefaultPollMs);
    // Closed, in the given mode (Paced at kDefaultPollMs, or OnArrival); starts nothing. Owner's
    // thread.
    explicit CPlayerChannel(ReadMode mode);
    // Closes the channel, discarding whatever that reports. Owner's thread.
    virtual ~CPlayerChannel();

    CPlayerChannel(const CPlayerChannel&) = delete;
    CPlayerChannel& operator=(const CPlayerChannel&) = delete;

protected:
    // Receives each chunk of the bot's output exactly as read, NUL bytes included; chunk.data()
    // is NUL-terminated. The default passes it to WriteStdOut. Reader thread (OnArrival: the
    // owner's, in Pump).
    virtual void OnOutput(std::string_view chunk);
    // The bot has ended, as `how` says; called once per bot, after its last OnOutput, and never
    // after a Close. The default writes "\r\nPlayer Quit\r\n" to WriteStdOut when the output
    // pipe closed, and nothing otherwise. Reader thread (OnArrival: the owner's, in Pump).
    virtual void OnBotEnded(BotEnd how);
    // Receives each chunk of the bot's output as a C string (a chunk that holds a NUL byte ends
    // there) and "\r\nPlayer Quit\r\n" when the bot's side of the output pipe has closed, from
    // the defaults of OnOutput and OnBotEnded. Reader thread; also the owner's thread when a
    // subclass's error sink passes text on to it.
    virtual void WriteStdOut(const char* text);
    // Receives the channel's own error messages. Reader thread (read errors) or owner's thread
    // (failures of Open and Close).
    virtual void WriteStdError(const char* text);

public:
    // Stops the reader and closes every descriptor; the bot is left running and sees end of file
    // on its standard input. Does nothing on a closed channel, except that on the owner's thread
    // it always requests the stop signal of the last reader, even one that has ended by itself.
    // On the owner's thread it first requests the reader's stop signal and then wakes the reader,
    // and waits for it for at most kCloseWaitMs; a reader still running then is abandoned (it
    // touches the channel no more) and "The redir thread is dead\r\n" goes to WriteStdError. On the
    // reader thread (the reader's last step, or a sink) it does not wait for itself, and the reader
    // then ends without delivering anything more. Subclasses do not override it. Owner's thread or
    // reader thread.
    virtual void Close() final;

    // Starts the bot named by `commandLine` (split into words as a POSIX shell would, without
    // running one; a program name without a slash is searched for in PATH) and its reader, after
    // closing the channel to any previous bot. Returns 1 on success. On failure returns 0, reports
    // "Couldn't load file\r\n" through WriteStdError, leaves the channel Closed, and leaves in
    // errno the error of the step that failed (EINVAL: a quote not closed; ENOENT: an empty command
    // line or a missing program). A bot started before a later step failed runs on without pipes.
    // Owner's thread.
    int Open(const char* commandLine);

    // Formats printf-style into one string and writes it to the bot's standard input in a single
    // write(2). Returns 1 when the whole text was written, 0 when the channel is closed (nothing
    // is formatted then) or the write failed, as it does once the bot has gone: the channel ignores
    // SIGPIPE process-wide, so that write fails instead of killing the moderator. Blocks while the
    // pipe is full. Owner's thread.
    int Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The fields, read together. Any thread.
    FieldState Fields() const;

    // The most channels one Pump watches; any further ones are left out.
    static constexpr std::size_t kMaxPumped = 8;

    // Waits until one of `channels` (open OnArrival channels; others are left out) has output or
    // its bot has ended, or `wake` (a descriptor of the caller's, or -1) is readable, or
    // `timeoutMs` has passed (-1: no limit), then forwards what each ready pipe holds through that
    // channel's OnOutput and reports an end through OnBotEnded, as a reader thread would, on the
    // calling thread; a channel whose bot has ended is closed. Returns at once if there is nothing
    // to watch, and early on a signal. The owner's thread of every channel given.
    static void Pump(std::span<CPlayerChannel* const> channels, int wake, int timeoutMs);

protected:
    // The stop signal the calling thread must pass on to anything it waits for on another
    // thread's behalf: on this channel's reader thread the reader's own signal (a fresh one per
    // Open, requested as the first act of a Close on the owner's thread); on any other thread
    // null, since the owner never abandons what it waits for. Any thread.
    std::shared_ptr<StopSignal> ReaderStopSignal() const;

    // Close for destructors: closes as Close does but discards what that would report. Owner's
    // thread.
    void CloseQuietly();

private:
    struct ReaderState;

    // Starts the child with the given descriptors as its standard output, input and error, keeps
    // its pidfd in m_process and its pid in m_pid, and hands it to the reaper. Returns 1, or 0
    // with errno set. Owner's thread, inside Open.
    int LaunchChild(const char* commandLine, int stdOut, int stdIn, int stdErr);
    // Starts the reader thread on duplicates of the channel's descriptors. Returns 1, or 0 with
    // errno set. Owner's thread, inside Open.
    int StartReader();
    // What a look at the pipe found.
    enum class ReadResult {
        // All was forwarded and the pipe is still open.
        More,
        // The bot's side of the pipe is closed; the end has been reported.
        Ended,
        // Reading failed; "Read stdout pipe error\r\n" and the end have been reported.
        Failed,
        // A stop was requested, or the channel was closed from a sink.
        Stopped,
    };

    // Forwards everything the pipe holds. Static, like Deliver, so that a reader touches its
    // channel only through the sink calls that Deliver guards. `drain`: read on until the pipe is
    // empty (an OnArrival reader otherwise stops after a read that did not fill its buffer).
    // Reader thread.
    static ReadResult ReadAvailable(ReaderState& reader, bool drain = false);
    // Calls `sink` on the channel unless the reader is to stop; false when the reader is to stop
    // (before or after the call). Reader thread.
    template <class Sink>
    static bool Deliver(ReaderState& reader, Sink&& sink);
    // Reports the read error and the end. Returns Failed, for ReadAvailable. Reader thread.
    static ReadResult ReportReadError(ReaderState& reader);
    // The reader thread's procedure and its wait. Reader thread.
    static void ReaderThread(const std::shared_ptr<ReaderState>& reader);
    static void WaitPaced(ReaderState& reader);
    // Close, reporting an overdue reader only if `report`. Owner's thread or reader thread.
    void CloseImpl(bool report);
    // The part of Close that the reader runs for itself. Reader thread.
    void CloseOnReaderThread(ReaderState& reader);
    // Closes every descriptor field and sets the fields to their Closed values. m_mutex held.
    void CloseFieldsLocked();

    // Guards every field below. Never held while a sink runs or while waiting for the reader.
    mutable std::mutex m_mutex;

    std::thread m_thread;
    // An eventfd; the reader polls it beside the pidfd, and a Close writes it. -1 when none.
    int m_stopEvent = -1;
    std::thread::id m_threadId;
    const ReadMode m_mode;
    const unsigned m_pollMs;
    int m_childStdin = -1;
    int m_childStdout = -1;
    // A pidfd of the child; -1 when none.
    int m_process = -1;
    pid_t m_pid = 0;

    // What the current reader owns, shared with it; null when there is no reader.
    std::shared_ptr<ReaderState> m_reader;
    // The stop signal of the reader started last, kept until a Close on the owner's thread
    // requests it; null when none.
    std::shared_ptr<StopSignal> m_lastStop;

    // The reader whose thread this is; null on any other thread.
    static thread_local ReaderState* t_reader;
};
