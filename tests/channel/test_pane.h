#pragma once

#include "channel/pane_append_queue.h"
#include "channel/text_pane.h"
#include "tests/channel/task_thread.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

// A text pane with no toolkit behind it, kept to the contract of ITextPane: its text belongs to
// a window thread (a TaskThread of the test's); an operation called on another thread is handed
// to that thread and waited for, and abandoned, never to run, if the caller's stop is requested
// first. It counts what tests need to check the channel's use of it.
class TestPane : public ITextPane {
public:
    explicit TestPane(TaskThread& window) : m_window(window) {}

    int TextLength(const std::shared_ptr<StopSignal>& stop) override;
    bool SetSel(int start, int end, const std::shared_ptr<StopSignal>& stop) override;
    bool ScrollCaret(const std::shared_ptr<StopSignal>& stop) override;
    bool ReplaceSel(std::string_view text, const std::shared_ptr<StopSignal>& stop) override;
    bool Append(std::string text, std::function<bool()> beforeInsert,
                const std::shared_ptr<StopSignal>& stop) override;

    // The pane's text, as the operator would see it. Any thread.
    std::string Text() const;
    // Replaces the whole text, as the controller does at a reset. Any thread.
    void SetText(std::string text);
    // The window has gone: every operation is accepted and does nothing. Any thread.
    void DestroyWindow();

    // Operations (appends included) handed to the window thread that have neither run nor been
    // abandoned yet.
    int Pending() const { return m_pending.load(); }
    // Operations (appends included) given up because the caller's stop was requested first.
    int Abandoned() const { return m_abandoned.load(); }
    // Operations that ran on a thread other than the window thread (a fault of the caller).
    int RanOffWindowThread() const { return m_offThread.load(); }
    // Scrolls of the caret into view.
    int Scrolls() const { return m_scrolls.load(); }

private:
    // Runs `op` on the window thread under the contract; nullopt when abandoned.
    template <class Op>
    auto OnWindow(Op op, const std::shared_ptr<StopSignal>& stop) -> std::optional<decltype(op())>;

    // Runs one append step on the window thread.
    void RunAppend(PaneAppendQueue::Step& step);
    void DrainAppends();

    TaskThread& m_window;
    PaneAppendQueue m_appends;
    mutable std::mutex m_mutex;
    std::string m_text;
    std::size_t m_selStart = 0;
    std::size_t m_selEnd = 0;
    bool m_gone = false;
    std::atomic<int> m_pending{0};
    std::atomic<int> m_abandoned{0};
    std::atomic<int> m_offThread{0};
    std::atomic<int> m_scrolls{0};
};
