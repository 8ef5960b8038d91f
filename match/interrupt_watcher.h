#pragma once

#include <atomic>
#include <functional>
#include <thread>

// Turns SIGINT, SIGTERM and SIGHUP into a call on a thread of its own, so that an interrupted
// match can end its bots before the runner exits. The signals are blocked in the constructing
// thread and hence in every thread started after it (channel readers, the child reaper); only the
// watcher takes them, with sigtimedwait, and no handler runs at signal time. Bots are started with
// no signal blocked, and in sessions of their own, so a Ctrl-C at the terminal reaches the runner
// only.
//
// Construct it on the main thread before any other thread is started, and destroy it before
// whatever `onSignal` uses.
class InterruptWatcher {
public:
    // Blocks the signals and starts watching; `onSignal(signal)` runs on the watcher thread for
    // each signal taken. Main thread.
    explicit InterruptWatcher(std::function<void(int)> onSignal);
    // Stops watching, within kWakeMs. The signals stay blocked: one that arrives from then on
    // stays pending and dies with the process. Main thread.
    ~InterruptWatcher();

    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // How often the watcher looks whether it is to stop.
    static constexpr int kWakeMs = 50;

private:
    void Run();

    std::function<void(int)> m_onSignal;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
