#include "ui/bitmap_cell.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

#include "res/resources.h"
#include "winsvc/window_styles.h"

CBitmapCell::CBitmapCell() : m_resourceId(-1) {}

CBitmapCell::CBitmapCell(const CBitmapCell& other)
    : CWnd(other),
      m_bitmap(other.m_bitmap),
      m_resourceId(other.m_resourceId),
      m_resourceName(other.m_resourceName) {}

CBitmapCell& CBitmapCell::operator=(const CBitmapCell& other) {
    if (this != &other) {
        m_bitmap = other.m_bitmap;
        m_resourceId = other.m_resourceId;
        m_resourceName = other.m_resourceName;
        InvalidateRect(true);
    }
    return *this;
}

CBitmapCell::~CBitmapCell() = default;

void CBitmapCell::ShowBitmap(unsigned id) {
    m_resourceId = static_cast<int>(id);
    m_resourceName.clear();
    ShowLoaded(LoadBitmapResource(id & 0xFFFFu));
}

void CBitmapCell::ShowBitmap(const QString& name) {
    m_resourceId = -1;
    m_resourceName = name;
    ShowLoaded(LoadBitmapResource(name));
}

void CBitmapCell::ShowLoaded(const QImage& image) {
    if (image.isNull()) {
        // A failed load keeps the picture; the request above is still recorded, so the next
        // colour change tries the same resource again.
        return;
    }
    const QWidget* widget = Widget();
    m_bitmap =
        MapSystemColours(image, widget != nullptr ? widget->palette() : QGuiApplication::palette());
    InvalidateRect(true);
}

void CBitmapCell::PreSubclassWindow() {
    CWnd::PreSubclassWindow();
    ModifyStyle(0, SS_OWNERDRAW);
}

bool CBitmapCell::OnEraseBkgnd(QPainter& dc) {
    const QRect client = GetClientRect();
    if (!m_bitmap.isNull()) {
        // The image's last pixel column and row are never shown: the top-left (width - 1) x
        // (height - 1) pixels fill the whole area, scaled without keeping the aspect ratio and
        // without smoothing. Cropping first keeps the scaling from sampling the edge.
        const int width = m_bitmap.width() - 1;
        const int height = m_bitmap.height() - 1;
        if (width > 0 && height > 0) {
            dc.drawImage(client, m_bitmap.copy(0, 0, width, height));
        }
    } else {
        const QWidget* widget = Widget();
        const QPalette palette = widget != nullptr ? widget->palette() : QGuiApplication::palette();
        dc.fillRect(client, palette.color(QPalette::Button));
    }
    return true;
}

void CBitmapCell::DrawItem(QPainter& dc, const QRect& itemRect) {
    const QString caption = QString::fromStdString(GetWindowText());
    if (caption.isEmpty()) {
        return;
    }
    // The owner-drawn type has the centring bit among its bits, so the caption is always centred
    // across; without mnemonic handling an "&" is drawn as itself.
    int flags = Qt::AlignHCenter | Qt::TextSingleLine | Qt::TextDontClip;
    flags |= (GetStyle() & SS_CENTERIMAGE) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
    const Qt::BGMode previousMode = dc.backgroundMode();
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.drawText(itemRect, flags, caption);
    dc.setBackgroundMode(previousMode);
}

void CBitmapCell::OnSysColorChange() {
    CWnd::OnSysColorChange();
    if (m_resourceId > 0) {
        ShowBitmap(static_cast<unsigned>(m_resourceId));
    } else if (!m_resourceName.isEmpty()) {
        ShowBitmap(m_resourceName);
    }
}

QImage CBitmapCell::MapSystemColours(const QImage& image, const QPalette& palette) {
    if (image.colorCount() == 0) {
        return image;
    }
    QList<QRgb> table = image.colorTable();
    bool changed = false;
    for (QRgb& entry : table) {
        QColor replacement;
        switch (entry & 0x00FFFFFFu) {
            case 0x808080u:
                replacement = palette.color(QPalette::Dark);
                break;
            case 0xC0C0C0u:
                replacement = palette.color(QPalette::Button);
                break;
            case 0xDFDFDFu:
                replacement = palette.color(QPalette::Midlight);
                break;
            default:
                continue;
        }
        entry = (entry & 0xFF000000u) | (replacement.rgb() & 0x00FFFFFFu);
        changed = true;
    }
    if (!changed) {
        return image;
    }
    QImage mapped = image;
    mapped.setColorTable(table);
    return mapped;
}
