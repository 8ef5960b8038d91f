#include "winsvc/static_control.h"

#include <QtWidgets/qdrawutil.h>
#include <QPainter>
#include <QPixmap>

#include "winsvc/dialog_controls.h"
#include "winsvc/window_styles.h"

StaticControl::StaticControl(QWidget* parent) : QWidget(parent) {}

void StaticControl::SetText(const QString& text) {
    m_text = text;
    update();
}

void StaticControl::SetImage(const QImage& image) {
    m_image = image;
    update();
}

void StaticControl::SetIcon(const QIcon& icon) {
    m_icon = icon;
    update();
}

void StaticControl::StyleChanged() {
    const int border = (Style() & SS_SUNKEN) != 0 ? 1 : 0;
    setContentsMargins(border, border, border, border);
    update();
}

void StaticControl::PaintBorder(QPainter& painter) const {
    if ((Style() & SS_SUNKEN) != 0) {
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
    }
}

std::uint32_t StaticControl::Style() const {
    return ControlStyle(this);
}

void StaticControl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const std::uint32_t style = Style();
    const QRect client = contentsRect();
    switch (style & SS_TYPEMASK) {
        case SS_OWNERDRAW:
            // The owner has drawn the face in its handlers (SubclassHook) before this runs.
            break;
        case SS_BITMAP:
            if (!m_image.isNull()) {
                painter.drawImage(client.topLeft(), m_image);
            }
            break;
        case SS_ICON:
            if (!m_icon.isNull()) {
                painter.drawPixmap(client.topLeft(),
                                   m_icon.pixmap(QSize(kLargeIconSize, kLargeIconSize)));
            }
            break;
        default: {
            int flags = Qt::TextWordWrap;
            switch (style & SS_TYPEMASK) {
                case SS_CENTER:
                    flags |= Qt::AlignHCenter;
                    break;
                case SS_RIGHT:
                    flags |= Qt::AlignRight;
                    break;
                default:
                    flags |= Qt::AlignLeft;
                    break;
            }
            if ((style & SS_CENTERIMAGE) != 0) {
                // One line, centred down the control, as the platform draws such a static.
                flags = (flags & ~Qt::TextWordWrap) | Qt::TextSingleLine | Qt::AlignVCenter;
            } else {
                flags |= Qt::AlignTop;
            }
            if ((style & SS_NOPREFIX) == 0) {
                flags |= Qt::TextShowMnemonic;
            }
            painter.drawText(client, flags, m_text);
            break;
        }
    }
    PaintBorder(painter);
}
