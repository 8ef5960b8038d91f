#include "winsvc/wnd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "channel/stop_signal.h"
#include "winsvc/dialog_controls.h"
#include "winsvc/dialog_units.h"
#include "winsvc/pane_edit.h"
#include "winsvc/window_styles.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kPaneStyle =
    ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;

// Serves the window thread's events until `done` holds or `timeout` has passed.
void ServeEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeout.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
}

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window = std::make_unique<QWidget>();
        const DialogControl control{1002, ControlKind::Edit, "", 0, 0, 80, 40, kPaneStyle, 0, 0};
        m_widget = qobject_cast<PaneEdit*>(
            CreateDialogControl(control, DialogUnits(6, 13), m_window.get()));
        ASSERT_NE(m_widget, nullptr);
        m_pane.Attach(m_widget);
    }

    // Runs `work` on a thread of its own while this thread serves the window's events, as a
    // reader thread delivering output does. The stop signal frees a worker that hangs.
    void RunOnWorker(const std::function<void()>& work) {
        std::atomic<bool> done = false;
        std::thread worker([&] {
            work();
            done = true;
        });
        ServeEventsUntil([&] { return done.load(); }, 10s);
        EXPECT_TRUE(done.load()) << "the worker hung";
        m_stop->Request();
        worker.join();
    }

    std::unique_ptr<QWidget> m_window;
    PaneEdit* m_widget = nullptr;
    CWnd m_pane;
    std::shared_ptr<StopSignal> m_stop = std::make_shared<StopSignal>();
};

TEST_F(PaneTest, FourOperationsOnTheWindowThread) {
    m_pane.SetWindowText("abc\r\ndef");
    EXPECT_EQ(m_pane.GetWindowText(), "abc\ndef");
    EXPECT_EQ(m_pane.TextLength(m_stop), 7);
    EXPECT_EQ(m_pane.GetWindowTextLength(), 7);

    // The writer's way of appending: caret to the end, then replace the empty selection.
    EXPECT_TRUE(m_pane.SetSel(7, 7, m_stop));
    EXPECT_TRUE(m_pane.ScrollCaret(m_stop));
    EXPECT_TRUE(m_pane.ReplaceSel("X\r\n", m_stop));
    EXPECT_EQ(m_pane.GetWindowText(), "abc\ndefX\n");
    // A selection is replaced, and the caret stays after the new text.
    EXPECT_TRUE(m_pane.SetSel(0, 3, m_stop));
    EXPECT_TRUE(m_pane.ReplaceSel("Z", m_stop));
    EXPECT_EQ(m_pane.GetWindowText(), "Z\ndefX\n");
    EXPECT_EQ(m_widget->textCursor().position(), 1);
    // No undo: the pane keeps no history of its changes.
    EXPECT_FALSE(m_widget->document()->isUndoAvailable());
}

