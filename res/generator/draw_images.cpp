// Draws every bitmap and icon image of the program into the res/ folder: the nine bitmaps as 24-bit
// BMP files without a colour table (bitmaps/<id>.bmp) and icon 128 as PNG files of 16, 32 and 48
// pixels (icons/128-<size>.png). The build compiles this program but never runs it; the images it
// wrote are kept in the tree. To redraw them after a change here:
//
//   cmake --build <build dir> --target fourfall_draw_images
//   QT_QPA_PLATFORM=offscreen <build dir>/res/generator/fourfall_draw_images <source dir>/res
//
// Lettering uses the DejaVu fonts of the fonts-dejavu-core package (DejaVu Sans Bold, DejaVu
// Serif), loaded from their files so that the pictures do not depend on the fonts a desktop happens
// to prefer.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>

namespace {

const QColor kGround(1, 83, 126);
const QColor kHoleGrey(231, 231, 231);
const QColor kRed(255, 0, 0);
const QColor kDarkGrey(73, 73, 73);
const QColor kBlue(0, 0, 255);
const QColor kMagenta(255, 0, 255);
const QColor kBeige(238, 236, 221);

constexpr char kSansBoldFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr char kSerifFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

void PutLe16(QByteArray& out, std::uint16_t value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

void PutLe32(QByteArray& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

// Writes `image` as an uncompressed bottom-up BMP of 24 bits per pixel with no colour table, the
// form whose colours the cell control's 3-D colour mapping never touches. Qt's own writer is not
// used so that the file layout is fixed here, whatever the Qt version does.
bool WriteBmp24(const QImage& image, const QString& path) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto width = static_cast<std::uint32_t>(rgb.width());
    const auto height = static_cast<std::uint32_t>(rgb.height());
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t headerBytes = 14 + 40;
    const std::uint32_t pixelBytes = rowBytes * height;

    QByteArray out;
    out.append("BM");
    PutLe32(out, headerBytes + pixelBytes);
    PutLe32(out, 0);
    PutLe32(out, headerBytes);
    PutLe32(out, 40);
    PutLe32(out, width);
    PutLe32(out, height);
    PutLe16(out, 1);
    PutLe16(out, 24);
    PutLe32(out, 0);  // BI_RGB
    PutLe32(out, pixelBytes);
    PutLe32(out, 2835);  // 72 dots per inch
    PutLe32(out, 2835);
    PutLe32(out, 0);  // no colour table
    PutLe32(out, 0);
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            out.append(static_cast<char>(qBlue(line[x])));
            out.append(static_cast<char>(qGreen(line[x])));
            out.append(static_cast<char>(qRed(line[x])));
        }
        for (std::uint32_t pad = width * 3; pad < rowBytes; ++pad) {
            out.append('\0');
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(out) == out.size();
}

// A board hole of 93 x 93 pixels: a disc of `face` colour inside a black ring about 4 pixels wide,
// on the board's ground. The disc fills the top-left 92 x 92 pixels, so the ring touches the left
// and top edges while the last column and row stay ground: the cell control never shows that
// column and row, and what it shows has the ring touching all four sides.
QImage DrawDisc(const QColor& face) {
    QImage image(93, 93, QImage::Format_RGB32);
    image.fill(kGround);

    QImage disc(92, 92, QImage::Format_ARGB32_Premultiplied);
    disc.fill(Qt::transparent);
    {
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QRectF(0, 0, 92, 92));
        painter.setBrush(face);
        painter.drawEllipse(QRectF(4, 4, 84, 84));
    }
    QPainter painter(&image);
    painter.drawImage(0, 0, disc);
    return image;
}

// A white 195 x 98 banner. With `framed`, a black frame 1 pixel wide at left and top and 2 pixels
// at right and bottom, so that the part the cell control shows has a 1-pixel frame on every side.
QImage DrawBanner(bool framed) {
    QImage image(195, 98, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (framed) {
        QPainter painter(&image);
        painter.fillRect(0, 0, 195, 1, Qt::black);
        painter.fillRect(0, 0, 1, 98, Qt::black);
        painter.fillRect(193, 0, 2, 98, Qt::black);
        painter.fillRect(0, 96, 195, 2, Qt::black);
    }
    return image;
}

void DrawCentredText(QImage& image, const QRect& area, const QFont& font, const QColor& colour,
                     const QString& text) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(area, Qt::AlignCenter, text);
}

QFont FontFrom(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage DrawWinBanner(const QString& sansFamily, const QColor& colour, const QString& player) {
    QImage image = DrawBanner(true);
    DrawCentredText(image, QRect(1, 1, 192, 95), FontFrom(sansFamily, 30, true), colour,
                    player + QStringLiteral("\nWins!"));
    return image;
}

QImage DrawTieBanner(const QString& serifFamily) {
    QImage image = DrawBanner(true);
    DrawCentredText(image, QRect(1, 1, 192, 95), FontFrom(serifFamily, 60, false), kMagenta,
                    QStringLiteral("TIE"));
    return image;
}

// The error banner keeps a 1-pixel white margin at right and bottom outside its 1-pixel frame.
QImage DrawErrorBanner(const QString& sansFamily) {
    QImage image(195, 98, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.fillRect(0, 0, 194, 1, Qt::black);
        painter.fillRect(0, 0, 1, 97, Qt::black);
        painter.fillRect(193, 0, 1, 97, Qt::black);
        painter.fillRect(0, 96, 194, 1, Qt::black);
    }
    DrawCentredText(image, QRect(1, 1, 192, 95), FontFrom(sansFamily, 40, true), kBlue,
                    QStringLiteral("ERROR"));
    return image;
}

QImage DrawTitleLogo(const QString& sansFamily) {
    QImage image(115, 28, QImage::Format_RGB32);
    image.fill(kBeige);
    DrawCentredText(image, image.rect(), FontFrom(sansFamily, 22, true), kBlue,
                    QStringLiteral("Fourfall"));
    return image;
}

// The program's own picture: four discs in a 2 x 2 square on a transparent ground, three red and
// the top-right one black.
QImage DrawDiscsIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal half = size / 2.0;
    const qreal inset = size / 32.0;
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const qreal left = (quadrant % 2) * half;
        const qreal top = (quadrant / 2) * half;
        const bool topRight = quadrant == 1;
        painter.setPen(QPen(topRight ? QColor(64, 64, 64) : QColor(128, 0, 0), size / 32.0));
        painter.setBrush(topRight ? QColor(Qt::black) : kRed);
        painter.drawEllipse(QRectF(left + inset, top + inset, half - 2 * inset, half - 2 * inset));
    }
    return image;
}

