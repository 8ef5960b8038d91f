#include "winsvc/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

DialogUnits DialogUnits::FromFont(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString kAlphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(kAlphabet);
    // The platform's own rounding of the 52-letter average: (width / 26 + 1) / 2.
    const int averageWidth = (width / 26 + 1) / 2;
    return DialogUnits(averageWidth, metrics.ascent() + metrics.descent());
}

QFont DialogUnits::DialogFont(int pointSize) {
    // The desktop's general font names its sans-serif family; its size is the desktop's choice,
    // the layouts want their own.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

DialogUnits DialogUnits::ForLayout(int pointSize, const QSize& size, const QScreen* screen) {
    const DialogUnits natural = FromFont(DialogFont(pointSize));
    if (screen == nullptr) {
        return natural;
    }
    const QSize available = screen->availableGeometry().size();
    return natural.Fit(
        size, QSize(available.width() - kFrameAllowanceX, available.height() - kFrameAllowanceY));
}

DialogUnits DialogUnits::Fit(const QSize& size, const QSize& room) const {
    const DialogUnits natural(m_baseX, m_baseY);
    const auto fits = [&](const DialogUnits& units) {
        const QSize pixels = units.ToPixels(size);
        return pixels.width() <= room.width() && pixels.height() <= room.height();
    };
    if (fits(natural)) {
        return natural;
    }
    // The factor the ratios of room to size allow, then moved a step at a time to the largest
    // that fits, since every coordinate is rounded on its own.
    const QSize pixels = natural.ToPixels(size);
    const double ratio =
        std::min(static_cast<double>(room.width()) / std::max(pixels.width(), 1),
                 static_cast<double>(room.height()) / std::max(pixels.height(), 1));
    int num = std::clamp(static_cast<int>(ratio * kScaleSteps), 1, kScaleSteps - 1);
    while (num > 1 && !fits(DialogUnits(m_baseX, m_baseY, num, kScaleSteps))) {
        --num;
    }
    while (num + 1 < kScaleSteps && fits(DialogUnits(m_baseX, m_baseY, num + 1, kScaleSteps))) {
        ++num;
    }
    return DialogUnits(m_baseX, m_baseY, num, kScaleSteps);
}

QFont DialogUnits::ScaledFont(const QFont& font) const {
    QFont scaled = font;
    if (IsScaled() && font.pointSizeF() > 0) {
        scaled.setPointSizeF(font.pointSizeF() * m_scaleNum / m_scaleDen);
    }
    return scaled;
}

QRect DialogUnits::ToPixels(const QRect& units) const {
    return QRect(ToPixelsX(units.x()), ToPixelsY(units.y()), ToPixelsX(units.width()),
                 ToPixelsY(units.height()));
}

QSize DialogUnits::ToPixels(const QSize& units) const {
    return QSize(ToPixelsX(units.width()), ToPixelsY(units.height()));
}

int DialogUnits::MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::llabs(c) / 2;
    // Round half away from zero: add half the divisor in the direction of the result's sign.
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t rounded =
        negative ? (product - (c < 0 ? -half : half)) / c : (product + (c < 0 ? -half : half)) / c;
    if (rounded > std::numeric_limits<int>::max() || rounded < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(rounded);
}
