// What the end-to-end test needs to know of the X display it runs the moderator on:
//   x11_probe units        prints the conversion of the main window's layout on this screen:
//                          the dialog font's base units and the factor that fits the layout to
//                          the screen, "BASEX BASEY NUM DEN" (pixels = units * BASE * NUM / DEN)
//   x11_probe shot FILE    writes the whole screen to FILE as a binary PPM image
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstring>

#include "res/dialog_templates.h"
#include "winsvc/dialog_units.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "units") == 0) {
        const DialogTemplate& layout = MainDialogTemplate();
        const DialogUnits units =
            DialogUnits::ForLayout(layout.pointSize, QSize(layout.width, layout.height),
                                   QGuiApplication::primaryScreen());
        std::printf("%d %d %d %d\n", units.BaseX(), units.BaseY(), units.ScaleNum(),
                    units.ScaleDen());
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
