#pragma once

#include <QFont>
#include <QRect>
#include <QScreen>
#include <QSize>

// Conversion of dialog units to pixels. A horizontal dialog unit is a quarter of the dialog font's
// average character width and a vertical one an eighth of its character height; the two "base
// units" (average width and height in pixels) are measured from the font once, and every
// coordinate is converted on its own with MulDiv rounding, as the platform's dialog manager does,
// so that a layout keeps its proportions whatever font the desktop uses.
//
// A layout that would not fit the screen is scaled down as a whole: the conversion then carries a
// factor scaleNum / scaleDen (below 1) on both base units, and the dialog's font is scaled by the
// same factor (ScaledFont), so that text keeps its proportion to the controls.
//
// A value type; construction from a font needs a Gui application (window thread), the conversions
// run anywhere.
class DialogUnits {
public:
    // The denominator of the factors that Fit chooses: steps of a thousandth.
    static constexpr int kScaleSteps = 1000;

    // Base units given directly, e.g. 6 x 13 for the classic dialog font at 96 dpi, optionally
    // scaled by scaleNum / scaleDen. Precondition: 0 < scaleNum <= scaleDen.
    DialogUnits(int baseX, int baseY, int scaleNum = 1, int scaleDen = 1)
        : m_baseX(baseX), m_baseY(baseY), m_scaleNum(scaleNum), m_scaleDen(scaleDen) {}

    // Base units measured from `font`: average width = width of "A".."Z""a".."z" / 52, rounded;
    // height = ascent + descent. Window thread.
    static DialogUnits FromFont(const QFont& font);

    // The dialog font: the desktop's default sans-serif family at `pointSize` points. Window
    // thread.
    static QFont DialogFont(int pointSize = 8);

    // What the window frame may take around a dialog's client area: a title bar and borders.
    static constexpr int kFrameAllowanceX = 16;
    static constexpr int kFrameAllowanceY = 48;

    // The conversion of a layout of `size` dialog units in a font of `pointSize` points: the
    // dialog font's base units, fitted (see Fit) to the available area of `screen` less the frame
    // allowance; unscaled without a screen. Window thread.
    static DialogUnits ForLayout(int pointSize, const QSize& size, const QScreen* screen);

    // These units, or, when a layout of `size` dialog units would not fit within `room` pixels,
    // the same base units scaled by the largest factor (in steps of 1 / kScaleSteps) with which
    // it does; never scaled up, and never below 1 / kScaleSteps.
    DialogUnits Fit(const QSize& size, const QSize& room) const;

    // `font` with its point size multiplied by this conversion's factor.
    QFont ScaledFont(const QFont& font) const;

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int ScaleNum() const { return m_scaleNum; }
    int ScaleDen() const { return m_scaleDen; }
    bool IsScaled() const { return m_scaleNum != m_scaleDen; }

    int ToPixelsX(int units) const { return MulDiv(units, m_baseX * m_scaleNum, 4 * m_scaleDen); }
    int ToPixelsY(int units) const { return MulDiv(units, m_baseY * m_scaleNum, 8 * m_scaleDen); }
    // x, y, width and height each converted on its own.
    QRect ToPixels(const QRect& units) const;
    QSize ToPixels(const QSize& units) const;

    // a * b / c computed in 64 bits and rounded half away from zero; -1 when c is 0.
    static int MulDiv(int a, int b, int c);

private:
    int m_baseX;
    int m_baseY;
    int m_scaleNum;
    int m_scaleDen;
};
