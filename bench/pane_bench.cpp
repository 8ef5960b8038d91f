// pane_bench: how the moderator window copes with a bot that floods its output.
//
// A bot writes 50 MiB to its standard error as fast as it can, then a marker line, while the
// real moderator window is open (Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise).
// Reports the time until player 1's pane shows the marker, the program's peak resident memory,
// the longest stall of the window thread (the worst lateness of a 10 ms timer), and the longest
// wait of a press of Go or Reset made every 100 ms during the flood, from the press being posted
// to its handler's end.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "res/resource_ids.h"
#include "ui/moderator_dlg.h"
#include "winsvc/window_styles.h"

namespace {

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    QApplication app(argc, argv);
    // The flood's size in MiB: 50 unless the first argument says otherwise.
    const long long kBytes = (argc > 1 ? std::atoll(argv[1]) : 50LL) * 1024 * 1024;
    const long rssBefore = PeakRssKiB();

    // Lines of ordinary length; the marker comes last. The bot then waits for end of input.
    const std::string command =
        "sh -c 'yes \"?the quick brown fox jumps over the lazy dog 0123456789\" | head -c " +
        std::to_string(kBytes) + " >&2; printf \"\\nFOURFALL-END\\n\" >&2; exec cat >/dev/null'";

    CModeratorDlg dlg;
    QElapsedTimer clock;
    qint64 doneMs = -1;
    qint64 worstLatenessMs = 0;
    qint64 lastTickNs = 0;
    long rssAtEnd = 0;

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstLatenessMs = std::max(worstLatenessMs, (now - lastTickNs) / 1000000 - 10);
        lastTickNs = now;
        // The pane's last line is empty once the marker's line end has arrived; the marker is
        // the line before it. Looking at one line keeps the probe itself cheap. A Reset may have
        // emptied the pane since; the last output, stored in the same step as the pane's
        // insertion, still ends with the marker then.
        auto* pane = qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(IDC_OUTPUT1)->Widget());
        const std::string last = dlg.Player(1).SnapshotOutput().text;
        const bool markerStored =
            last.size() >= 4 && last.compare(last.size() - 4, 4, "END\n") == 0;
        if (doneMs < 0 && pane != nullptr &&
            (markerStored ||
             pane->document()->lastBlock().previous().text() == QStringLiteral("FOURFALL-END"))) {
            doneMs = clock.elapsed();
            rssAtEnd = PeakRssKiB();
            dlg.OnCommand(IDCANCEL);
        }
    });

    // Presses of Go and Reset in turn, each posted as a click is and timed to its handler's end.
    qint64 worstPressMs = 0;
    int presses = 0;
    QTimer presser;
    presser.setInterval(100);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        const qint64 posted = clock.nsecsElapsed();
        const int id = presses++ % 2 == 0 ? IDC_GO : IDC_RESET;
        QMetaObject::invokeMethod(
            &app,
            [&, posted, id] {
                dlg.OnCommand(id);
                worstPressMs = std::max(worstPressMs, (clock.nsecsElapsed() - posted) / 1000000);
            },
            Qt::QueuedConnection);
    });

    QTimer::singleShot(0, [&] {
        qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_PATH1)->Widget())
            ->setText(QString::fromStdString(command));
        clock.start();
        lastTickNs = 0;
        ticker.start();
        presser.start();
        dlg.OnCommand(IDC_LOAD_PLAYERS);
    });
    // A safety net: the figures say so if the marker never arrived.
    QString lastLine;
    QTimer::singleShot(600000, [&] {
        auto* pane = qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(IDC_OUTPUT1)->Widget());
        lastLine = pane->document()->lastBlock().previous().text();
        dlg.OnCommand(IDCANCEL);
    });
    dlg.DoModal();

    std::printf("bytes written by the bot:          %lld\n", kBytes);
    if (doneMs >= 0) {
        const double seconds = static_cast<double>(doneMs) / 1000.0;
        std::printf("time until the pane shows the end: %.2f s (%.1f MiB/s)\n", seconds,
                    static_cast<double>(kBytes) / (1024.0 * 1024.0) / seconds);
    } else {
        std::printf(
            "time until the pane shows the end: never (gave up after 600 s; last line \"%s\")\n",
            qPrintable(lastLine));
    }
    std::printf("peak resident memory:              %ld KiB before, %ld KiB at the end\n",
                rssBefore, rssAtEnd > 0 ? rssAtEnd : PeakRssKiB());
    std::printf("longest window-thread stall:       %lld ms beyond the 10 ms timer\n",
                static_cast<long long>(worstLatenessMs));
    std::printf("longest answer to Go or Reset:     %lld ms (%d presses during the flood)\n",
                static_cast<long long>(worstPressMs), presses);
    return 0;
}
