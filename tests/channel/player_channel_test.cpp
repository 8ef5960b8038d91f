#include "channel/player_channel.h"

#include "channel/child_reaper.h"
#include "tests/channel/recording_channel.h"
#include "tests/testbots/process_inspection.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 5000ms;
const std::string kPlayerQuit = "\r\nPlayer Quit\r\n";
const std::string kLoadError = "Couldn't load file\r\n";

std::string ProbeCommand() {
    return PuppetBot::Quote(FOURFALL_PROBEBOT_PATH);
}

// A temporary directory removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = "/tmp/fourfall-channel-XXXXXX";
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        m_path = pattern;
    }
    ~TempDir() { std::system(("rm -rf " + PuppetBot::Quote(m_path)).c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The probebot's report ("key:value" lines) from a channel's output.
std::map<std::string, std::string> ParseProbe(std::string output) {
    const std::size_t quit = output.find(kPlayerQuit);
    if (quit != std::string::npos) {
        output.erase(quit);
    }
    std::map<std::string, std::string> report;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        const std::string line = output.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            report[line.substr(0, colon)] = line.substr(colon + 1);
        }
        start = end + 1;
    }
    return report;
}

// Runs the probebot to its end through a channel and returns its report.
std::map<std::string, std::string> RunProbe(const std::string& commandLine) {
    RecordingChannel channel;
    EXPECT_EQ(channel.Open(commandLine.c_str()), 1) << commandLine;
    EXPECT_TRUE(channel.WaitOutput(kPlayerQuit, kWait));
    EXPECT_TRUE(channel.WaitClosed(kWait));
    return ParseProbe(channel.Output());
}

std::set<int> OpenDescriptors() {
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            fds.insert(std::atoi(entry->d_name));
        }
    }
    fds.erase(dirfd(dir));
    closedir(dir);
    return fds;
}

int ThreadCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/task");
    while (const dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    closedir(dir);
    return count;
}

