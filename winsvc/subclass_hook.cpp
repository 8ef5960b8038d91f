#include "winsvc/subclass_hook.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include "winsvc/dialog_controls.h"
#include "winsvc/window_styles.h"
#include "winsvc/wnd.h"

SubclassHook::SubclassHook(CWnd& owner, QWidget& widget)
    : QObject(&widget), m_owner(owner), m_widget(widget) {
    m_widget.installEventFilter(this);
    m_widget.update();
}

// Qt drops the event filter of a destroyed object by itself, and the hook leaves the widget's
// children with its destruction; nothing else refers to it.
SubclassHook::~SubclassHook() = default;

SubclassHook* SubclassHook::Of(const QWidget* widget) {
    if (widget == nullptr) {
        return nullptr;
    }
    return widget->findChild<SubclassHook*>(QString(), Qt::FindDirectChildrenOnly);
}

bool SubclassHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_widget) {
        return false;
    }
    switch (event->type()) {
        case QEvent::Paint: {
            {
                QPainter painter(&m_widget);
                m_owner.OnEraseBkgnd(painter);
                if ((ControlStyle(&m_widget) & SS_TYPEMASK) == SS_OWNERDRAW) {
                    m_owner.DrawItem(painter, m_widget.contentsRect());
                }
            }
            // The widget's own painting follows: an owner-drawn static adds only its border, any
            // other control draws itself over the background.
            return false;
        }
        case QEvent::PaletteChange:
            m_owner.OnSysColorChange();
            return false;
        default:
            return false;
    }
}
