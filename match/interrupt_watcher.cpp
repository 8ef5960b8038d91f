#include "match/interrupt_watcher.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>
#include <utility>

namespace {

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_thread = std::thread(&InterruptWatcher::Run, this);
}

InterruptWatcher::~InterruptWatcher() {
    m_stop = true;
    m_thread.join();
}

void InterruptWatcher::Run() {
    const sigset_t set = WatchedSignals();
    const timespec wake{0, kWakeMs * 1000L * 1000L};
    while (!m_stop) {
        const int signal = sigtimedwait(&set, nullptr, &wake);
        if (signal > 0) {
            m_onSignal(signal);
        }
    }
}
