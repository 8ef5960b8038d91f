#pragma once

#include <QColor>
#include <QImage>

#include <ostream>

// A pixel's colour as the image tests compare it: exact channels, printed readably on failure.
struct Rgb {
    int red;
    int green;
    int blue;
    bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

inline Rgb ToRgb(const QColor& c) {
    return {c.red(), c.green(), c.blue()};
}

inline Rgb PixelAt(const QImage& image, int x, int y) {
    return ToRgb(image.pixelColor(x, y));
}
