#pragma once

#include <QImage>
#include <QPalette>
#include <QString>

#include "winsvc/wnd.h"

// A static control that shows one bitmap of the program's resources stretched over its whole
// area, and draws its caption over it. Its users pick the image by resource id (ShowBitmap); the
// cell keeps it, repaints when it changes and loads it anew when the desktop's colours change, so
// that images with a colour table follow the new 3-D colours.
//
// The cell is bound to an existing control of a dialog (DDX_Control), which makes that control
// owner-drawn. It may be given an image before it is bound: it keeps the image and shows it at
// its first paint. It must not move in memory while bound.
//
// Window thread only.
class CBitmapCell : public CWnd {
public:
    // Unbound, without an image, m_resourceId -1, m_resourceName empty.
    CBitmapCell();
    // Copies the image, m_resourceId and m_resourceName, never the binding: a copy starts
    // unbound, an assignment keeps the target's binding (and repaints it when bound).
    CBitmapCell(const CBitmapCell& other);
    CBitmapCell& operator=(const CBitmapCell& other);
    ~CBitmapCell() override;

    // Shows bitmap resource `id` (its low 16 bits name the resource). The request is recorded
    // first; when the bitmap cannot be loaded the image shown stays as it was.
    void ShowBitmap(unsigned id);
    // The same for the bitmap resource named `name`; m_resourceId becomes -1.
    void ShowBitmap(const QString& name);

    // Makes the bound control owner-drawn.
    void PreSubclassWindow() override;
    // Stretches the image's top-left (width - 1) x (height - 1) pixels over the client area, or
    // fills it with the palette's button colour when there is no image. Always true.
    bool OnEraseBkgnd(QPainter& dc) override;
    // Draws the caption, if any, on one line centred across (and, with SS_CENTERIMAGE, down) the
    // item rectangle, an "&" as itself, in the painter's font and pen, over the image.
    void DrawItem(QPainter& dc, const QRect& itemRect) override;
    // Loads the last requested bitmap again (by id when m_resourceId > 0, else by name when
    // m_resourceName is set) so that it takes the new palette's colours.
    void OnSysColorChange() override;

    // Replaces the three greys of the classic 3-D look in an image's colour table, (128, 128,
    // 128), (192, 192, 192) and (223, 223, 223), by the palette's Dark, Button and Midlight
    // colours. Images without a colour table come back unchanged.
    static QImage MapSystemColours(const QImage& image, const QPalette& palette);

    // The image being shown (null when none), and the last request: the id asked for by id (-1
    // when none or the last request was by name) and the name asked for by name (empty when none
    // or the last request was by id).
    const QImage& Bitmap() const { return m_bitmap; }
    int ResourceId() const { return m_resourceId; }
    const QString& ResourceName() const { return m_resourceName; }

private:
    // Takes a freshly loaded image (null when the load failed) into the cell.
    void ShowLoaded(const QImage& image);

    // Shared, never deep-copied: QImage counts references to its pixels, so cells that share one
    // image each release their reference once and the pixels are freed exactly once.
    QImage m_bitmap;
    int m_resourceId;
    QString m_resourceName;
};
