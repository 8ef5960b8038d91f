#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "channel/pane_append_queue.h"
#include "channel/stop_signal.h"
#include "channel/text_pane.h"

class QPainter;
class SubclassHook;

// A reference to one control (or dialog) window. It never owns the window: the dialog does, and
// when the window is destroyed the reference simply becomes empty (IsWindow() false) and every
// operation on it does nothing. Copying a CWnd yields an unbound one; assigning leaves the
// target's binding as it was.
//
// Two ways to bind: Attach only refers to the window (the dialog's own references to its
// controls); SubclassWindow also routes the window's paint, erase and palette-change events to
// the virtual handlers below, so a derived class can draw the control itself.
//
// Threads: everything runs on the window thread, except the four ITextPane operations, which any
// thread may call (see channel/text_pane.h). The object must outlive every such call.
class CWnd : public ITextPane {
public:
    CWnd();
    CWnd(const CWnd& other);
    CWnd& operator=(const CWnd& other);
    ~CWnd() override;

    // Binding. Window thread.
    // Refers to `widget` (null unbinds) without taking over its events.
    void Attach(QWidget* widget);
    // Binds to an existing control and takes over its paint, erase and palette-change events,
    // then calls PreSubclassWindow. Fails (false) when this object is already bound, `widget` is
    // null or another object has already subclassed it.
    bool SubclassWindow(QWidget* widget);
    // The window, or null when unbound or the window is gone.
    QWidget* Widget() const { return m_widget.data(); }
    bool IsWindow() const { return !m_widget.isNull(); }

    // Control properties. Window thread; an unbound CWnd gives 0 / empty and ignores changes.
    int GetDlgCtrlID() const;
    // Replaces the whole text (the caption of a dialog, button, group box or static; the content
    // of an edit or pane). Text panes keep only their newest PaneEdit::kCapacity characters.
    void SetWindowText(std::string_view text);
    void SetWindowText(const char* text) { SetWindowText(std::string_view(text)); }
    void SetWindowText(const QString& text);
    std::string GetWindowText() const;
    int GetWindowTextLength() const;
    std::uint32_t GetStyle() const;
    std::uint32_t GetExStyle() const;
    // Clears `remove` and then sets `add` in the style bits; a static control redraws by its new
    // type. False when unbound.
    bool ModifyStyle(std::uint32_t remove, std::uint32_t add);
    // The area the control draws in, in its own coordinates (inside a border, if it has one).
    QRect GetClientRect() const;
    // Asks for a repaint of the whole window; with `erase` the paint starts with OnEraseBkgnd.
    // (Every repaint erases here; the argument keeps the familiar call shape.)
    void InvalidateRect(bool erase = true);

    // ITextPane for multi-line text panes (ES_MULTILINE edits); on any other window the
    // operations do nothing and succeed. Any thread; see channel/text_pane.h.
    int TextLength(const std::shared_ptr<StopSignal>& stop) override;
    bool SetSel(int start, int end, const std::shared_ptr<StopSignal>& stop) override;
    bool ScrollCaret(const std::shared_ptr<StopSignal>& stop) override;
    bool ReplaceSel(std::string_view text, const std::shared_ptr<StopSignal>& stop) override;
    bool Append(std::string text, std::function<bool()> beforeInsert,
                const std::shared_ptr<StopSignal>& stop) override;
    // The same for a caller that never abandons (the window thread's own writers).
    int TextLength() { return TextLength(nullptr); }
    bool SetSel(int start, int end) { return SetSel(start, end, nullptr); }
    bool ScrollCaret() { return ScrollCaret(nullptr); }
    bool ReplaceSel(std::string_view text) { return ReplaceSel(text, nullptr); }

    // Handlers of a subclassed control, called on the window thread.
    // Runs once SubclassWindow has bound the object; the base does nothing.
    virtual void PreSubclassWindow();
    // Paints the background of the client area into `dc`; true when it did. The base paints
    // nothing and returns false (the parent's background shows through).
    virtual bool OnEraseBkgnd(QPainter& dc);
    // Draws the face of an owner-drawn control (type SS_OWNERDRAW), after OnEraseBkgnd, in
    // `itemRect` (the client rectangle). The base draws nothing.
    virtual void DrawItem(QPainter& dc, const QRect& itemRect);
    // The control's palette has changed (the desktop's colours, or a palette set on the control
    // or its dialog). The base does nothing.
    virtual void OnSysColorChange();

private:
    friend class SubclassHook;

    // Runs `op` on the window thread as the ITextPane contract describes; `abandoned` is the
    // result when `stop` is requested first.
    template <class Result, class Op>
    Result CallOnWindowThread(const std::shared_ptr<StopSignal>& stop, Result abandoned, Op op);

    // Runs the queued appends of `queue`, then `last` if given, on `widget`'s pane as one batch.
    // Window thread.
    static void DrainAppends(PaneAppendQueue& queue, QWidget* widget,
                             PaneAppendQueue::Step* last = nullptr);

    QPointer<QWidget> m_widget;
    // Shared with the calls posted to the window thread, which may outlive this object.
    std::shared_ptr<PaneAppendQueue> m_appends = std::make_shared<PaneAppendQueue>();
    QPointer<SubclassHook> m_hook;  // set while subclassed; lives as a child of the widget
};