std::set<pid_t> Children() {
    const std::vector<pid_t> children = ProcessInspection::ChildrenOf(getpid());
    return {children.begin(), children.end()};
}

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A sink gate: a hook blocks in it until the test opens it.
class Gate {
public:
    void Block() {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
    }
    bool WaitEntered(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_entered; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

// --- Failed opens -------------------------------------------------------------------------------

struct FailedOpenCase {
    const char* name;
    std::string commandLine;
    int error;
};

void PrintTo(const FailedOpenCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedOpenTest : public ::testing::TestWithParam<FailedOpenCase> {};

TEST_P(FailedOpenTest, ReportsLoadErrorLeavesClosedChannelAndNoChild) {
    const FailedOpenCase& c = GetParam();
    const std::set<pid_t> childrenBefore = Children();
    RecordingChannel channel;

    errno = 0;
    EXPECT_EQ(channel.Open(c.commandLine.c_str()), 0);
    EXPECT_EQ(errno, c.error) << std::strerror(errno);

    const std::vector<RecordingChannel::Event> events = channel.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].error);
    EXPECT_EQ(events[0].text, kLoadError);
    EXPECT_EQ(events[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(channel.Fields().IsClosed());
    EXPECT_EQ(channel.Fields().pollMs, 100u);
    EXPECT_EQ(channel.Printf("%s\r\n", "4"), 0);
    EXPECT_EQ(Children(), childrenBefore);
}

const FailedOpenCase kFailedOpens[] = {
    {"EmptyLine", "", ENOENT},
    {"OnlyBlanks", "   \t", ENOENT},
    {"UnclosedSingleQuote", "bot 'abc", EINVAL},
    {"UnclosedDoubleQuote", "\"/bin/true", EINVAL},
    {"MissingPath", "/nonexistent/fourfall/bot", ENOENT},
    {"MissingInPath", "fourfall-no-such-bot-anywhere --x", ENOENT},
    {"Directory", "/tmp", EACCES},
    {"NotExecutable", "/etc/passwd", EACCES},
};

INSTANTIATE_TEST_SUITE_P(Table, FailedOpenTest, ::testing::ValuesIn(kFailedOpens),
                         [](const ::testing::TestParamInfo<FailedOpenCase>& param) {
                             return std::string(param.param.name);
                         });

// Lowers the descriptor limit so that only `free` more descriptors can be opened; restores it
// when it goes.
class DescriptorBudget {
public:
    explicit DescriptorBudget(int free) {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        const std::set<int> used = OpenDescriptors();
        int limit = 0;
        for (int left = free; left > 0; ++limit) {
            left -= used.count(limit) == 0 ? 1 : 0;
        }
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(limit);
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    ~DescriptorBudget() { setrlimit(RLIMIT_NOFILE, &m_saved); }

private:
    rlimit m_saved{};
};

// Runs the calls a failing Open makes once with descriptors to spare: the vptr check of
// UndefinedBehaviorSanitizer needs a pipe for each type it has not seen yet.
void WarmUp(RecordingChannel& channel) {
    ChildReaper::Instance();
    channel.Open("");
    channel.Fields();
    channel.Events();
}

TEST(PlayerChannelOpen, FailingPipeReportsLoadErrorWithThatError) {
    RecordingChannel channel;
    WarmUp(channel);
    const std::size_t before = channel.Events().size();
    int result = -1;
    int error = 0;
    {
        DescriptorBudget budget(1);
        result = channel.Open(ProbeCommand().c_str());
        error = errno;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EMFILE);
    ASSERT_EQ(channel.Events().size(), before + 1);
    EXPECT_EQ(channel.Events().back().text, kLoadError);
    EXPECT_TRUE(channel.Fields().IsClosed());
}

TEST(PlayerChannelOpen, StepFailingAfterStartLeavesBotRunningWithoutPipesAndReapsIt) {
    PuppetBot bot;
    RecordingChannel channel;
    WarmUp(channel);
    const std::size_t before = channel.Events().size();
    const std::string commandLine = bot.CommandLine();
    int result = -1;
    int error = 0;
    {
        // Room for the two pipes and no more: the child starts, its pidfd cannot be had.
        DescriptorBudget budget(4);
        result = channel.Open(commandLine.c_str());
        error = errno;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EMFILE);
    ASSERT_EQ(channel.Events().size(), before + 1);
    EXPECT_EQ(channel.Events().back().text, kLoadError);
    EXPECT_TRUE(channel.Fields().IsClosed());

    const pid_t pid = bot.WaitPid(kWait);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(bot.WaitEof(kWait));
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
    bot.Exit(0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, kWait));
}

// --- Open, fields and Close ---------------------------------------------------------------------

TEST(PlayerChannelLifecycle, FieldsAreOpenWhileOpenAndClosedAfterClose) {
    RecordingChannel channel;
    EXPECT_TRUE(channel.Fields().IsClosed());
    EXPECT_EQ(channel.Fields().pollMs, 100u);

    PuppetBot bot;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const CPlayerChannel::FieldState open = channel.Fields();
    EXPECT_TRUE(open.IsOpen());
    EXPECT_NE(open.threadId, std::this_thread::get_id());
    EXPECT_EQ(open.pid, bot.WaitPid(kWait));
    const std::set<int> handles = {open.stopEvent, open.childStdin, open.childStdout, open.process};
    EXPECT_EQ(handles.size(), 4u);
    for (const int fd : handles) {
        EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC) << fd;
    }

    bot.Say("hello");
    ASSERT_TRUE(channel.WaitOutput("hello", kWait));
    EXPECT_EQ(channel.Events()[0].thread, open.threadId);

    channel.Close();
    EXPECT_TRUE(channel.Fields().IsClosed());
    EXPECT_EQ(channel.Fields().pollMs, 100u);
    for (const int fd : handles) {
        EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "still open: " << fd;
    }
    EXPECT_EQ(channel.Events().size(), 1u);
}

TEST(PlayerChannelLifecycle, CloseOnClosedChannelAndTwiceInARowDoesNothing) {
    RecordingChannel channel;
    channel.Close();
    PuppetBot bot;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    channel.Close();
    channel.Close();
    EXPECT_TRUE(channel.Events().empty());
    EXPECT_TRUE(channel.Fields().IsClosed());
}

TEST(PlayerChannelLifecycle, CloseWhileSilentBotRunsReturnsAtOnceAndBotSeesEofAndRuns) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const pid_t pid = bot.WaitPid(kWait);
    ASSERT_GT(pid, 0);

    const auto start = Clock::now();
    channel.Close();
    EXPECT_LT(ElapsedMs(start), 1000) << "Close waited for a reader that was only polling";

    EXPECT_TRUE(channel.Events().empty());
    EXPECT_TRUE(bot.WaitEof(kWait));
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
}

TEST(PlayerChannelLifecycle, OpenOnOpenChannelStopsOldReaderAndLeavesOldBotRunning) {
    PuppetBot first;
    PuppetBot second;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(first.CommandLine().c_str()), 1);
    const CPlayerChannel::FieldState old = channel.Fields();
    const pid_t firstPid = first.WaitPid(kWait);

