#pragma once

#include <condition_variable>
#include <mutex>

// A stop request that stays set once made, and that other threads can wait for together with a
// condition of their own. A channel requests it when it closes, so that a reader blocked on the
// window thread's behalf (handing a chunk to a pane) gives up at once instead of holding up the
// close. Every member may be called from any thread.
class StopSignal {
public:
    // Sets the request and wakes every waiter. Idempotent.
    void Request() {
        {
            std::lock_guard lock(m_mutex);
            m_requested = true;
        }
        m_changed.notify_all();
    }

    bool Requested() const {
        std::lock_guard lock(m_mutex);
        return m_requested;
    }

    // Runs `update` under the signal's lock, then wakes the waiters: the way another thread makes
    // the condition of a WaitUntil true.
    template <class Fn>
    void Update(Fn&& update) {
        {
            std::lock_guard lock(m_mutex);
            update();
        }
        m_changed.notify_all();
    }

    // Waits until `done()` holds or a stop is requested, whichever comes first; `done` is evaluated
    // under the signal's lock. Returns the last value of `done()`.
    template <class Pred>
    bool WaitUntil(Pred&& done) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_requested || done(); });
        return done();
    }

    // Runs `step` under the signal's lock (for a check-and-mark that must not interleave with
    // Update or WaitUntil) and returns its result.
    template <class Step>
    auto Locked(Step&& step) {
        std::lock_guard lock(m_mutex);
        return step();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_requested = false;
};
