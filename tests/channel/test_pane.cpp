#include "tests/channel/test_pane.h"

#include <algorithm>

template <class Op>
auto TestPane::OnWindow(Op op, const std::shared_ptr<StopSignal>& stop)
    -> std::optional<decltype(op())> {
    using Result = decltype(op());
    auto run = [this, op] {
        if (!m_window.OnThread()) {
            ++m_offThread;
        }
        return op();
    };
    if (m_window.OnThread()) {
        return run();
    }

    enum class State { Pending, Done, Abandoned };
    struct Job {
        State state = State::Pending;
        Result result{};
    };
    auto job = std::make_shared<Job>();
    // A caller that never abandons still needs something to wait on.
    const std::shared_ptr<StopSignal> signal = stop ? stop : std::make_shared<StopSignal>();
    ++m_pending;
    m_window.Post([job, signal, run] {
        // Under the signal's lock, so the caller's decision to abandon and the run never overlap.
        signal->Update([&] {
            if (job->state == State::Pending) {
                job->result = run();
                job->state = State::Done;
            }
        });
    });
    signal->WaitUntil([&] { return job->state == State::Done; });
    const bool done = signal->Locked([&] {
        if (job->state == State::Pending) {
            job->state = State::Abandoned;
            return false;
        }
        return true;
    });
    --m_pending;
    if (!done) {
        ++m_abandoned;
        return std::nullopt;
    }
    return job->result;
}

int TestPane::TextLength(const std::shared_ptr<StopSignal>& stop) {
    return OnWindow(
               [this] {
                   std::lock_guard lock(m_mutex);
                   return m_gone ? 0 : static_cast<int>(m_text.size());
               },
               stop)
        .value_or(-1);
}

bool TestPane::SetSel(int start, int end, const std::shared_ptr<StopSignal>& stop) {
    return OnWindow(
               [this, start, end] {
                   std::lock_guard lock(m_mutex);
                   if (!m_gone) {
                       m_selStart = std::min(static_cast<std::size_t>(start), m_text.size());
                       m_selEnd =
                           std::clamp(static_cast<std::size_t>(end), m_selStart, m_text.size());
                   }
                   return true;
               },
               stop)
        .has_value();
}

bool TestPane::ScrollCaret(const std::shared_ptr<StopSignal>& stop) {
    return OnWindow(
               [this] {
                   std::lock_guard lock(m_mutex);
                   if (!m_gone) {
                       ++m_scrolls;
                   }
                   return true;
               },
               stop)
        .has_value();
}

bool TestPane::ReplaceSel(std::string_view text, const std::shared_ptr<StopSignal>& stop) {
    return OnWindow(
               [this, text] {
                   std::lock_guard lock(m_mutex);
                   if (!m_gone) {
                       m_text.replace(m_selStart, m_selEnd - m_selStart, text);
                       m_selStart = m_selEnd = m_selStart + text.size();
                   }
                   return true;
               },
               stop)
        .has_value();
}

void TestPane::RunAppend(PaneAppendQueue::Step& step) {
    if (!m_window.OnThread()) {
        ++m_offThread;
    }
    std::unique_lock lock(m_mutex);
    if (m_gone) {
        lock.unlock();
        step.beforeInsert();
        return;
    }
    m_selStart = m_selEnd = m_text.size();
    ++m_scrolls;
    lock.unlock();
    if (step.beforeInsert()) {
        lock.lock();
        m_text.replace(m_selStart, m_selEnd - m_selStart, step.text);
        m_selStart = m_selEnd = m_selStart + step.text.size();
    }
}

void TestPane::DrainAppends() {
    int ran = 0;
    const int dropped = m_appends.Drain([&](PaneAppendQueue::Step& step) {
        RunAppend(step);
        ++ran;
    });
    m_pending -= ran + dropped;
    m_abandoned += dropped;
}

bool TestPane::Append(std::string text, std::function<bool()> beforeInsert,
                      const std::shared_ptr<StopSignal>& stop) {
    PaneAppendQueue::Step step{std::move(text), std::move(beforeInsert), stop};
    if (m_window.OnThread()) {
        if (stop != nullptr && stop->Requested()) {
            return false;
        }
        DrainAppends();
        RunAppend(step);
        return true;
    }
    ++m_pending;
    if (!m_appends.Push(std::move(step), [this] { m_window.Post([this] { DrainAppends(); }); })) {
        --m_pending;
        ++m_abandoned;
        return false;
    }
    return true;
}

std::string TestPane::Text() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

void TestPane::SetText(std::string text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
    m_selStart = m_selEnd = 0;
}

void TestPane::DestroyWindow() {
    std::lock_guard lock(m_mutex);
    m_gone = true;
}
