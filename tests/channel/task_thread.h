#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

// A thread that runs posted tasks one at a time, in order: the tests' stand-in for the window
// thread that owns a pane. Tasks still queued when it is destroyed are dropped unrun.
class TaskThread {
public:
    TaskThread();
    ~TaskThread();

    TaskThread(const TaskThread&) = delete;
    TaskThread& operator=(const TaskThread&) = delete;

    // Queues `task`. Any thread.
    void Post(std::function<void()> task);

    // Runs `fn` on this thread and returns its result; must not be called on this thread.
    template <class Fn>
    auto Invoke(Fn fn) -> decltype(fn()) {
        std::packaged_task<decltype(fn())()> task(std::move(fn));
        auto result = task.get_future();
        Post([&task] { task(); });
        return result.get();
    }

    bool OnThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_quit = false;
    std::thread m_thread;
};