TEST_F(PaneTest, SelectingNeverScrollsButInsertingAndScrollCaretShowTheCaret) {
    m_window->resize(200, 200);
    m_window->show();
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    m_pane.SetWindowText(text);
    QScrollBar* bar = m_widget->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    const auto caretVisible = [this] {
        return m_widget->viewport()->rect().contains(m_widget->cursorRect());
    };
    const int end = m_pane.TextLength();
    m_pane.SetSel(end, end);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(caretVisible());
    m_pane.ReplaceSel("more\r\n");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(caretVisible());
    m_pane.SetSel(0, 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(caretVisible());
    m_pane.ScrollCaret();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(caretVisible());
}

TEST_F(PaneTest, FromAnotherThreadEachOperationWaitsUntilItIsDone) {
    m_pane.SetWindowText("start\r\n");
    bool allSucceeded = true;
    int lengthSeenLast = -1;
    RunOnWorker([&] {
        for (int i = 0; i < 50; ++i) {
            const std::string chunk = std::to_string(i) + "\r\n";
            const int n = m_pane.TextLength(m_stop);
            allSucceeded = allSucceeded && m_pane.SetSel(n, n, m_stop) &&
                           m_pane.ScrollCaret(m_stop) && m_pane.ReplaceSel(chunk, m_stop);
            // The chunk is in the pane when ReplaceSel returns.
            const int after = m_pane.TextLength(m_stop);
            allSucceeded = allSucceeded && after == n + static_cast<int>(chunk.size()) - 1;
            lengthSeenLast = after;
        }
    });
    EXPECT_TRUE(allSucceeded);
    std::string expected = "start\n";
    for (int i = 0; i < 50; ++i) {
        expected += std::to_string(i) + "\n";
    }
    EXPECT_EQ(m_pane.GetWindowText(), expected);
    EXPECT_EQ(lengthSeenLast, static_cast<int>(expected.size()));
}

TEST_F(PaneTest, ACallerThatNeverAbandonsAlsoWaitsFromAnotherThread) {
    bool replaced = false;
    RunOnWorker([&] { replaced = m_pane.ReplaceSel("no stop"); });
    EXPECT_TRUE(replaced);
    EXPECT_EQ(m_pane.GetWindowText(), "no stop");
}

TEST_F(PaneTest, StopWhileWaitingReturnsAtOnceAndTheOperationNeverRuns) {
    m_pane.SetWindowText("kept");
    std::atomic<int> returned = 0;
    std::atomic<bool> result = true;
    std::atomic<int> length = 0;
    // The window thread is busy (it serves no events) while the worker waits on it.
    std::thread worker([&] {
        result = m_pane.ReplaceSel("late", m_stop);
        length = m_pane.TextLength(m_stop);
        returned = 1;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(returned.load(), 0) << "ReplaceSel did not wait for the window thread";
    // A close on the window thread: request the stop, then wait for the worker, without serving
    // events. This returns promptly only because the worker gives up.
    QElapsedTimer timer;
    timer.start();
    m_stop->Request();
    worker.join();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(result.load());
    EXPECT_EQ(length.load(), -1);
    // The abandoned calls were posted; serving them now must not run them.
    ServeEventsUntil([] { return false; }, 200ms);
    EXPECT_EQ(m_pane.GetWindowText(), "kept");
}

TEST_F(PaneTest, StopRequestedBeforehandAbandonsWithoutRunning) {
    m_stop->Request();
    std::atomic<bool> result = true;
    std::thread worker([&] { result = m_pane.ReplaceSel("never", m_stop); });
    worker.join();
    EXPECT_FALSE(result.load());
    ServeEventsUntil([] { return false; }, 100ms);
    EXPECT_EQ(m_pane.GetWindowText(), "");
}

TEST_F(PaneTest, StopAfterTheOperationRanDoesNotUndoIt) {
    bool result = false;
    RunOnWorker([&] { result = m_pane.ReplaceSel("done", m_stop); });
    m_stop->Request();
    EXPECT_TRUE(result);
    EXPECT_EQ(m_pane.GetWindowText(), "done");
}

TEST_F(PaneTest, APaneWhoseWindowIsGoneDoesNothingAndDoesNotFail) {
    delete m_widget;
    EXPECT_FALSE(m_pane.IsWindow());
    EXPECT_EQ(m_pane.TextLength(m_stop), 0);
    EXPECT_TRUE(m_pane.SetSel(0, 0, m_stop));
    EXPECT_TRUE(m_pane.ScrollCaret(m_stop));
    EXPECT_TRUE(m_pane.ReplaceSel("lost", m_stop));
    m_pane.SetWindowText("lost");
    EXPECT_EQ(m_pane.GetWindowText(), "");

    int length = -1;
    bool replaced = false;
    RunOnWorker([&] {
        length = m_pane.TextLength(m_stop);
        replaced = m_pane.ReplaceSel("lost", m_stop);
    });
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(replaced);
}

TEST_F(PaneTest, AWindowDestroyedWhileACallWaitsIsHarmless) {
    std::atomic<bool> done = false;
    std::atomic<bool> result = false;
    std::thread worker([&] {
        result = m_pane.ReplaceSel("after the window", m_stop);
        done = true;
    });
    std::this_thread::sleep_for(50ms);
    m_window.reset();
    ServeEventsUntil([&] { return done.load(); }, 10s);
    m_stop->Request();
    worker.join();
    EXPECT_TRUE(done.load());
    EXPECT_TRUE(result.load());
    EXPECT_FALSE(m_pane.IsWindow());
}

TEST(WndTest, UnboundReferenceIgnoresEverything) {
    CWnd wnd;
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_EQ(wnd.GetDlgCtrlID(), 0);
    EXPECT_EQ(wnd.GetStyle(), 0u);
    EXPECT_FALSE(wnd.ModifyStyle(0, SS_OWNERDRAW));
    wnd.SetWindowText("nothing");
    EXPECT_EQ(wnd.GetWindowText(), "");
    EXPECT_EQ(wnd.GetWindowTextLength(), 0);
    EXPECT_EQ(wnd.GetClientRect(), QRect());
    EXPECT_FALSE(wnd.SubclassWindow(nullptr));
}

TEST(WndTest, ModifyStyleClearsThenAddsBits) {
    QWidget window;
    const DialogControl control{54, ControlKind::Static,  "", 0, 0, 20,
                                20, SS_CENTER | WS_GROUP, 0,  0};
    CWnd wnd;
    wnd.Attach(CreateDialogControl(control, DialogUnits(6, 13), &window));
    EXPECT_EQ(wnd.GetDlgCtrlID(), 54);
    EXPECT_TRUE(wnd.ModifyStyle(SS_TYPEMASK, SS_CENTERIMAGE));
    EXPECT_EQ(wnd.GetStyle(), WS_GROUP | SS_CENTERIMAGE);
    EXPECT_TRUE(wnd.ModifyStyle(0, SS_OWNERDRAW));
    EXPECT_EQ(wnd.GetStyle(), WS_GROUP | SS_CENTERIMAGE | SS_OWNERDRAW);
}

TEST(WndTest, CopiesAreUnboundAndAssignmentKeepsTheBinding) {
    QWidget first;
    QWidget second;
    CWnd a;
    a.Attach(&first);
    CWnd b;
    b.Attach(&second);
    const CWnd copy(a);
    EXPECT_FALSE(copy.IsWindow());
    b = a;
    EXPECT_EQ(b.Widget(), &second);
    EXPECT_EQ(a.Widget(), &first);
}

}  // namespace
