#include "winsvc/pane_edit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QTextCursor>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

QString Line(int number) {
    return QStringLiteral("output line %1 ").arg(number, 6, 10, QLatin1Char('0')) +
           QString(80, QLatin1Char('.')) + QLatin1Char('\n');
}

// Appends as the pane's writers do: caret to the end, then replace the empty selection.
void Append(PaneEdit& pane, const QString& text) {
    const int end = pane.TextLength();
    pane.SetSel(end, end);
    pane.ReplaceSel(text);
}

TEST(PaneEditTest, NarrowTextIsUtf8WithoutCarriageReturnsOrNuls) {
    EXPECT_EQ(PaneEdit::FromNarrow("4\r\n"), QStringLiteral("4\n"));
    EXPECT_EQ(PaneEdit::FromNarrow("a\rb"), QStringLiteral("ab"));
    EXPECT_EQ(PaneEdit::FromNarrow(std::string("x\0y", 3)), QStringLiteral("xy"));
    EXPECT_EQ(PaneEdit::FromNarrow("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(PaneEdit::FromNarrow(""), QString());
}

TEST(PaneEditTest, LineEndSplitBetweenTwoWritesStaysOneLineEnd) {
    PaneEdit pane;
    Append(pane, PaneEdit::FromNarrow("4\r"));
    Append(pane, PaneEdit::FromNarrow("\n5"));
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("4\n5"));
}

TEST(PaneEditTest, SetSelClampsAndFollowsTheUsualConventions) {
    PaneEdit pane;
    pane.SetText(QStringLiteral("hello world"));
    pane.SetSel(6, -1);  // to the end
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("world"));
    pane.SetSel(100, 200);  // past the end: the caret at the end
    EXPECT_EQ(pane.textCursor().position(), 11);
    EXPECT_FALSE(pane.textCursor().hasSelection());
    pane.SetSel(5, 0);  // backwards
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("hello"));
    pane.SetSel(-1, 3);  // deselect, caret stays
    EXPECT_FALSE(pane.textCursor().hasSelection());
    EXPECT_EQ(pane.textCursor().position(), 0);
    pane.SetSel(0, 5);
    pane.ReplaceSel(QStringLiteral("goodbye"));
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("goodbye world"));
    EXPECT_EQ(pane.textCursor().position(), 7);
}

TEST(PaneEditTest, KeepsTheNewestLinesWithinItsCapacity) {
    PaneEdit pane;
    int written = 0;
    // Well past the capacity: ~100 characters a line.
    for (; written < 6000; ++written) {
        Append(pane, Line(written));
        ASSERT_LE(pane.TextLength(), PaneEdit::kCapacity);
    }
    const QString text = pane.toPlainText();
    EXPECT_GE(text.size(), PaneEdit::kTrimmedLength - Line(0).size());
    EXPECT_TRUE(text.endsWith(Line(written - 1)));
    // The oldest text went first, and whole lines at that: the pane begins with a line.
    EXPECT_TRUE(text.startsWith(QStringLiteral("output line "))) << text.left(40).toStdString();
    EXPECT_FALSE(text.contains(Line(0)));
    // The caret is still right after the newest text, so the next append lands at the end.
    EXPECT_EQ(pane.textCursor().position(), pane.TextLength());
    pane.ReplaceSel(QStringLiteral("tail"));
    EXPECT_TRUE(pane.toPlainText().endsWith(Line(written - 1) + QStringLiteral("tail")));
}

TEST(PaneEditTest, KeepsTheNewestOfManyShortLines) {
    PaneEdit pane;
    for (int i = 0; i < 3 * PaneEdit::kMaxLines; ++i) {
        Append(pane, QString::number(i) + QLatin1Char('\n'));
        ASSERT_LE(pane.document()->blockCount(), PaneEdit::kMaxLines);
    }
    const QString text = pane.toPlainText();
    EXPECT_GE(pane.document()->blockCount(), PaneEdit::kTrimmedLines);
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n29999\n")));
    // Whole lines went: the pane starts with a complete number, one more than the last dropped.
    const int first = text.left(text.indexOf(QLatin1Char('\n'))).toInt();
    const int lines = static_cast<int>(text.count(QLatin1Char('\n')));
    EXPECT_EQ(first + lines, 3 * PaneEdit::kMaxLines);
}

