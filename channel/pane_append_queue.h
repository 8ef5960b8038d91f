#pragma once

#include "channel/stop_signal.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

// Chunks on their way to one text pane. The writer (a channel's reader) queues each chunk's
// append as one step and goes on reading; the pane's window thread runs the queued steps in
// order, a batch per posted call, so that a flooding bot costs the window one hand-over per batch
// instead of several per chunk, and the reader never waits for the window thread while there is
// room. At most kMaxQueued steps wait at a time (the window thread runs a batch while the next
// one fills): a writer that finds no room waits for it, or for its stop signal.
//
// A step whose stop signal has been requested by the time its turn comes is dropped: it never
// runs. Whoever requests a writer's stop on the window thread (a channel closing there) therefore
// knows that nothing of that writer runs afterwards.
//
// Push on any thread but the window thread; Drain on the window thread.
class PaneAppendQueue {
public:
    struct Step {
        std::string text;
        // Runs on the window thread between the caret's move and the insertion; false gives the
        // insertion up.
        std::function<bool()> beforeInsert;
        // The writer's stop signal; null for a writer that never gives up.
        std::shared_ptr<StopSignal> stop;
    };

    static constexpr std::size_t kMaxQueued = 64;

    // Queues `step`, first waiting for room while kMaxQueued steps wait. `post` must make the
    // window thread call Drain; it is called when the queue had no call of Drain coming. False,
    // with nothing queued, when the step's stop was requested first.
    bool Push(Step step, const std::function<void()>& post) {
        const std::shared_ptr<StopSignal> signal =
            step.stop ? step.stop : std::make_shared<StopSignal>();
        {
            std::lock_guard lock(m_mutex);
            m_waiter = signal;
        }
        // The room is read under the signal's lock, and Drain frees room before it takes that
        // lock to wake the waiter, so no wake-up is lost.
        signal->WaitUntil([this] {
            std::lock_guard lock(m_mutex);
            return m_steps.size() < kMaxQueued;
        });
        if (signal->Requested()) {
            return false;
        }
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            m_steps.push_back(std::move(step));
            wake = !m_drainComing;
            m_drainComing = true;
        }
        if (wake) {
            post();
        }
        return true;
    }

    // Takes every waiting step and runs those whose stop has not been requested, in order, with
    // `run(Step&)`; returns how many were dropped. Steps queued meanwhile wait for the next
    // Drain, which Push (or the return value of More()) arranges. Window thread.
    template <class Run>
    int Drain(Run&& run) {
        std::deque<Step> batch;
        std::shared_ptr<StopSignal> waiter;
        {
            std::lock_guard lock(m_mutex);
            batch.swap(m_steps);
            m_drainComing = false;
            waiter = m_waiter;
        }
        if (waiter != nullptr) {
            waiter->Update([] {});
        }
        int dropped = 0;
        for (Step& step : batch) {
            if (step.stop != nullptr && step.stop->Requested()) {
                ++dropped;
                continue;
            }
            run(step);
        }
        return dropped;
    }

private:
    std::mutex m_mutex;
    std::deque<Step> m_steps;
    // A Drain has been asked for and has not yet taken the steps.
    bool m_drainComing = false;
    // The signal of the writer that last pushed: woken when Drain frees room.
    std::shared_ptr<StopSignal> m_waiter;
};
