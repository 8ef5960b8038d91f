#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>

// A static control of a dialog, drawn by its style bits (read from the window's style, see
// CWnd::GetStyle): text (SS_LEFT, SS_CENTER, SS_RIGHT; words wrap; "&" marks a mnemonic and "&&"
// is an ampersand unless SS_NOPREFIX; SS_CENTERIMAGE centres one line vertically), a bitmap
// (SS_BITMAP) or an icon (SS_ICON) at the top-left, or nothing at all for the owner-drawn type
// (SS_OWNERDRAW), whose owner draws it (CWnd::SubclassWindow). SS_SUNKEN gives it a sunken
// one-pixel border around its client area. The background is the parent's.
//
// Window thread only.
class StaticControl : public QWidget {
    Q_OBJECT

public:
    explicit StaticControl(QWidget* parent = nullptr);

    QString Text() const { return m_text; }
    void SetText(const QString& text);
    // The image of an SS_BITMAP control and the icon of an SS_ICON control.
    void SetImage(const QImage& image);
    QImage Image() const { return m_image; }
    void SetIcon(const QIcon& icon);
    // Style bits changed: the client area follows SS_SUNKEN and the control repaints.
    void StyleChanged();

    // The sunken border (drawn last, over whatever the owner drew), when SS_SUNKEN is set.
    void PaintBorder(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t Style() const;

    QString m_text;
    QImage m_image;
    QIcon m_icon;
};
