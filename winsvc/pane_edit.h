#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <string_view>

// The multi-line text pane of a dialog (an ES_MULTILINE edit): does not wrap lines, has a vertical
// scroll bar and no horizontal one, and keeps no undo history.
//
// Its capacity is bounded so that a bot that prints without end can neither grow the program's
// memory without bound nor make the window sluggish:
// - it holds at most kCapacity characters and kMaxLines lines; a change that would take it beyond
//   either drops the oldest lines, down to kTrimmedLength characters and kTrimmedLines lines
//   (trimming in steps keeps the cost of a trim away from every append). That is the output of
//   hundreds of games; each line costs the text document a few hundred bytes besides its
//   characters, so without the line bound a bot printing "4\n" without end would tie up some 30 MB
//   per pane instead of a few;
// - a line longer than kMaxLineLength characters continues on a new line. Every append lays out
//   its whole line again, so one endless line would cost more with each append: about 35 ms per
//   255-character chunk at 64 Ki characters, against 0.3 ms at 1 Ki.
// Positions count characters of the pane's text, a line break as one.
//
// Window thread only.
class PaneEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int kCapacity = 256 * 1024;
    static constexpr int kTrimmedLength = 192 * 1024;
    static constexpr int kMaxLines = 10000;
    static constexpr int kTrimmedLines = 7500;
    static constexpr int kMaxLineLength = 1024;

    explicit PaneEdit(QWidget* parent = nullptr);

    // Narrow text as it comes from a bot or the program: UTF-8, with "\r\n" or "\n" as line
    // ends; carriage returns are dropped, so a line end split between two writes stays one.
    static QString FromNarrow(std::string_view text);

    int TextLength() const;
    // Selects [start, end): positions are clamped to the text; end < 0 means the end of the text;
    // start < 0 removes the selection and leaves the caret where it is; start > end selects
    // the same range backwards.
    void SetSel(int start, int end);
    // Replaces the selection with `text` and leaves the caret after it, then trims (the caret
    // moves with the text it follows) and scrolls the caret's line into view. A line that the
    // new text would take beyond kMaxLineLength continues on a new line.
    void ReplaceSel(const QString& text);
    // Replaces the whole text, keeping only its newest part within the bounds, with long lines
    // broken as ReplaceSel breaks them.
    void SetText(const QString& text);
    void ScrollCaret();

    // `text` with a line break inserted wherever a line, starting at `column` of the line it goes
    // into, would grow past kMaxLineLength characters (never inside a surrogate pair).
    static QString BreakLongLines(const QString& text, int column);

private:
    void Trim();
    // Scrolls the fewest lines that bring the caret's line wholly into view.
    void ShowCaretLine();
    // Lets a burst of changes repaint the pane once: the view is redrawn kRepaintDelayMs after
    // the first change, not after each one.
    void HoldRepaint();

    static constexpr int kRepaintDelayMs = 40;
    bool m_repaintHeld = false;
};