    ASSERT_EQ(channel.Open(second.CommandLine().c_str()), 1);
    const CPlayerChannel::FieldState now = channel.Fields();
    EXPECT_TRUE(now.IsOpen());
    EXPECT_NE(now.pid, old.pid);

    EXPECT_TRUE(first.WaitEof(kWait));
    EXPECT_TRUE(ProcessInspection::IsAlive(firstPid));
    EXPECT_EQ(channel.Printf("%s\r\n", "go"), 1);
    EXPECT_TRUE(second.WaitReceived("go\r\n", kWait));
    EXPECT_EQ(first.Received(), "");
    second.Say("from second");
    EXPECT_TRUE(channel.WaitOutput("from second", kWait));
    EXPECT_EQ(channel.Output(), "from second") << "the replaced bot's reader reported something";
}

TEST(PlayerChannelLifecycle, DestructionWithOpenChannelLeavesBotRunning) {
    PuppetBot bot;
    pid_t pid = 0;
    {
        RecordingChannel channel;
        ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
        pid = bot.WaitPid(kWait);
    }
    EXPECT_TRUE(bot.WaitEof(kWait));
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
}

// --- What the child gets ------------------------------------------------------------------------

TEST(PlayerChannelChild, SeesOnlyItsThreeStandardDescriptors) {
    PuppetBot bot;
    RecordingChannel other;
    ASSERT_EQ(other.Open(bot.CommandLine().c_str()), 1);
    // A descriptor the moderator holds without close-on-exec, as if inherited from its starter.
    const int inherited = open("/dev/null", O_RDONLY);
    ASSERT_GE(inherited, 3);

    const std::map<std::string, std::string> report = RunProbe(ProbeCommand());
    EXPECT_EQ(report.at("fds"), "0 1 2");
    close(inherited);
}

TEST(PlayerChannelChild, RunsInOwnSessionWithDefaultSignalsAndOurEnvironment) {
    ASSERT_EQ(setenv("FOURFALL_PROBE", "value seen", 1), 0);
    // Signals the opening thread blocks must not stay blocked in the bot.
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigset_t saved;
    pthread_sigmask(SIG_BLOCK, &block, &saved);
    const std::map<std::string, std::string> report = RunProbe(ProbeCommand());
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    unsetenv("FOURFALL_PROBE");

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(report.at("session"), "leader");
    EXPECT_EQ(report.at("tty"), "none");
    EXPECT_EQ(report.at("sigpipe"), "default");
    EXPECT_EQ(report.at("sigmask"), "empty");
    EXPECT_EQ(report.at("cwd"), cwd);
    EXPECT_EQ(report.at("env"), "value seen");
}

