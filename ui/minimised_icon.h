#pragma once

#include <QPoint>
#include <QSize>

// Where a minimised window draws its icon: centred in the client area, rounding half a pixel to
// the right and down, in signed arithmetic that truncates toward zero (so a client area narrower
// than the icon gives a negative origin: width 0 with a 32-pixel icon gives x = -15, not -16).
// Pure function; any thread.
constexpr QPoint MinimisedIconPosition(QSize client, QSize icon) {
    return QPoint((client.width() - icon.width() + 1) / 2,
                  (client.height() - icon.height() + 1) / 2);
}