// A generic application picture: a window with a blue title bar and a white client area.
QImage DrawWindowIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const int margin = size / 16;
    const QRect frame(margin, margin * 2, size - 2 * margin, size - 4 * margin);
    const int titleHeight = qMax(3, size / 5);
    painter.fillRect(frame, QColor(64, 64, 64));
    const QRect inner = frame.adjusted(1, 1, -1, -1);
    painter.fillRect(QRect(inner.left(), inner.top(), inner.width(), titleHeight),
                     QColor(40, 90, 200));
    painter.fillRect(
        QRect(inner.left(), inner.top() + titleHeight, inner.width(), inner.height() - titleHeight),
        Qt::white);
    const int button = qMax(1, titleHeight / 2);
    painter.fillRect(QRect(inner.right() - button - button / 2,
                           inner.top() + (titleHeight - button) / 2, button, button),
                     QColor(230, 230, 230));
    return image;
}

QString LoadFamily(const char* file) {
    const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        std::fprintf(stderr, "cannot load font %s (install fonts-dejavu-core)\n", file);
        return {};
    }
    return families.first();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <res folder>\n", argv[0]);
        return 2;
    }
    const QDir resDir(QString::fromLocal8Bit(argv[1]));
    const QString sans = LoadFamily(kSansBoldFile);
    const QString serif = LoadFamily(kSerifFile);
    if (sans.isEmpty() || serif.isEmpty()) {
        return 1;
    }
    if (!resDir.mkpath(QStringLiteral("bitmaps")) || !resDir.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "cannot create the image folders in %s\n", argv[1]);
        return 1;
    }

    struct Bitmap {
        int id;
        QImage image;
    };
    const Bitmap bitmaps[] = {
        {1015, DrawDisc(kHoleGrey)},
        {129, DrawDisc(kRed)},
        {130, DrawDisc(kDarkGrey)},
        {1014, DrawBanner(false)},
        {1011, DrawWinBanner(sans, kRed, QStringLiteral("Player 1"))},
        {46, DrawWinBanner(sans, Qt::black, QStringLiteral("Player 2"))},
        {1016, DrawTieBanner(serif)},
        {1012, DrawErrorBanner(sans)},
        {1013, DrawTitleLogo(sans)},
    };
    bool ok = true;
    for (const Bitmap& bitmap : bitmaps) {
        const QString path = resDir.filePath(QStringLiteral("bitmaps/%1.bmp").arg(bitmap.id));
        const bool written = WriteBmp24(bitmap.image, path);
        std::printf("%s %s\n", written ? "wrote" : "FAILED", qPrintable(path));
        ok = ok && written;
    }

    for (const int size : {16, 32, 48}) {
        const QImage image = size == 32 ? DrawDiscsIcon(size) : DrawWindowIcon(size);
        const QString path = resDir.filePath(QStringLiteral("icons/128-%1.png").arg(size));
        const bool written = image.save(path, "PNG");
        std::printf("%s %s\n", written ? "wrote" : "FAILED", qPrintable(path));
        ok = ok && written;
    }
    return ok ? 0 : 1;
}