TEST(PlayerChannelChild, QuotedPathWithSpacesAndQuotedArgumentsArriveAsWords) {
    TempDir dir;
    const std::string folder = dir.Path() + "/my bots";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string program = folder + "/probe bot";
    ASSERT_EQ(symlink(FOURFALL_PROBEBOT_PATH, program.c_str()), 0);

    const std::map<std::string, std::string> report =
        RunProbe("\"" + program + "\" 'one  two' three\\ four \"fi\\\"ve\" ''");
    EXPECT_EQ(report.at("argc"), "5");
    EXPECT_EQ(report.at("arg1"), "one  two");
    EXPECT_EQ(report.at("arg2"), "three four");
    EXPECT_EQ(report.at("arg3"), "fi\"ve");
    EXPECT_EQ(report.at("arg4"), "");
}

TEST(PlayerChannelChild, ProgramNameWithoutSlashIsSearchedInPath) {
    TempDir dir;
    const std::string folder = dir.Path() + "/path dir";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(symlink(FOURFALL_PROBEBOT_PATH, (folder + "/fourfall-probe").c_str()), 0);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath != nullptr ? oldPath : "";
    ASSERT_EQ(setenv("PATH", ("/nonexistent:" + folder + ":" + saved).c_str(), 1), 0);

    const std::map<std::string, std::string> report = RunProbe("fourfall-probe x");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(report.at("argc"), "2");
    EXPECT_EQ(report.at("arg1"), "x");
}

// --- Output from the bot ------------------------------------------------------------------------

TEST(PlayerChannelOutput, SixHundredBytesAtOnceArriveAs255And255And90) {
    std::string data(600, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>('A' + i % 26);
    }
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Say(data);
    // The whole text, not its tail: the pattern repeats every 26 bytes, so the last 100 are
    // already in the first 510.
    ASSERT_TRUE(channel.WaitOutput(data, kWait));

    const std::vector<RecordingChannel::Event> events = channel.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].text, data.substr(0, 255));
    EXPECT_EQ(events[1].text, data.substr(255, 255));
    EXPECT_EQ(events[2].text, data.substr(510, 90));
}

// Pumped by its owner, a channel that waits on the pipe hands over every byte as it comes, NUL
// bytes included, in chunks far larger than the paced reader's, and reports the end once, after
// the last byte, by how it came about.
class StreamRecorder : public CPlayerChannel {
public:
    StreamRecorder() : CPlayerChannel(ReadMode::OnArrival) {}
    ~StreamRecorder() override { CloseQuietly(); }

    // What arrived, each end as "<end N>" in its place, and the size of each chunk.
    std::string Bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    std::vector<std::size_t> Chunks() const {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }

protected:
    void OnOutput(std::string_view chunk) override {
        std::lock_guard lock(m_mutex);
        m_bytes.append(chunk);
        m_chunks.push_back(chunk.size());
    }
    void OnBotEnded(BotEnd how) override {
        std::lock_guard lock(m_mutex);
        m_bytes += "<end " + std::to_string(static_cast<int>(how)) + ">";
    }
    void WriteStdOut(const char* text) override {
        std::lock_guard lock(m_mutex);
        m_bytes += std::string("<pane ") + text + ">";
    }

private:
    mutable std::mutex m_mutex;
    std::string m_bytes;
    std::vector<std::size_t> m_chunks;
};

