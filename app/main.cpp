#include <QApplication>

#include "app/moderator_app.h"
#include "res/resource_ids.h"
#include "res/resources.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr const char kHelp[] =
    "usage: fourfall-moderator [Qt options]\n"
    "Opens the moderator window, a referee for four-in-a-row bots: type the command lines of two\n"
    "bot programs, click Load Players, and press Go to relay each move from one bot to the other.\n"
    "The window keeps the board, rejects illegal moves, announces wins and ties, and appends every\n"
    "move to log.txt in the directory it runs in. Player 2 can be a person (Manual Mode). The bots\n"
    "speak the line protocol described in fourfall-bots(7); fourfall-match(1) plays whole matches\n"
    "without the window.\n"
    "  --help       print this text\n"
    "  --version    print the version\n"
    "Qt's own options (-platform, -style, ...) are accepted as by every Qt program.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window exists, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("fourfall-moderator %s\n", FOURFALL_VERSION);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fourfall Moderator"));
    QApplication::setApplicationVersion(QStringLiteral(FOURFALL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("fourfall-moderator"));
    // Every window of the program, the About box included, carries the program's icon.
    QApplication::setWindowIcon(LoadIconResource(IDR_MAINFRAME));
    theApp.InitInstance();
    return 0;
}
