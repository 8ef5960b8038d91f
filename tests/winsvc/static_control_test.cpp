#include "winsvc/static_control.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QWidget>

#include <gtest/gtest.h>

#include "winsvc/dialog_controls.h"
#include "winsvc/dialog_units.h"
#include "winsvc/window_styles.h"

namespace {

// Renders a static text control of 160 x 40 pixels.
QImage Render(const char* text, std::uint32_t style) {
    QWidget window;
    const DialogControl control{-1, ControlKind::Static, text, 0, 0, 160, 40, style, 0, 0};
    QWidget* widget = CreateDialogControl(control, DialogUnits(4, 8), &window);
    return widget->grab().toImage();
}

// The bounding box of the pixels unlike the top-left one (the background).
QRect InkBox(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST(StaticControlTest, AmpersandMarksAMnemonicUnlessNoPrefix) {
    // "&&" shows one ampersand, just as SS_NOPREFIX shows a single one as itself.
    EXPECT_EQ(Render("A&&B", SS_LEFT), Render("A&B", SS_LEFT | SS_NOPREFIX));
    // A single ampersand is not drawn: it underlines the next letter.
    EXPECT_NE(Render("A&B", SS_LEFT), Render("A&B", SS_LEFT | SS_NOPREFIX));
    EXPECT_LT(InkBox(Render("A&B", SS_LEFT)).width(),
              InkBox(Render("A&B", SS_LEFT | SS_NOPREFIX)).width());
}

TEST(StaticControlTest, TypeBitsAlignTheText) {
    const QRect left = InkBox(Render("Text", SS_LEFT));
    const QRect centre = InkBox(Render("Text", SS_CENTER));
    const QRect right = InkBox(Render("Text", SS_RIGHT));
    ASSERT_FALSE(left.isEmpty());
    EXPECT_LT(left.left(), 4);
    EXPECT_NEAR(centre.center().x(), 80, 3);
    EXPECT_GT(right.right(), 160 - 4);
    EXPECT_LT(left.top(), 10);
    const QRect middle = InkBox(Render("Text", SS_CENTER | SS_CENTERIMAGE));
    EXPECT_NEAR(middle.center().y(), 20, 4);
    EXPECT_NEAR(middle.center().x(), 80, 3);
}

TEST(StaticControlTest, LongTextWrapsAtWordsUnlessCentredAsOneLine) {
    const char* text = "several words that cannot fit on one line of this control";
    EXPECT_GT(InkBox(Render(text, SS_LEFT)).height(), InkBox(Render("one", SS_LEFT)).height() + 4);
    EXPECT_LE(InkBox(Render(text, SS_LEFT | SS_CENTERIMAGE)).height(),
              InkBox(Render("one", SS_LEFT | SS_CENTERIMAGE)).height() + 4);
}

TEST(StaticControlTest, OwnerDrawnTypeDrawsNothingOfItsOwn) {
    EXPECT_TRUE(InkBox(Render("Text", SS_OWNERDRAW)).isEmpty());
    EXPECT_TRUE(InkBox(Render("", SS_LEFT)).isEmpty());
}

}  // namespace
