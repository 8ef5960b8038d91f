#pragma once

#include <chrono>
#include <thread>

// Polls `done` every 2 ms until it holds or `timeout` has passed; returns its last value. For
// tests that wait for a child process or another thread.
template <class Pred>
bool WaitUntil(Pred&& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
