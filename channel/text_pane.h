#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "channel/stop_signal.h"

// The operations a player's output pane offers its writer. The window layer implements it
// for its read-only multi-line text controls; the channel stays free of any toolkit.
//
// Each operation is carried out on the pane's own (window) thread. Called on that thread it runs
// at once. Called on another thread it hands the operation to the window thread and waits until it
// is done; if `stop` is requested first, the caller stops waiting and the operation is abandoned:
// it is then guaranteed never to run later. `stop` may be null for a caller that never abandons.
// A pane whose window has gone accepts every operation and does nothing.
//
// Append is the exception to the waiting: it queues its step (see PaneAppendQueue) and returns.
class ITextPane {
public:
    virtual ~ITextPane() = default;

    // The length of the pane's text, in the units that SetSel counts; -1 when abandoned.
    virtual int TextLength(const std::shared_ptr<StopSignal>& stop) = 0;
    // Selects [start, end); start == end puts the caret there. False when abandoned.
    virtual bool SetSel(int start, int end, const std::shared_ptr<StopSignal>& stop) = 0;
    // Scrolls the caret into view. False when abandoned.
    virtual bool ScrollCaret(const std::shared_ptr<StopSignal>& stop) = 0;
    // Replaces the selection with `text` (narrow bytes, shown as UTF-8), leaving the caret after
    // it; the change cannot be undone. False when abandoned.
    virtual bool ReplaceSel(std::string_view text, const std::shared_ptr<StopSignal>& stop) = 0;

    // Appends `text` as one step on the window thread: the caret goes to the end of the text and
    // is scrolled into view, `beforeInsert` runs, and unless it returned false `text` replaces
    // the empty selection there (a pane whose window has gone runs `beforeInsert` alone). Called
    // on the window thread, the steps still queued run first and then this one, at once. Called
    // on another thread, the step is queued behind earlier ones and the call returns without
    // waiting for it, unless the queue is full, when it waits for room; a step whose `stop` has
    // been requested by its turn never runs. False when `stop` was requested before the step
    // could be queued.
    virtual bool Append(std::string text, std::function<bool()> beforeInsert,
                        const std::shared_ptr<StopSignal>& stop) = 0;
};