TEST(PlayerChannelOutput, OnArrivalReaderHandsOverEveryByteAndTheEnd) {
    // What "!spew" writes: 'a'..'z' over and over, starting again with each 64 KiB write.
    std::string spew;
    for (std::size_t i = 0; i < 300000; ++i) {
        spew += static_cast<char>('a' + i % 65536 % 26);
    }
    for (const bool grandchild : {false, true}) {
        SCOPED_TRACE(grandchild ? "a grandchild holds the output" : "the output closes");
        PuppetBot bot;
        StreamRecorder channel;
        ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
        EXPECT_EQ(channel.Fields().pollMs, 0u);
        EXPECT_TRUE(channel.Fields().IsOpen());
        EXPECT_FALSE(channel.Fields().hasThread);
        bot.Say(std::string("4\0x\n", 4));
        bot.Command("!spew 300000");
        if (grandchild) {
            bot.Command("!grandchild");
        }
        bot.Exit(0);
        // The owner's thread reads, in Pump, until the channel closes itself at the bot's end.
        CPlayerChannel* const channels[] = {&channel};
        const auto start = std::chrono::steady_clock::now();
        while (!channel.Fields().IsClosed() && std::chrono::steady_clock::now() - start < kWait) {
            CPlayerChannel::Pump(channels, -1, 100);
        }
        ASSERT_TRUE(channel.Fields().IsClosed());
        const CPlayerChannel::BotEnd end = grandchild ? CPlayerChannel::BotEnd::ProcessEnded
                                                      : CPlayerChannel::BotEnd::OutputClosed;
        EXPECT_EQ(channel.Bytes(), std::string("4\0x\n", 4) + spew + "<end " +
                                       std::to_string(static_cast<int>(end)) + ">");
        const std::vector<std::size_t> chunks = channel.Chunks();
        EXPECT_LT(chunks.size(), spew.size() / CPlayerChannel::kChunkBytes);
        for (const std::size_t size : chunks) {
            EXPECT_LE(size, static_cast<std::size_t>(CPlayerChannel::kStreamChunkBytes));
        }
    }
}

TEST(PlayerChannelOutput, ChunkEndsAtNulByteAndLaterOutputStillArrives) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Say(std::string("ab\0cd", 5));
    ASSERT_TRUE(WaitUntil([&] { return channel.Events().size() == 1; }, kWait));
    bot.Say("next");
    ASSERT_TRUE(channel.WaitOutput("next", kWait));
    const std::vector<RecordingChannel::Event> events = channel.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].text, "ab");
    EXPECT_EQ(events[1].text, "next");
}

TEST(PlayerChannelOutput, StandardErrorArrivesInTheSameStreamInOrder) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Command("one\n!stderr two\nthree\n!stderr four");
    ASSERT_TRUE(channel.WaitOutput("four", kWait));
    EXPECT_EQ(channel.Output(), "onetwothreefour");
    for (const RecordingChannel::Event& event : channel.Events()) {
        EXPECT_FALSE(event.error);
    }
}

TEST(PlayerChannelOutput, PrintAndExitDeliversOutputThenPlayerQuitThenCloses) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Say("4\r\n");
    bot.Exit(0);
    ASSERT_TRUE(channel.WaitClosed(kWait));
    EXPECT_EQ(channel.Output(), "4\r\n" + kPlayerQuit);
    EXPECT_EQ(channel.Events().back().text, kPlayerQuit);
    EXPECT_EQ(channel.Printf("%s\r\n", "1"), 0);
}

TEST(PlayerChannelOutput, BotClosingItsOutputIsPlayerQuitAndKeepsRunning) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const pid_t pid = bot.WaitPid(kWait);
    bot.Command("!close-output");
    ASSERT_TRUE(channel.WaitClosed(kWait));
    EXPECT_EQ(channel.Output(), kPlayerQuit);
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
}

TEST(PlayerChannelOutput, GrandchildHoldingOutputOpenClosesWithoutPlayerQuit) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Say("x");
    bot.Command("!grandchild");
    bot.Exit(0);
    // The grandchild holds the pipe for about 3 s; the channel must not wait for it.
    ASSERT_TRUE(channel.WaitClosed(2000ms));
    EXPECT_EQ(channel.Output(), "x");
    for (const RecordingChannel::Event& event : channel.Events()) {
        EXPECT_FALSE(event.error);
    }
}

// --- Writing to the bot -------------------------------------------------------------------------

TEST(PlayerChannelPrintf, BeforeOpenReturnsZero) {
    RecordingChannel channel;
    EXPECT_EQ(channel.Printf("%s\r\n", "4"), 0);
    EXPECT_TRUE(channel.Events().empty());
}

