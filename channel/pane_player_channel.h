#pragma once

#include "channel/player_channel.h"
#include "channel/text_pane.h"

#include <cstdint>
#include <mutex>
#include <string>

// The channel the moderator instantiates, one per player: every text that reaches either sink is
// appended to the player's output pane, and the latest text is kept as the player's last output
// with a new-output flag, which the turn controller takes when the operator presses Go. An error
// of the channel shows in the pane after the prefix "\r\nError message: " and becomes the last
// output without it, so to the controller it looks like output of the player.
//
// The pane belongs to the window thread. The reader hands each chunk to the pane as one append
// step (caret to the end, scroll, store, insert) together with its stop signal and reads on
// without waiting for the window thread while the pane's queue has room; the store runs on the
// window thread inside the step. A Close on the window thread requests that signal, so no step of
// the reader runs after it and a reader held up by a full queue gives up at once.
// The last output and its flag are guarded by a mutex of the channel; the controller reads and
// changes them only through the calls below, each one step against a store by the reader.
class CPanePlayerChannel : public CPlayerChannel {
public:
    // The last output, its flag and the number of the store that produced them.
    struct OutputSnapshot {
        std::string text;
        int hasOutput;
        std::uint64_t serial;
    };

    // Closed, no pane, empty last output, flag 0. Owner's thread.
    CPanePlayerChannel();
    // Stops the reader before anything of this class goes; nothing reaches the pane or the last
    // output once destruction has begun. Owner's thread.
    ~CPanePlayerChannel() override;

    // The player's output pane (not owned; null for none). The controller sets it before it
    // opens the channel; a delivery already under way may still use the previous pane, which
    // must therefore outlive the channel's reader. Owner's thread.
    void SetPane(ITextPane* pane);
    // Any thread.
    ITextPane* Pane() const;

    // The last output and its flag copied as one step against a store. Any thread.
    OutputSnapshot SnapshotOutput() const;
    // Clears the flag only if nothing was stored since the snapshot with this serial, so a chunk
    // that arrived after the controller's copy keeps its flag and is taken at a later press.
    // Any thread.
    void ClearOutputFlag(std::uint64_t serial);
    // Clears the flag whatever was stored (a reset). Any thread.
    void ClearOutputFlag();
    // Stores `text` as the last output and leaves the flag as it is (manual mode's "p"). Any
    // thread.
    void SetLastOutput(std::string text);
    // Stores `text` and the flag as one step (a manual drop). Any thread.
    void SetLastOutput(std::string text, int flag);

protected:
    // Appends `text` to the pane and stores it as the last output with the flag set, as one
    // append step of the pane (see ITextPane::Append): the caret goes to the end of the pane's
    // text and is scrolled into view, the text and flag are stored, then the text replaces the
    // empty selection. Without a pane nothing at all happens. A step whose reader was asked to
    // stop before its turn stores and shows nothing. Reader thread, or the owner's thread for the
    // errors of Open and Close.
    void WriteStdOut(const char* text) override;
    // WriteStdOut of the prefix "\r\nError message: ", then of `text`. Threads as WriteStdOut.
    void WriteStdError(const char* text) override;

private:
    // Guards m_pane, m_lastOutput, m_hasOutput and m_serial. Never held during a pane operation,
    // which may wait for the window thread.
    mutable std::mutex m_outputMutex;

    ITextPane* m_pane = nullptr;
    std::string m_lastOutput;
    int m_hasOutput = 0;
    // Counts the stores of m_lastOutput, so that ClearOutputFlag(serial) can tell whether one
    // came after the snapshot.
    std::uint64_t m_serial = 0;
};
