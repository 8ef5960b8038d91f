// What the end-to-end test needs to know of the X display it runs the moderator on:
//   x11_probe units        prints the dialog font's base units, "BASEX BASEY"
//   x11_probe shot FILE    writes the whole screen to FILE as a binary PPM image
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstring>

#include "winsvc/dialog_units.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "units") == 0) {
        const DialogUnits units = DialogUnits::FromFont(DialogUnits::DialogFont(8));
        std::printf("%d %d\n", units.BaseX(), units.BaseY());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "shot") == 0) {
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return shot.convertToFormat(QImage::Format_RGB888)
                       .save(QString::fromLocal8Bit(argv[2]), "PPM")
                   ? 0
                   : 1;
    }
    std::fprintf(stderr, "usage: x11_probe units | x11_probe shot FILE\n");
    return 2;
}
