#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Conversion of dialog units to pixels. A horizontal dialog unit is a quarter of the dialog font's
// average character width and a vertical one an eighth of its character height; the two "base
// units" (average width and height in pixels) are measured from the font once, and every
// coordinate is converted on its own with MulDiv rounding, as the platform's dialog manager does,
// so that a layout keeps its proportions whatever font the desktop uses.
//
// A value type; construction from a font needs a Gui application (window thread), the conversions
// run anywhere.
class DialogUnits {
public:
    // Base units given directly, e.g. 6 x 13 for the classic dialog font at 96 dpi.
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    // Base units measured from `font`: average width = width of "A".."Z""a".."z" / 52, rounded;
    // height = ascent + descent. Window thread.
    static DialogUnits FromFont(const QFont& font);

    // The dialog font: the desktop's default sans-serif family at `pointSize` points. Window
    // thread.
    static QFont DialogFont(int pointSize = 8);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

    int ToPixelsX(int units) const { return MulDiv(units, m_baseX, 4); }
    int ToPixelsY(int units) const { return MulDiv(units, m_baseY, 8); }
    // x, y, width and height each converted on its own.
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

    // a * b / c computed in 64 bits and rounded half away from zero; -1 when c is 0.
    static int MulDiv(int a, int b, int c);

private:
    int m_baseX;
    int m_baseY;
};
