#include "winsvc/dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QRect>
#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace {

struct MulDivCase {
    int a;
    int b;
    int c;
    int expected;
};

TEST(DialogUnitsTest, MulDivRoundsHalfAwayFromZero) {
    const MulDivCase cases[] = {
        {7, 1, 2, 4},  {-7, 1, 2, -4}, {7, 1, -2, -4},         {-7, -1, 2, 4},
        {5, 1, 4, 1},  {6, 1, 4, 2},   {348, 13, 8, 566},      {61, 13, 8, 99},
        {0, 13, 8, 0}, {10, 3, 0, -1}, {2000000000, 4, 2, -1}, {2000000000, 3, 3, 2000000000},
        {-1, 1, 3, 0}, {-2, 1, 3, -1},
    };
    for (const MulDivCase& c : cases) {
        EXPECT_EQ(DialogUnits::MulDiv(c.a, c.b, c.c), c.expected)
            << c.a << " * " << c.b << " / " << c.c;
    }
}

TEST(DialogUnitsTest, ConvertsEachCoordinateOnItsOwnWithClassicBaseUnits) {
    // 6 x 13 base units: 1.5 pixels across and 1.625 down per unit.
    const DialogUnits units(6, 13);
    // A board cell of the main window: (188, 348) 70 x 61.
    EXPECT_EQ(units.ToPixels(QRect(188, 348, 70, 61)), QRect(282, 566, 105, 99));
    // The client area 840 x 466.
    EXPECT_EQ(units.ToPixels(QSize(840, 466)), QSize(1260, 757));
    // Odd units round half away from zero: 13 * 1.5 = 19.5 -> 20; 1 * 1.625 -> 2.
    EXPECT_EQ(units.ToPixels(QRect(13, 1, 1, 3)), QRect(20, 2, 2, 5));
    EXPECT_EQ(units.ToPixelsX(-13), -20);
}

// Fitting a layout to a room: kept when it fits, otherwise the largest factor (in thousandths)
// that fits, the same on both axes, and fonts scaled by it.
TEST(DialogUnitsTest, ALayoutTooLargeForItsRoomIsScaledByTheLargestFactorThatFits) {
    const QSize layout(840, 466);
    struct Case {
        int baseX, baseY, roomWidth, roomHeight;
    };
    const Case cases[] = {
        {7, 13, 1920, 1032}, {7, 13, 1470, 757},  {7, 13, 1350, 672}, {7, 13, 1264, 624},
        {6, 13, 1264, 624},  {14, 26, 1350, 672}, {7, 13, 10, 10},
    };
    for (const Case& c : cases) {
        const QSize room(c.roomWidth, c.roomHeight);
        const DialogUnits natural(c.baseX, c.baseY);
        const DialogUnits fitted = natural.Fit(layout, room);
        SCOPED_TRACE(std::to_string(c.roomWidth) + "x" + std::to_string(c.roomHeight));
        const QSize naturalPixels = natural.ToPixels(layout);
        const bool fitsNaturally =
            naturalPixels.width() <= room.width() && naturalPixels.height() <= room.height();
        EXPECT_EQ(fitted.IsScaled(), !fitsNaturally);
        if (!fitsNaturally && fitted.ScaleNum() > 1) {
            const QSize pixels = fitted.ToPixels(layout);
            EXPECT_LE(pixels.width(), room.width());
            EXPECT_LE(pixels.height(), room.height());
            const QSize larger =
                DialogUnits(c.baseX, c.baseY, fitted.ScaleNum() + 1, fitted.ScaleDen())
                    .ToPixels(layout);
            EXPECT_TRUE(larger.width() > room.width() || larger.height() > room.height())
                << "a larger factor fits too";
            // One factor for both axes, within the rounding of a pixel.
            EXPECT_NEAR(static_cast<double>(pixels.width()) / naturalPixels.width(),
                        static_cast<double>(pixels.height()) / naturalPixels.height(), 0.01);
            EXPECT_DOUBLE_EQ(fitted.ScaledFont(DialogUnits::DialogFont(8)).pointSizeF(),
                             8.0 * fitted.ScaleNum() / fitted.ScaleDen());
        }
    }
    EXPECT_EQ(DialogUnits(7, 13).Fit(layout, QSize(0, 0)).ScaleNum(), 1) << "never below 1/1000";
}

TEST(DialogUnitsTest, DialogFontIsTheDesktopSansSerifAtTheLayoutsSize) {
    const QFont font = DialogUnits::DialogFont(8);
    EXPECT_EQ(font.pointSize(), 8);
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(QFontInfo(font).family().isEmpty());
    EXPECT_EQ(DialogUnits::DialogFont(12).pointSize(), 12);
}

TEST(DialogUnitsTest, BaseUnitsComeFromTheFontsAverageLetterWidthAndHeight) {
    const QFont font = DialogUnits::DialogFont(8);
    const DialogUnits units = DialogUnits::FromFont(font);
    const QFontMetrics metrics(font);
    // The average of the 52 letters, measured one letter at a time here, against the one
    // measurement of the whole alphabet; kerning may move the total by a pixel or so.
    int sum = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        sum += metrics.horizontalAdvance(QChar(letter));
        sum += metrics.horizontalAdvance(QChar(letter + ('a' - 'A')));
    }
    EXPECT_NEAR(units.BaseX(), sum / 52.0, 1.0);
    EXPECT_EQ(units.BaseY(), metrics.ascent() + metrics.descent());
    // An 8-point font on a desktop screen gives base units of a few pixels, never zero.
    EXPECT_GE(units.BaseX(), 4);
    EXPECT_LE(units.BaseX(), 12);
    EXPECT_GE(units.BaseY(), 9);
    EXPECT_LE(units.BaseY(), 24);

    // A larger font gives larger units.
    const DialogUnits larger = DialogUnits::FromFont(DialogUnits::DialogFont(16));
    EXPECT_GT(larger.BaseX(), units.BaseX());
    EXPECT_GT(larger.BaseY(), units.BaseY());
}

}  // namespace
