#include <QApplication>

#include "app/moderator_app.h"
#include "res/resource_ids.h"
#include "res/resources.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fourfall Moderator"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    QApplication::setDesktopFileName(QStringLiteral("fourfall-moderator"));
    // Every window of the program, the About box included, carries the program's icon.
    QApplication::setWindowIcon(LoadIconResource(IDR_MAINFRAME));
    theApp.InitInstance();
    return 0;
}
