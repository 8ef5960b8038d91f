#include "winsvc/pane_edit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

// Keeps the view where it is while the selection changes: selecting never scrolls.
class KeepScrollPosition {
public:
    explicit KeepScrollPosition(QPlainTextEdit& edit)
        : m_edit(edit),
          m_vertical(edit.verticalScrollBar()->value()),
          m_horizontal(edit.horizontalScrollBar()->value()) {}
    ~KeepScrollPosition() {
        m_edit.verticalScrollBar()->setValue(m_vertical);
        m_edit.horizontalScrollBar()->setValue(m_horizontal);
    }
    KeepScrollPosition(const KeepScrollPosition&) = delete;
    KeepScrollPosition& operator=(const KeepScrollPosition&) = delete;

private:
    QPlainTextEdit& m_edit;
    int m_vertical;
    int m_horizontal;
};

}  // namespace

PaneEdit::PaneEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
    // Tab moves on to the next control, as in every other field of a dialog.
    setTabChangesFocus(true);
}

void PaneEdit::HoldRepaint() {
    if (m_repaintHeld) {
        return;
    }
    m_repaintHeld = true;
    viewport()->setUpdatesEnabled(false);
    QTimer::singleShot(kRepaintDelayMs, this, [this] {
        m_repaintHeld = false;
        viewport()->setUpdatesEnabled(true);
        viewport()->update();
    });
}

QString PaneEdit::FromNarrow(std::string_view text) {
    QString converted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    converted.remove(QLatin1Char('\r'));
    converted.remove(QChar(0));
    return converted;
}

int PaneEdit::TextLength() const {
    return document()->characterCount() - 1;
}

void PaneEdit::SetSel(int start, int end) {
    HoldRepaint();
    const KeepScrollPosition keep(*this);
    QTextCursor cursor = textCursor();
    if (start < 0) {
        cursor.clearSelection();
        setTextCursor(cursor);
        return;
    }
    const int length = TextLength();
    if (end < 0 || end > length) {
        end = length;
    }
    if (start > length) {
        start = length;
    }
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void PaneEdit::ReplaceSel(const QString& text) {
    HoldRepaint();
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int column = start - document()->findBlock(start).position();
    cursor.insertText(BreakLongLines(text, column));
    setTextCursor(cursor);
    Trim();
    // The caret, after the new text, comes into view, as an edit control scrolls it there after
    // an insertion: the newest lines stay in sight.
    ShowCaretLine();
}

void PaneEdit::SetText(const QString& text) {
    setPlainText(BreakLongLines(text, 0));
    Trim();
}

void PaneEdit::ScrollCaret() {
    HoldRepaint();
    ShowCaretLine();
}

void PaneEdit::ShowCaretLine() {
    // A line is a block here (lines never wrap), and the vertical scroll bar counts whole lines:
    // its page is the number of lines that fit entirely. Only lines scroll; the pane has no
    // horizontal scroll bar to bring a sideways view back.
    QScrollBar& bar = *verticalScrollBar();
    const int line = textCursor().blockNumber();
    if (line < bar.value()) {
        bar.setValue(line);
    } else if (line >= bar.value() + bar.pageStep()) {
        bar.setValue(line - bar.pageStep() + 1);
    }
}

QString PaneEdit::BreakLongLines(const QString& text, int column) {
    QString broken;
    broken.reserve(text.size() + text.size() / kMaxLineLength + 1);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            column = 0;
        } else {
            if (column >= kMaxLineLength && !c.isLowSurrogate()) {
                broken += QLatin1Char('\n');
                column = 0;
            }
            ++column;
        }
        broken += c;
    }
    return broken;
}

void PaneEdit::Trim() {
    QTextDocument& doc = *document();
    const int length = TextLength();
    const int lines = doc.blockCount();
    if (length <= kCapacity && lines <= kMaxLines) {
        return;
    }
    int cut = 0;
    if (length > kCapacity) {
        // Whole lines go: the cut moves on to the start of the next line, which appends keep at
        // most kMaxLineLength further.
        cut = length - kTrimmedLength;
        const QTextBlock block = doc.findBlock(cut);
        if (block.position() < cut && block.next().isValid()) {
            cut = block.next().position();
        } else if (doc.characterAt(cut).isLowSurrogate()) {
            ++cut;  // a line made longer by insertions in its middle: never split a pair
        }
    }
    if (lines > kMaxLines) {
        cut = std::max(cut, doc.findBlockByNumber(lines - kTrimmedLines).position());
    }
    // The edit's own cursor moves with the text it stands in, so the caret and the selection
    // keep their place relative to the text that remains.
    QTextCursor oldest(&doc);
    oldest.setPosition(0);
    oldest.setPosition(cut, QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
}
