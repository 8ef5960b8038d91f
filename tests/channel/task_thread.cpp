#include "tests/channel/task_thread.h"

TaskThread::TaskThread() : m_thread(&TaskThread::Run, this) {}

TaskThread::~TaskThread() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TaskThread::Post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

void TaskThread::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_quit || !m_tasks.empty(); });
            if (m_quit) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}
