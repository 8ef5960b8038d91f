#pragma once

#include <QObject>

class CWnd;
class QEvent;

// Routes the paint and palette-change events of a subclassed control to the CWnd bound to it. It
// is a child of the control's widget, so it goes with the widget; the CWnd deletes it when it
// lets go of the control first.
//
// Paint: the owner's OnEraseBkgnd paints the background and, for the owner-drawn static type, its
// DrawItem the face; the widget's own painting follows (for an owner-drawn static only its
// border). PaletteChange: the owner's OnSysColorChange.
//
// Window thread only.
class SubclassHook : public QObject {
    Q_OBJECT

public:
    SubclassHook(CWnd& owner, QWidget& widget);
    ~SubclassHook() override;

    // The hook installed on `widget`, if any.
    static SubclassHook* Of(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CWnd& m_owner;
    QWidget& m_widget;
};
