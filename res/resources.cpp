#include "res/resources.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include <utility>

// Q_INIT_RESOURCE declares a function at global scope, so it cannot sit in the anonymous namespace.
// A static library's resources are linked in only when something refers to them; this reference
// also registers them, once, before the first lookup.
static bool RegisterResources() {
    Q_INIT_RESOURCE(resources);
    return true;
}

namespace {

void EnsureRegistered() {
    static const bool registered = RegisterResources();
    (void)registered;
}

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {101, "&About Pipewell..."},
};

}  // namespace

QImage LoadBitmapResource(unsigned id) {
    return LoadBitmapResource(QString::number(id & 0xFFFFu));
}

QImage LoadBitmapResource(const QString& name) {
    EnsureRegistered();
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        return {};
    }
    return QImage(QStringLiteral(":/bitmaps/") + name);
}

QIcon LoadIconResource(int id) {
    EnsureRegistered();
    const QDir icons(QStringLiteral(":/icons"));
    const QRegularExpression pattern(
        QStringLiteral("^%1-([0-9]+)\\.png$").arg(QString::number(id)));
    QIcon icon;
    for (const QString& file : icons.entryList(QDir::Files)) {
        if (pattern.match(file).hasMatch()) {
            icon.addFile(icons.filePath(file));
        }
    }
    return icon;
}

QString LoadStringResource(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return QString::fromUtf8(entry.text);
        }
    }
    return {};
}