TEST(PlayerChannelPrintf, WritesFormattedTextWhole) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    EXPECT_EQ(channel.Printf("%s\r\n", "4"), 1);
    EXPECT_EQ(channel.Printf("%d %s %c\r\n", -3, "x", 'y'), 1);
    const std::string longText(100000, 'q');
    EXPECT_EQ(channel.Printf("%s\r\n", longText.c_str()), 1);
    EXPECT_TRUE(bot.WaitReceived("4\r\n-3 x y\r\n" + longText + "\r\n", kWait));
}

TEST(PlayerChannelPrintf, ToBotThatStoppedReadingReturnsZeroInsteadOfKillingUs) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    struct sigaction current {};
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);

    bot.Command("!close-input");
    bot.Say("closed");
    ASSERT_TRUE(channel.WaitOutput("closed", kWait));
    EXPECT_TRUE(channel.Fields().IsOpen());
    EXPECT_EQ(channel.Printf("%s\r\n", "4"), 0);
}

TEST(PlayerChannelPrintf, AfterBotHasGoneReturnsZero) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    bot.Exit(1);
    // Whether the reader has closed the channel yet or not, the write must fail quietly.
    while (!channel.Fields().IsClosed()) {
        const int result = channel.Printf("%s\r\n", "4");
        EXPECT_TRUE(result == 0 || result == 1);
    }
    EXPECT_EQ(channel.Printf("%s\r\n", "4"), 0);
}

// --- Reaping ------------------------------------------------------------------------------------

TEST(PlayerChannelReaping, BotThatExitsLeavesNoZombie) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const pid_t pid = channel.Fields().pid;
    bot.Exit(3);
    ASSERT_TRUE(channel.WaitClosed(kWait));
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, kWait))
        << "state " << ProcessInspection::State(pid);
}

TEST(PlayerChannelReaping, BotEndingLongAfterItsChannelClosedLeavesNoZombie) {
    PuppetBot bot;
    RecordingChannel channel;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const pid_t pid = channel.Fields().pid;
    channel.Close();
    ASSERT_TRUE(bot.WaitEof(kWait));
    ASSERT_TRUE(ProcessInspection::IsAlive(pid));
    bot.Exit(0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessInspection::IsReapedChild(pid); }, kWait))
        << "state " << ProcessInspection::State(pid);
}

// --- Close on the reader thread and the bounded stop --------------------------------------------

TEST(PlayerChannelClose, CloseFromInsideSinkClosesEverythingAndReaderReportsNothingMore) {
    std::atomic<bool> closed{false};
    CPlayerChannel::FieldState afterClose{};
    std::thread::id closingThread;
    RecordingChannel channel([&](RecordingChannel& self, const RecordingChannel::Event& event) {
        if (event.text.find("close-me") != std::string::npos) {
            self.Close();
            afterClose = self.Fields();
            closingThread = std::this_thread::get_id();
            closed = true;
        }
    });
    PuppetBot bot;
    ASSERT_EQ(channel.Open(bot.CommandLine().c_str()), 1);
    const CPlayerChannel::FieldState open = channel.Fields();
    const pid_t pid = open.pid;
    bot.Say("close-me");
    ASSERT_TRUE(WaitUntil([&] { return closed.load(); }, kWait));

    EXPECT_EQ(closingThread, open.threadId);
    EXPECT_TRUE(afterClose.IsClosed());
    EXPECT_TRUE(bot.WaitEof(kWait));
    EXPECT_TRUE(ProcessInspection::IsAlive(pid));
    // Give the reader a few polling rounds to report anything it wrongly would.
    std::this_thread::sleep_for(350ms);
    ASSERT_EQ(channel.Events().size(), 1u);
    channel.Close();
    EXPECT_EQ(channel.Events().size(), 1u);
    EXPECT_TRUE(channel.Fields().IsClosed());
}

