#include "winsvc/dialog_controls.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

#include "res/resources.h"
#include "winsvc/pane_edit.h"
#include "winsvc/static_control.h"
#include "winsvc/window_styles.h"

namespace {

constexpr char kIdProperty[] = "fourfallControlId";
constexpr char kStyleProperty[] = "fourfallStyle";
constexpr char kExStyleProperty[] = "fourfallExStyle";

QWidget* CreateEdit(const DialogControl& control, QWidget* parent) {
    if ((control.style & ES_MULTILINE) != 0) {
        auto* pane = new PaneEdit(parent);
        pane->setReadOnly((control.style & ES_READONLY) != 0);
        if ((control.style & WS_BORDER) == 0) {
            pane->setFrameShape(QFrame::NoFrame);
        }
        pane->SetText(PaneEdit::FromNarrow(control.text));
        return pane;
    }
    auto* edit = new QLineEdit(QString::fromStdString(control.text), parent);
    edit->setReadOnly((control.style & ES_READONLY) != 0);
    edit->setFrame((control.style & WS_BORDER) != 0);
    if ((control.style & ES_CENTER) != 0) {
        edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    } else if ((control.style & ES_RIGHT) != 0) {
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return edit;
}

QWidget* CreatePushButton(const DialogControl& control, QWidget* parent) {
    auto* button = new QPushButton(QString::fromStdString(control.text), parent);
    // Enter goes to the dialog, which presses the focused button itself; no button ever becomes
    // the dialog's default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QWidget* CreateGroupBox(const DialogControl& control, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromStdString(control.text), parent);
    // A group box only frames its neighbours: clicks inside it belong to the controls it frames,
    // whichever of them lies on top.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    return box;
}

QWidget* CreateStatic(const DialogControl& control, QWidget* parent, QRect& geometry) {
    auto* label = new StaticControl(parent);
    label->SetText(QString::fromStdString(control.text));
    switch (control.style & SS_TYPEMASK) {
        case SS_BITMAP: {
            const QImage image = LoadBitmapResource(control.resourceId);
            label->SetImage(image);
            if (!image.isNull()) {
                geometry.setSize(image.size());
            }
            break;
        }
        case SS_ICON: {
            const QIcon icon = LoadIconResource(static_cast<int>(control.resourceId));
            label->SetIcon(icon);
            if (!icon.isNull()) {
                geometry.setSize(QSize(kLargeIconSize, kLargeIconSize));
            }
            break;
        }
        default:
            break;
    }
    return label;
}

Qt::FocusPolicy FocusPolicyFor(const DialogControl& control) {
    if ((control.style & WS_TABSTOP) != 0) {
        return Qt::StrongFocus;
    }
    return control.kind == ControlKind::Edit ? Qt::ClickFocus : Qt::NoFocus;
}

}  // namespace

QWidget* CreateDialogControl(const DialogControl& control, const DialogUnits& units,
                             QWidget* parent) {
    QRect geometry = units.ToPixels(QRect(control.x, control.y, control.width, control.height));
    QWidget* widget = nullptr;
    switch (control.kind) {
        case ControlKind::Edit:
            widget = CreateEdit(control, parent);
            break;
        case ControlKind::PushButton:
            widget = CreatePushButton(control, parent);
            break;
        case ControlKind::GroupBox:
            widget = CreateGroupBox(control, parent);
            break;
        case ControlKind::Static:
            widget = CreateStatic(control, parent, geometry);
            break;
    }
    SetControlId(widget, control.id);
    SetControlStyle(widget, control.style, control.exStyle);
    widget->setGeometry(geometry);
    widget->setFocusPolicy(FocusPolicyFor(control));
    widget->setEnabled((control.style & WS_DISABLED) == 0);
    widget->setVisible(true);
    return widget;
}

int ControlId(const QWidget* widget) {
    return widget != nullptr ? widget->property(kIdProperty).toInt() : 0;
}

std::uint32_t ControlStyle(const QWidget* widget) {
    return widget != nullptr ? widget->property(kStyleProperty).toUInt() : 0;
}

std::uint32_t ControlExStyle(const QWidget* widget) {
    return widget != nullptr ? widget->property(kExStyleProperty).toUInt() : 0;
}

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kIdProperty, id);
}

void SetControlStyle(QWidget* widget, std::uint32_t style, std::uint32_t exStyle) {
    widget->setProperty(kStyleProperty, QVariant::fromValue(style));
    widget->setProperty(kExStyleProperty, QVariant::fromValue(exStyle));
    if (auto* label = qobject_cast<StaticControl*>(widget)) {
        label->StyleChanged();
    }
}
