// Figures of the player channel with a real bot (puppetbot) on the other end:
//   1. latency from the bot's write to WriteStdOut, over many single writes at random moments;
//   2. CPU time the moderator spends on one open channel whose bot stays silent for 10 s;
//   3. time to push a 10 MiB burst through one channel into a sink that only counts bytes.
// It reports and asserts nothing. Usage: channel_bench [writes=250] [idle seconds=10]

#include "bench/process_cpu.h"
#include "channel/player_channel.h"
#include "tests/testbots/puppet_bot.h"
#include "tests/testbots/wait_until.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Takes each "T<ns>\n" stamp the bot writes and keeps how long it took to get here.
class StampChannel : public CPlayerChannel {
public:
    ~StampChannel() override { CloseQuietly(); }

    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_latenciesNs.size();
    }
    std::vector<std::int64_t> Latencies() const {
        std::lock_guard lock(m_mutex);
        return m_latenciesNs;
    }

protected:
    void WriteStdOut(const char* text) override {
        const std::int64_t now = MonotonicNs();
        std::lock_guard lock(m_mutex);
        m_pending += text;
        std::size_t end;
        while ((end = m_pending.find('\n')) != std::string::npos) {
            if (m_pending[0] == 'T') {
                m_latenciesNs.push_back(now - std::strtoll(m_pending.c_str() + 1, nullptr, 10));
            }
            m_pending.erase(0, end + 1);
        }
    }

private:
    mutable std::mutex m_mutex;
    std::string m_pending;
    std::vector<std::int64_t> m_latenciesNs;
};

// Counts bytes and chunks, nothing else.
class CountingChannel : public CPlayerChannel {
public:
    ~CountingChannel() override { CloseQuietly(); }

    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint64_t> chunks{0};

protected:
    void WriteStdOut(const char* text) override {
        bytes += std::char_traits<char>::length(text);
        ++chunks;
    }
};

double Percentile(std::vector<std::int64_t> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(
        values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())));
    return static_cast<double>(values[index]) / 1e6;
}

void MeasureLatency(int writes) {
    PuppetBot bot;
    StampChannel channel;
    if (channel.Open(bot.CommandLine().c_str()) != 1) {
        std::printf("latency: could not start the bot\n");
        return;
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pauseMs(0, 99);
    for (int i = 0; i < writes; ++i) {
        // Random moments, so the writes fall at every phase of the reader's 100 ms wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
        bot.Command("!stamp");
        const std::size_t expected = static_cast<std::size_t>(i) + 1;
        WaitUntil([&] { return channel.Count() >= expected; }, 2000ms);
    }
    const std::vector<std::int64_t> latencies = channel.Latencies();
    if (latencies.empty()) {
        std::printf("latency: no stamps arrived\n");
        return;
    }
    std::printf(
        "latency write -> WriteStdOut over %zu writes: median %.1f ms, p99 %.1f ms, "
        "min %.1f ms, max %.1f ms\n",
        latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.99),
        Percentile(latencies, 0.0), Percentile(latencies, 1.0));
}

void MeasureIdleCpu(int seconds) {
    PuppetBot bot;
    CountingChannel channel;
    if (channel.Open(bot.CommandLine().c_str()) != 1) {
        std::printf("idle: could not start the bot\n");
        return;
    }
    std::this_thread::sleep_for(200ms);
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
            .count();
    std::printf(
        "idle channel, silent bot, %.1f s: %.2f ms CPU in the moderator process "
        "(%.4f %% of one core)\n",
        wallMs / 1000.0, cpuMs, 100.0 * cpuMs / wallMs);
}

void MeasureBurst() {
    constexpr std::uint64_t kBytes = 10ull * 1024 * 1024;
    PuppetBot bot;
    CountingChannel channel;
    if (channel.Open(bot.CommandLine().c_str()) != 1) {
        std::printf("burst: could not start the bot\n");
        return;
    }
    bot.WaitPid(5000ms);
    const double cpuBefore = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    bot.Command("!spew " + std::to_string(kBytes));
    WaitUntil([&] { return channel.bytes.load() >= kBytes; }, 120000ms);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    std::printf(
        "10 MiB burst into a counting sink: %.0f ms (%.1f MiB/s), %llu bytes in %llu "
        "chunks, %.0f ms CPU in the moderator process\n",
        ms, 10.0 * 1000.0 / ms, static_cast<unsigned long long>(channel.bytes.load()),
        static_cast<unsigned long long>(channel.chunks.load()), cpuMs);
}

}  // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::atoi(argv[1]) : 250;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    MeasureLatency(writes);
    MeasureIdleCpu(idleSeconds);
    MeasureBurst();
    return 0;
}
