#include "channel/child_reaper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <thread>

bool ChildReaper::TryReap(pid_t pid) {
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            {
                std::lock_guard lock(m_statusMutex);
                m_statuses.emplace_back(pid, status);
                if (m_statuses.size() > kKeptStatuses) {
                    m_statuses.pop_front();
                }
            }
            m_statusChanged.notify_all();
            return true;
        }
        if (r == 0) {
            return false;
        }
        if (errno != EINTR) {
            return true;
        }
    }
}

std::optional<int> ChildReaper::WaitForStatus(pid_t pid, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_statusMutex);
    std::optional<int> status;
    m_statusChanged.wait_for(lock, timeout, [&] {
        // The newest first: a pid may have been reused by a later child.
        for (auto it = m_statuses.rbegin(); it != m_statuses.rend(); ++it) {
            if (it->first == pid) {
                status = it->second;
                return true;
            }
        }
        return false;
    });
    return status;
}

ChildReaper& ChildReaper::Instance() {
    // Deliberately never destroyed: a detached thread uses it until the process ends.
    static ChildReaper* const reaper = new ChildReaper;
    return *reaper;
}

ChildReaper::ChildReaper() {
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    try {
        std::thread(&ChildReaper::Run, this).detach();
        m_running = true;
    } catch (const std::system_error&) {
        m_running = false;
    }
}

void ChildReaper::Adopt(pid_t pid, int pidfd) {
    if (!m_running) {
        // Without a thread, the best left is to collect, at each adoption, every child that has
        // ended by then.
        std::lock_guard lock(m_mutex);
        m_adopted.push_back({pid, pidfd});
        std::erase_if(m_adopted, [this](const Child& child) {
            if (!TryReap(child.pid)) {
                return false;
            }
            if (child.pidfd >= 0) {
                close(child.pidfd);
            }
            return true;
        });
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_adopted.push_back({pid, pidfd});
    }
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
    }
}

void ChildReaper::Run() {
    std::vector<Child> watched;
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            watched.insert(watched.end(), m_adopted.begin(), m_adopted.end());
            m_adopted.clear();
        }

        bool needsFallback = m_wake < 0;
        fds.clear();
        fds.push_back({m_wake, POLLIN, 0});
        for (const Child& child : watched) {
            fds.push_back({child.pidfd, POLLIN, 0});
            needsFallback = needsFallback || child.pidfd < 0;
        }
        // poll ignores negative descriptors, so a missing wake fd or pidfd costs nothing here.
        const int ready = poll(fds.data(), fds.size(), needsFallback ? kFallbackPollMs : -1);
        if (ready < 0 && errno != EINTR) {
            // Nothing sensible to do but to keep going at the fallback pace.
            std::this_thread::sleep_for(std::chrono::milliseconds(kFallbackPollMs));
        }
        if (m_wake >= 0 && (fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_wake, &count, sizeof count);
        }

        std::size_t kept = 0;
        for (std::size_t i = 0; i < watched.size(); ++i) {
            const Child child = watched[i];
            const bool looked = child.pidfd < 0 || fds[i + 1].revents != 0;
            if (looked && TryReap(child.pid)) {
                if (child.pidfd >= 0) {
                    close(child.pidfd);
                }
                continue;
            }
            watched[kept++] = child;
        }
        watched.resize(kept);
    }
}
