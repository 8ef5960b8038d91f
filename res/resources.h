#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's resources: its bitmaps, its icon and its string table, compiled into the program.
// Bitmaps live at ":/bitmaps/<id>" in the Qt resource system, so a test program can add images of
// its own under other ids with a resource file of its own, and the loaders below find them too.
// Icons live at ":/icons/<id>-<size>.png", one file per size.
//
// The image and string loaders may run on any thread; LoadIconResource builds a QIcon and so
// belongs on the window thread. None of them caches: every call reads the resource anew.

// The bitmap resource whose id is the low 16 bits of `id`, at its own size; a null image when no
// such bitmap exists.
QImage LoadBitmapResource(unsigned id);

// The bitmap resource named `name` (":/bitmaps/<name>"); a null image when there is none or the
// name is empty.
QImage LoadBitmapResource(const QString& name);

// Icon `id` with every size it is drawn at (128, the program's icon: 16, 32 and 48 pixels); a null
// icon when there is no such icon.
QIcon LoadIconResource(int id);

// String `id` of the string table (101: the About item of the window menu); empty when there is
// none.
QString LoadStringResource(int id);