TEST(PaneEditTest, AnEndlessLineIsBrokenIntoLinesAndTrimmed) {
    PaneEdit pane;
    QString chunk;
    for (int i = 0; i < 255; ++i) {
        chunk += QChar(static_cast<char16_t>(u'a' + i % 26));
    }
    QString written;
    for (int i = 0; i < 2000; ++i) {
        Append(pane, chunk);
        written += chunk;
        ASSERT_LE(pane.TextLength(), PaneEdit::kCapacity);
    }
    const QString text = pane.toPlainText();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        ASSERT_LE(line.size(), PaneEdit::kMaxLineLength);
    }
    // Without the inserted line breaks, the pane holds the newest part of what was written.
    QString unbroken = text;
    unbroken.remove(QLatin1Char('\n'));
    EXPECT_GE(unbroken.size(), PaneEdit::kTrimmedLength - PaneEdit::kTrimmedLength / 512);
    EXPECT_TRUE(written.endsWith(unbroken));
}

TEST(PaneEditTest, BreakLongLinesCountsFromTheGivenColumn) {
    const QString line(10, QLatin1Char('x'));
    constexpr int kMax = PaneEdit::kMaxLineLength;
    EXPECT_EQ(PaneEdit::BreakLongLines(line, 0), line);
    EXPECT_EQ(PaneEdit::BreakLongLines(line, kMax - 4), QStringLiteral("xxxx\nxxxxxx"));
    // A line end in the text starts the count again.
    EXPECT_EQ(PaneEdit::BreakLongLines(QStringLiteral("ab\ncd"), kMax - 1),
              QStringLiteral("a\nb\ncd"));
    // Never between the two halves of a character outside the basic plane.
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
    EXPECT_EQ(PaneEdit::BreakLongLines(emoji + emoji, kMax - 1),
              emoji + QStringLiteral("\n") + emoji);
}

TEST(PaneEditTest, AStalePositionAfterATrimStillAppendsAtTheEnd) {
    PaneEdit pane;
    QString full;
    while (full.size() + 100 <= PaneEdit::kCapacity) {
        full += QString(99, QLatin1Char('a')) + QLatin1Char('\n');
    }
    full += QString(PaneEdit::kCapacity - 2 - full.size(), QLatin1Char('b'));
    pane.SetText(full);
    // A writer took the length, then the pane was trimmed by another write.
    const int stale = pane.TextLength();
    ASSERT_EQ(stale, PaneEdit::kCapacity - 2);
    Append(pane, QStringLiteral("trim"));
    ASSERT_LT(pane.TextLength(), stale);
    pane.SetSel(stale, stale);
    pane.ReplaceSel(QStringLiteral("!"));
    EXPECT_TRUE(pane.toPlainText().endsWith(QStringLiteral("trim!")));
}

TEST(PaneEditTest, ReplacingTheWholeTextKeepsItsNewestPart) {
    PaneEdit pane;
    const QString text = QString(PaneEdit::kCapacity, QLatin1Char('o')) + QStringLiteral("new");
    pane.SetText(text);
    EXPECT_LE(pane.TextLength(), PaneEdit::kCapacity);
    EXPECT_TRUE(pane.toPlainText().remove(QLatin1Char('\n')).endsWith(QStringLiteral("onew")));
}

TEST(PaneEditTest, TrimNeverSplitsACharacterOutsideTheBasicPlane) {
    // U+1F600 takes two UTF-16 units. With one or two plain characters after the run, the cut
    // falls once on the second unit of a pair and once on the first.
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
    QString run;
    for (int i = 0; i < PaneEdit::kCapacity / 2 + 100; ++i) {
        run += emoji;
    }
    for (const QString& tail : {QStringLiteral("x"), QStringLiteral("xy")}) {
        PaneEdit pane;
        pane.SetText(run + tail);
        const QString text = pane.toPlainText();
        EXPECT_FALSE(text.at(0).isLowSurrogate()) << tail.toStdString();
        EXPECT_TRUE(text.at(0).isHighSurrogate()) << tail.toStdString();
        EXPECT_TRUE(text.endsWith(emoji + tail));
    }
}

}  // namespace

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

TEST(PaneEditTest, ABurstOfAppendsRepaintsOnceItIsOverNotAfterEveryChunk) {
    PaneEdit pane;
    pane.resize(200, 150);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    QTest::qWait(100);
    PaintCounter counter;
    pane.viewport()->installEventFilter(&counter);

    for (int i = 0; i < 50; ++i) {
        Append(pane, Line(i));
        pane.ScrollCaret();
        QCoreApplication::processEvents();  // what the window thread does between two chunks
    }
    // Without holding, every chunk repaints (50 here); a slow machine may let the hold run
    // out a few times during the burst.
    const int duringBurst = counter.paints;
    EXPECT_LT(duringBurst, 10) << "a flooding bot must not cost a repaint per chunk";

    // Once the burst is over the view catches up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > duringBurst; }, 1000));
}
