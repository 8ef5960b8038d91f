#include "winsvc/wnd.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QThread>

#include <optional>
#include <utility>

#include "winsvc/dialog_controls.h"
#include "winsvc/pane_edit.h"
#include "winsvc/static_control.h"
#include "winsvc/subclass_hook.h"

namespace {

// The thread that owns every window: the application's. Null without an application.
QThread* WindowThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr ? app->thread() : nullptr;
}

// A call handed from another thread to the window thread. Both sides hold it; `cancelled` and
// `result` are read and written only under the stop signal's lock, which is also held while the
// operation runs, so the operation either has run completely before the caller sees it done, or
// is marked cancelled before it starts and then never runs.
template <class Result>
struct PostedCall {
    bool cancelled = false;
    std::optional<Result> result;
};

}  // namespace

template <class Result, class Op>
Result CWnd::CallOnWindowThread(const std::shared_ptr<StopSignal>& stop, Result abandoned, Op op) {
    QThread* windowThread = WindowThread();
    if (windowThread == nullptr) {
        // Without an application there is no window: the pane is gone, which is harmless.
        return op(nullptr);
    }
    if (QThread::currentThread() == windowThread) {
        return op(m_widget.data());
    }
    if (stop && stop->Requested()) {
        return abandoned;
    }
    // A caller that never abandons still needs a lock and a condition to wait on.
    const std::shared_ptr<StopSignal> signal = stop ? stop : std::make_shared<StopSignal>();
    auto call = std::make_shared<PostedCall<Result>>();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, signal, call, op]() {
            signal->Update([&] {
                if (!call->cancelled) {
                    call->result = op(m_widget.data());
                }
            });
        },
        Qt::QueuedConnection);
    signal->WaitUntil([&] { return call->result.has_value(); });
    return signal->Locked([&] {
        if (call->result.has_value()) {
            return *call->result;
        }
        call->cancelled = true;
        return abandoned;
    });
}

CWnd::CWnd() = default;

CWnd::CWnd(const CWnd& /*other*/) : ITextPane() {}

// Copies nothing (a binding and its queue of appends belong to one object), so assigning an
// object to itself is harmless too.
CWnd& CWnd::operator=(const CWnd& /*other*/) {  // NOLINT(bugprone-unhandled-self-assignment)
    return *this;
}

CWnd::~CWnd() {
    delete m_hook.data();
}

void CWnd::Attach(QWidget* widget) {
    delete m_hook.data();
    m_widget = widget;
}

bool CWnd::SubclassWindow(QWidget* widget) {
    if (widget == nullptr || IsWindow() || SubclassHook::Of(widget) != nullptr) {
        return false;
    }
    m_widget = widget;
    m_hook = new SubclassHook(*this, *widget);
    PreSubclassWindow();
    return true;
}

int CWnd::GetDlgCtrlID() const {
    return ControlId(m_widget.data());
}

void CWnd::SetWindowText(std::string_view text) {
    if (auto* pane = qobject_cast<PaneEdit*>(m_widget.data())) {
        pane->SetText(PaneEdit::FromNarrow(text));
        return;
    }
    SetWindowText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CWnd::SetWindowText(const QString& text) {
    QWidget* widget = m_widget.data();
    if (widget == nullptr) {
        return;
    }
    if (auto* pane = qobject_cast<PaneEdit*>(widget)) {
        pane->SetText(QString(text).remove(QLatin1Char('\r')));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    } else if (auto* label = qobject_cast<StaticControl*>(widget)) {
        label->SetText(text);
    } else if (widget->isWindow()) {
        widget->setWindowTitle(text);
    }
}

namespace {

QString WidgetText(const QWidget* widget) {
    if (widget == nullptr) {
        return {};
    }
    if (const auto* pane = qobject_cast<const PaneEdit*>(widget)) {
        return pane->toPlainText();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return box->title();
    }
    if (const auto* label = qobject_cast<const StaticControl*>(widget)) {
        return label->Text();
    }
    return widget->isWindow() ? widget->windowTitle() : QString();
}

}  // namespace

std::string CWnd::GetWindowText() const {
    return WidgetText(m_widget.data()).toStdString();
}

int CWnd::GetWindowTextLength() const {
    if (const auto* pane = qobject_cast<const PaneEdit*>(m_widget.data())) {
        return pane->TextLength();
    }
    return static_cast<int>(WidgetText(m_widget.data()).size());
}

std::uint32_t CWnd::GetStyle() const {
    return ControlStyle(m_widget.data());
}

std::uint32_t CWnd::GetExStyle() const {
    return ControlExStyle(m_widget.data());
}

bool CWnd::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
    QWidget* widget = m_widget.data();
    if (widget == nullptr) {
        return false;
    }
    SetControlStyle(widget, (ControlStyle(widget) & ~remove) | add, ControlExStyle(widget));
    widget->update();
    return true;
}

