#include <QApplication>

#include "app/moderator_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fourfall Moderator"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    QApplication::setDesktopFileName(QStringLiteral("fourfall-moderator"));
    theApp.InitInstance();
    return 0;
}