TEST(PlayerChannelClose, ReaderStuckInSinkIsAbandonedAfter5000MsAndTouchesNothingMore) {
    Gate gate;
    RecordingChannel channel([&](RecordingChannel&, const RecordingChannel::Event& event) {
        if (event.text == "block") {
            gate.Block();
        }
    });
    PuppetBot stuck;
    ASSERT_EQ(channel.Open(stuck.CommandLine().c_str()), 1);
    const int threadsWithReader = ThreadCount();
    stuck.Say("block");
    ASSERT_TRUE(gate.WaitEntered(kWait));

    const auto start = Clock::now();
    channel.Close();
    const long waited = ElapsedMs(start);
    EXPECT_GE(waited, 4900);
    EXPECT_LT(waited, 7000);
    std::vector<RecordingChannel::Event> events = channel.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[1].error);
    EXPECT_EQ(events[1].text, "The redir thread is dead\r\n");
    EXPECT_EQ(events[1].thread, std::this_thread::get_id());
    EXPECT_TRUE(channel.Fields().IsClosed());

    // Descriptors that reuse the numbers the channel just closed, each with data waiting.
    std::vector<int> ours;
    for (int i = 0; i < 4; ++i) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(write(fds[1], "mine", 4), 4);
        ours.insert(ours.end(), {fds[0], fds[1]});
    }
    // The channel in use again, with a new bot and a new reader.
    PuppetBot fresh;
    ASSERT_EQ(channel.Open(fresh.CommandLine().c_str()), 1);
    const CPlayerChannel::FieldState reopened = channel.Fields();
    // The stuck bot's output now waits in the pipe the abandoned reader still holds.
    stuck.Say("late");
    stuck.Exit(0);

    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return ThreadCount() <= threadsWithReader; }, kWait))
        << "the abandoned reader did not end";
    std::this_thread::sleep_for(250ms);

    events = channel.Events();
    EXPECT_EQ(events.size(), 2u) << "the abandoned reader delivered: " << events.back().text;
    const CPlayerChannel::FieldState now = channel.Fields();
    EXPECT_TRUE(now.IsOpen());
    EXPECT_EQ(now.childStdout, reopened.childStdout);
    EXPECT_EQ(now.threadId, reopened.threadId);
    for (std::size_t i = 0; i < ours.size(); i += 2) {
        int waiting = -1;
        EXPECT_EQ(ioctl(ours[i], FIONREAD, &waiting), 0);
        EXPECT_EQ(waiting, 4) << "someone read descriptor " << ours[i];
    }
    EXPECT_EQ(channel.Printf("%s\r\n", "still"), 1);
    EXPECT_TRUE(fresh.WaitReceived("still\r\n", kWait));
    fresh.Say("fresh");
    EXPECT_TRUE(channel.WaitOutput("fresh", kWait));
    for (const int fd : ours) {
        close(fd);
    }
}

TEST(PlayerChannelClose, OwnerAndReaderClosingAtOnceCloseEverythingExactlyOnce) {
    // Bots that print and end at once, closed by the owner at varying moments, so that the
    // reader's own Close and Printf meet the owner's Close in every order.
    for (int round = 0; round < 40; ++round) {
        RecordingChannel channel;
        ASSERT_EQ(channel.Open(ProbeCommand().c_str()), 1);
        const std::set<int> handles = {channel.Fields().childStdin, channel.Fields().childStdout,
                                       channel.Fields().process, channel.Fields().stopEvent};
        switch (round % 4) {
            case 0:
                break;
            case 1:
                std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
                break;
            case 2:
                while (channel.Printf("%s\r\n", "x") == 1) {
                }
                break;
            case 3:
                ASSERT_TRUE(channel.WaitClosed(kWait));
                break;
        }
        channel.Close();
        EXPECT_TRUE(channel.Fields().IsClosed());
        for (const RecordingChannel::Event& event : channel.Events()) {
            EXPECT_FALSE(event.error) << event.text;
        }
        // Each handle was closed: none of the numbers is open unless something reused it.
        const std::set<int> open = OpenDescriptors();
        for (const int fd : handles) {
            EXPECT_EQ(open.count(fd), 0u) << "round " << round << " fd " << fd;
        }
    }
}

}  // namespace