QRect CWnd::GetClientRect() const {
    const QWidget* widget = m_widget.data();
    return widget != nullptr ? widget->contentsRect() : QRect();
}

void CWnd::InvalidateRect(bool /*erase*/) {
    if (QWidget* widget = m_widget.data()) {
        widget->update();
    }
}

int CWnd::TextLength(const std::shared_ptr<StopSignal>& stop) {
    return CallOnWindowThread(stop, -1, [](QWidget* widget) {
        const auto* pane = qobject_cast<PaneEdit*>(widget);
        return pane != nullptr ? pane->TextLength() : 0;
    });
}

bool CWnd::SetSel(int start, int end, const std::shared_ptr<StopSignal>& stop) {
    return CallOnWindowThread(stop, false, [start, end](QWidget* widget) {
        if (auto* pane = qobject_cast<PaneEdit*>(widget)) {
            pane->SetSel(start, end);
        }
        return true;
    });
}

bool CWnd::ScrollCaret(const std::shared_ptr<StopSignal>& stop) {
    return CallOnWindowThread(stop, false, [](QWidget* widget) {
        if (auto* pane = qobject_cast<PaneEdit*>(widget)) {
            pane->ScrollCaret();
        }
        return true;
    });
}

bool CWnd::ReplaceSel(std::string_view text, const std::shared_ptr<StopSignal>& stop) {
    // Converted on the calling thread: the posted call must not refer to the caller's buffer,
    // and QString is safe to hand between threads.
    const QString converted = PaneEdit::FromNarrow(text);
    return CallOnWindowThread(stop, false, [converted](QWidget* widget) {
        if (auto* pane = qobject_cast<PaneEdit*>(widget)) {
            pane->ReplaceSel(converted);
        }
        return true;
    });
}

void CWnd::DrainAppends(PaneAppendQueue& queue, QWidget* widget, PaneAppendQueue::Step* last) {
    auto* pane = qobject_cast<PaneEdit*>(widget);
    // One batch, one insertion: the caret goes to the end and into view, every step's store
    // runs in order, then all their texts go in at once. Nothing else runs on the window thread
    // in between, so this looks the same as appending chunk by chunk, at a fraction of the
    // layout work.
    std::string texts;
    bool caretAtEnd = false;
    const auto run = [&](PaneAppendQueue::Step& step) {
        if (pane == nullptr) {
            step.beforeInsert();
            return;
        }
        if (!caretAtEnd) {
            const int end = pane->TextLength();
            pane->SetSel(end, end);
            pane->ScrollCaret();
            caretAtEnd = true;
        }
        if (step.beforeInsert()) {
            texts += step.text;
        }
    };
    queue.Drain(run);
    if (last != nullptr) {
        run(*last);
    }
    if (pane != nullptr && !texts.empty()) {
        pane->ReplaceSel(PaneEdit::FromNarrow(texts));
    }
}

bool CWnd::Append(std::string text, std::function<bool()> beforeInsert,
                  const std::shared_ptr<StopSignal>& stop) {
    PaneAppendQueue::Step step{std::move(text), std::move(beforeInsert), stop};
    QThread* windowThread = WindowThread();
    if (windowThread == nullptr || QThread::currentThread() == windowThread) {
        if (stop != nullptr && stop->Requested()) {
            return false;
        }
        // Whatever is still queued comes first.
        DrainAppends(*m_appends, m_widget.data(), &step);
        return true;
    }
    // The posted call holds the queue and a guarded pointer to the widget, not this object.
    const std::shared_ptr<PaneAppendQueue> queue = m_appends;
    const QPointer<QWidget> widget = m_widget;
    return queue->Push(std::move(step), [queue, widget] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [queue, widget] { DrainAppends(*queue, widget.data()); },
            Qt::QueuedConnection);
    });
}

void CWnd::PreSubclassWindow() {}

bool CWnd::OnEraseBkgnd(QPainter& /*dc*/) {
    return false;
}

void CWnd::DrawItem(QPainter& /*dc*/, const QRect& /*itemRect*/) {}

void CWnd::OnSysColorChange() {}
