#include "winsvc/dialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "winsvc/data_exchange.h"
#include "winsvc/dialog_controls.h"
#include "winsvc/dialog_units.h"
#include "winsvc/window_styles.h"

namespace {

constexpr std::uint32_t kEditStyle = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr std::uint32_t kPaneStyle =
    ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;

// A small layout with every kind of control; the tab stops in layout order are 1000, 2, 1005,
// 1002 and 101.
DialogTemplate TestTemplate() {
    DialogTemplate t;
    t.id = 900;
    t.caption = "Test Dialog";
    t.width = 200;
    t.height = 120;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.controls = {
        {1000, ControlKind::Edit, "", 10, 10, 80, 13, kEditStyle, 0, 0},
        {2, ControlKind::PushButton, "&Quit", 150, 95, 40, 14, WS_TABSTOP, 0, 0},
        {1005, ControlKind::Edit, "", 10, 30, 80, 13, kEditStyle, 0, 0},
        {-1, ControlKind::Static, "Label", 100, 10, 40, 8, SS_LEFT, 0, 0},
        {1002, ControlKind::Edit, "", 10, 50, 80, 40, kPaneStyle, 0, 0},
        {101, ControlKind::PushButton, "Go", 100, 30, 40, 14, WS_TABSTOP, 0, 0},
        {-1, ControlKind::GroupBox, "Frame", 5, 5, 140, 100, BS_GROUPBOX, 0, 0},
        {54, ControlKind::Static, "", 100, 70, 40, 20, SS_SUNKEN, 0, 0},
        {1006, ControlKind::Edit, "", 100, 50, 40, 13, WS_BORDER, 0, 0},
        {1013, ControlKind::Static, "", 150, 10, 10, 10, SS_BITMAP, 0, 1013},
        {128, ControlKind::Static, "", 150, 40, 20, 20, SS_ICON, 0, 128},
    };
    return t;
}

// Counts how often it is bound.
class CountingWnd : public CWnd {
public:
    void PreSubclassWindow() override { ++preSubclassCalls; }
    int preSubclassCalls = 0;
};

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(TestTemplate()) {
        MapCommand(101, [this] { ++goClicks; });
    }

    // Runs `during` inside the modal loop, then the dialog's own end decides what DoModal gives.
    int RunModal(std::function<void(TestDialog&)> during) {
        m_during = std::move(during);
        return DoModal();
    }

    bool OnInitDialog() override {
        const bool result = CDialog::OnInitDialog();
        initSawControls = GetDlgItem(1002)->IsWindow() && GetDlgItem(54)->IsWindow();
        initSawHiddenWindow = Widget() != nullptr && !Widget()->isVisible();
        window = Widget();
        // A test that forgets to end the dialog fails instead of hanging.
        QTimer::singleShot(10000, Widget(), [this] { EndDialog(-2); });
        if (m_during) {
            QTimer::singleShot(0, Widget(), [this] { m_during(*this); });
        }
        return result;
    }

    void DoDataExchange(CDataExchange* dx) override {
        ++exchanges;
        DDX_Text(dx, 1000, path1);
        DDV_MaxChars(dx, path1, 255);
        DDX_Text(dx, 1005, path2);
        DDV_MaxChars(dx, path2, 255);
        DDX_Control(dx, 54, banner);
    }

    void OnSysCommand(unsigned id, std::intptr_t param) override {
        sysCommands.push_back(id);
        CDialog::OnSysCommand(id, param);
    }

    QWidget* Control(int id) { return GetDlgItem(id)->Widget(); }

    std::string path1;
    std::string path2;
    CountingWnd banner;
    int goClicks = 0;
    int exchanges = 0;
    bool initSawControls = false;
    bool initSawHiddenWindow = false;
    QPointer<QWidget> window;
    std::vector<unsigned> sysCommands;

private:
    std::function<void(TestDialog&)> m_during;
};

void WaitActive(TestDialog& dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.Widget()));
}

// Closes the message box that `action` opens, keeping its text.
QString CloseMessageBoxOpenedBy(const std::function<void()>& action) {
    QString text;
    QTimer::singleShot(0, [&text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    action();
    return text;
}

TEST(DialogTest, BuildsEveryControlAtItsConvertedRectangle) {
    TestDialog dialog;
    const DialogUnits units = DialogUnits::FromFont(DialogUnits::DialogFont(8));
    dialog.RunModal([&units](TestDialog& d) {
        const DialogTemplate& t = d.Template();
        for (const DialogControl& c : t.controls) {
            if (c.id == -1) {
                continue;
            }
            QWidget* widget = d.Control(c.id);
            ASSERT_NE(widget, nullptr) << c.id;
            const QRect expected = units.ToPixels(QRect(c.x, c.y, c.width, c.height));
            if ((c.style & SS_TYPEMASK) == SS_BITMAP && c.kind == ControlKind::Static) {
                // A bitmap static takes the image's own size (the title logo: 115 x 28).
                EXPECT_EQ(widget->geometry(), QRect(expected.topLeft(), QSize(115, 28)));
            } else if ((c.style & SS_TYPEMASK) == SS_ICON && c.kind == ControlKind::Static) {
                EXPECT_EQ(widget->geometry(), QRect(expected.topLeft(), QSize(32, 32)));
            } else {
                EXPECT_EQ(widget->geometry(), expected) << c.id;
            }
            EXPECT_TRUE(widget->isVisible()) << c.id;
            EXPECT_EQ(widget->parentWidget(), d.Widget()) << c.id;
            EXPECT_EQ(d.GetDlgItem(c.id)->GetDlgCtrlID(), c.id);
            EXPECT_EQ(d.GetDlgItem(c.id)->GetStyle(), c.style) << c.id;
        }
        // Fixed size: the client area of the layout, and no other.
        const QSize size = units.ToPixels(QSize(t.width, t.height));
        EXPECT_EQ(d.Widget()->size(), size);
        EXPECT_EQ(d.Widget()->minimumSize(), size);
        EXPECT_EQ(d.Widget()->maximumSize(), size);
        const Qt::WindowFlags flags = d.Widget()->windowFlags();
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_EQ(d.GetWindowText(), "Test Dialog");
        // The kinds: a single-line edit, a read-only pane that never wraps, a non-default button.
        EXPECT_NE(qobject_cast<QLineEdit*>(d.Control(1000)), nullptr);
        auto* pane = qobject_cast<QPlainTextEdit*>(d.Control(1002));
        ASSERT_NE(pane, nullptr);
        EXPECT_TRUE(pane->isReadOnly());
        EXPECT_EQ(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_EQ(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        auto* go = qobject_cast<QPushButton*>(d.Control(101));
        ASSERT_NE(go, nullptr);
        EXPECT_FALSE(go->autoDefault());
        EXPECT_FALSE(go->isDefault());
        // The first control of the layout lies on top of the ones after it.
        const QObjectList& children = d.Widget()->children();
        EXPECT_GT(children.indexOf(d.Control(1000)), children.indexOf(d.Control(54)));
        d.EndDialog(7);
    });
}

TEST(DialogTest, InitialisesWithControlsBeforeShowingAndDestroysTheWindowAtTheEnd) {
    TestDialog dialog;
    EXPECT_EQ(dialog.GetDlgItem(4242), nullptr);
    CWnd* pane = dialog.GetDlgItem(1002);
    ASSERT_NE(pane, nullptr);
    EXPECT_FALSE(pane->IsWindow());
    EXPECT_EQ(dialog.GetSystemMenu(), nullptr);

    const int result = dialog.RunModal([](TestDialog& d) { d.EndDialog(7); });
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(dialog.initSawControls);
    EXPECT_TRUE(dialog.initSawHiddenWindow);
    EXPECT_TRUE(dialog.window.isNull());
    EXPECT_FALSE(dialog.IsWindow());
    // The reference handed out stays valid and empty; operations on it do nothing.
    EXPECT_EQ(dialog.GetDlgItem(1002), pane);
    EXPECT_FALSE(pane->IsWindow());
    EXPECT_TRUE(pane->ReplaceSel("ignored"));
    EXPECT_EQ(pane->TextLength(), 0);
    EXPECT_EQ(dialog.UpdateData(true), 0);

    // The same object runs again with a new window.
    EXPECT_EQ(dialog.RunModal([](TestDialog& d) { d.EndDialog(8); }), 8);
}

TEST(DialogTest, TabOrderIsTheLayoutOrderOfTheTabStopsStartingAtTheFirst) {
    TestDialog dialog;
    std::vector<int> visited;
    dialog.RunModal([&visited](TestDialog& d) {
        WaitActive(d);
        for (int i = 0; i < 6; ++i) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            visited.push_back(ControlId(focus));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        d.EndDialog(0);
    });
    EXPECT_EQ(visited, (std::vector<int>{1000, 2, 1005, 1002, 101, 1000}));
}

TEST(DialogTest, EnterInAnEditStoresTheFieldsAndEnds) {
    TestDialog dialog;
    const int result = dialog.RunModal([](TestDialog& d) {
        WaitActive(d);
        EXPECT_EQ(QApplication::focusWidget(), d.Control(1000));
        QTest::keyClicks(d.Control(1000), "bot --fast");
        qobject_cast<QLineEdit*>(d.Control(1005))->setText("./other");
        QTest::keyClick(d.Control(1000), Qt::Key_Return);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.path1, "bot --fast");
    EXPECT_EQ(dialog.path2, "./other");
}

TEST(DialogTest, EnterOnAFocusedButtonPressesThatButton) {
    TestDialog dialog;
    const int result = dialog.RunModal([](TestDialog& d) {
        WaitActive(d);
        d.Control(101)->setFocus();
        QTest::keyClick(d.Control(101), Qt::Key_Return);
        EXPECT_EQ(d.goClicks, 1);
        EXPECT_TRUE(d.Widget()->isVisible());
        // In the read-only pane, Enter is the dialog's again.
        d.Control(1002)->setFocus();
        QTest::keyClick(d.Control(1002), Qt::Key_Enter, Qt::KeypadModifier);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.goClicks, 1);
}

TEST(DialogTest, EscapeCloseBoxAndButtonTwoCancelWithoutStoring) {
    const std::vector<std::function<void(TestDialog&)>> cancellers = {
        [](TestDialog& d) { QTest::keyClick(d.Control(1000), Qt::Key_Escape); },
        [](TestDialog& d) { d.Widget()->close(); },
        [](TestDialog& d) { QTest::mouseClick(d.Control(2), Qt::LeftButton); },
        [](TestDialog& d) {
            d.Control(2)->setFocus();
            QTest::keyClick(d.Control(2), Qt::Key_Return);
        },
    };
    for (std::size_t i = 0; i < cancellers.size(); ++i) {
        TestDialog dialog;
        const int result = dialog.RunModal([&](TestDialog& d) {
            WaitActive(d);
            QTest::keyClicks(d.Control(1000), "typed");
            cancellers[i](d);
        });
        EXPECT_EQ(result, IDCANCEL) << "case " << i;
        EXPECT_EQ(dialog.path1, "") << "case " << i;
        EXPECT_TRUE(dialog.window.isNull()) << "case " << i;
    }
}

TEST(DialogTest, MappedCancelHandlerReplacesTheDefault) {
    TestDialog dialog;
    int cancels = 0;
    dialog.MapCommand(IDCANCEL, [&cancels] { ++cancels; });
    const int result = dialog.RunModal([](TestDialog& d) {
        WaitActive(d);
        QTest::keyClick(d.Control(1000), Qt::Key_Escape);
        d.Widget()->close();
        EXPECT_TRUE(d.Widget()->isVisible());
        d.EndDialog(5);
    });
    EXPECT_EQ(result, 5);
    EXPECT_EQ(cancels, 2);
}

TEST(DialogTest, FillingSetsAndLimitsTheEditsStoringCopiesThem) {
    TestDialog dialog;
    dialog.path1 = "first";
    dialog.RunModal([](TestDialog& d) {
        auto* edit1 = qobject_cast<QLineEdit*>(d.Control(1000));
        auto* edit2 = qobject_cast<QLineEdit*>(d.Control(1005));
        EXPECT_EQ(edit1->text(), "first");
        EXPECT_EQ(edit1->maxLength(), 255);
        EXPECT_EQ(edit2->maxLength(), 255);
        // The user can type no more than the limit.
        edit1->clear();
        edit1->setFocus();
        QTest::keyClicks(edit1, QString(300, QLatin1Char('y')));
        EXPECT_EQ(edit1->text().size(), 255);
        EXPECT_EQ(d.UpdateData(true), 1);
        EXPECT_EQ(d.path1, std::string(255, 'y'));
        d.path2 = "filled again";
        EXPECT_EQ(d.UpdateData(false), 1);
        EXPECT_EQ(edit2->text(), "filled again");
        d.EndDialog(0);
    });
}

TEST(DialogTest, StoringRefusesTooLongTextWithAWarningAndStopsAtThatField) {
    TestDialog dialog;
    const int result = dialog.RunModal([](TestDialog& d) {
        auto* edit1 = qobject_cast<QLineEdit*>(d.Control(1000));
        auto* edit2 = qobject_cast<QLineEdit*>(d.Control(1005));
        // A text past the limit can only come from the program itself; lift the limit for it.
        edit1->setMaxLength(1000);
        edit1->setText(QString(256, QLatin1Char('a')));
        edit2->setText("second");
        int stored = -1;
        const QString warning = CloseMessageBoxOpenedBy([&] { stored = d.UpdateData(true); });
        EXPECT_EQ(stored, 0);
        EXPECT_TRUE(warning.contains("255")) << warning.toStdString();
        // The exchange stopped at the failed field: the second edit was not stored.
        EXPECT_EQ(d.path2, "");
        // OK stores first and so does not end the dialog either.
        const QString again = CloseMessageBoxOpenedBy([&] { d.OnOK(); });
        EXPECT_FALSE(again.isEmpty());
        EXPECT_TRUE(d.Widget()->isVisible());
        // Exactly 255 characters are accepted.
        edit1->setText(QString(255, QLatin1Char('a')));
        d.OnOK();
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.path1, std::string(255, 'a'));
    EXPECT_EQ(dialog.path2, "second");
}

TEST(DialogTest, AMemberLongerThanTheLimitIsShownWholeAndRefusedWhenStored) {
    TestDialog dialog;
    dialog.path2 = std::string(300, 'x');
    dialog.RunModal([](TestDialog& d) {
        auto* edit2 = qobject_cast<QLineEdit*>(d.Control(1005));
        EXPECT_EQ(edit2->text().size(), 300);
        int stored = -1;
        const QString warning = CloseMessageBoxOpenedBy([&] { stored = d.UpdateData(true); });
        EXPECT_EQ(stored, 0);
        EXPECT_FALSE(warning.isEmpty());
        // The focus goes to the field that failed.
        EXPECT_EQ(d.Widget()->focusWidget(), edit2);
        d.EndDialog(0);
    });
}

TEST(DialogTest, DdxControlBindsOnceAtTheFirstExchange) {
    TestDialog dialog;
    dialog.RunModal([](TestDialog& d) {
        EXPECT_EQ(d.exchanges, 1);
        EXPECT_EQ(d.banner.preSubclassCalls, 1);
        EXPECT_EQ(d.banner.Widget(), d.Control(54));
        EXPECT_EQ(d.banner.GetDlgCtrlID(), 54);
        EXPECT_EQ(d.UpdateData(true), 1);
        EXPECT_EQ(d.UpdateData(false), 1);
        EXPECT_EQ(d.exchanges, 3);
        EXPECT_EQ(d.banner.preSubclassCalls, 1);
        // Another object cannot take over a control that is already bound.
        CWnd other;
        EXPECT_FALSE(other.SubclassWindow(d.Control(54)));
        d.EndDialog(0);
    });
    EXPECT_FALSE(dialog.banner.IsWindow());
    // A copy of a bound reference is not bound.
    TestDialog again;
    again.RunModal([](TestDialog& d) {
        const CountingWnd copy(d.banner);
        EXPECT_TRUE(d.banner.IsWindow());
        EXPECT_FALSE(copy.IsWindow());
        d.EndDialog(0);
    });
}

TEST(DialogTest, WindowMenuItemCallsOnSysCommandWithItsId) {
    TestDialog dialog;
    const int result = dialog.RunModal([](TestDialog& d) {
        CWindowMenu* menu = d.GetSystemMenu();
        ASSERT_NE(menu, nullptr);
        menu->AppendSeparator();
        menu->AppendItem(16, "&About Test...");
        ASSERT_EQ(menu->Count(), 3);
        EXPECT_EQ(menu->IdAt(0), SC_CLOSE);
        EXPECT_TRUE(menu->IsSeparatorAt(1));
        EXPECT_EQ(menu->IdAt(2), 16u);

        // A right click on a static (the background) opens the menu; choose the last item.
        auto chooseItem = [](const QString& text) {
            QTimer::singleShot(0, [text] {
                auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_NE(popup, nullptr);
                for (QAction* action : popup->actions()) {
                    if (action->text() == text) {
                        action->trigger();
                    }
                }
                popup->close();
            });
        };
        QWidget* label = d.Widget()->childAt(d.Control(54)->geometry().center());
        ASSERT_NE(label, nullptr);
        const QPoint local = label->rect().center();
        chooseItem("&About Test...");
        QContextMenuEvent event(QContextMenuEvent::Mouse, local, label->mapToGlobal(local));
        QApplication::sendEvent(label, &event);
        EXPECT_EQ(d.sysCommands, std::vector<unsigned>{16});
        EXPECT_TRUE(d.Widget()->isVisible());

        // The Close item closes the dialog through the default system command.
        chooseItem("&Close");
        QContextMenuEvent again(QContextMenuEvent::Mouse, local, label->mapToGlobal(local));
        QApplication::sendEvent(label, &again);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.sysCommands, (std::vector<unsigned>{16, SC_CLOSE}));
}

TEST(DialogTest, IconIsSetOnTheWindow) {
    TestDialog dialog;
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::red);
    const QIcon icon(pixmap);
    dialog.RunModal([&icon](TestDialog& d) {
        d.SetIcon(icon, true);
        d.SetIcon(icon, false);
        EXPECT_EQ(d.Widget()->windowIcon().cacheKey(), icon.cacheKey());
        d.EndDialog(0);
    });
}

TEST(DialogTest, StaticsShowTheirBitmapAndIcon) {
    TestDialog dialog;
    dialog.RunModal([](TestDialog& d) {
        const QImage logo = d.Control(1013)->grab().toImage();
        // The logo's light beige ground shows at its top-left corner.
        EXPECT_EQ(logo.pixelColor(1, 1), QColor(238, 236, 221));
        const QImage icon = d.Control(128)->grab().toImage();
        int red = 0;
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                const QColor c = icon.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 60 && c.blue() < 60 ? 1 : 0;
            }
        }
        EXPECT_GT(red, 100);
        d.EndDialog(0);
    });
}

TEST(DialogTest, ASecondDialogRunsModallyOverTheFirst) {
    TestDialog outer;
    int innerResult = 0;
    const int result = outer.RunModal([&innerResult](TestDialog& o) {
        TestDialog inner;
        innerResult = inner.RunModal([&o](TestDialog& i) {
            EXPECT_EQ(i.Widget()->parentWidget(), o.Widget());
            EXPECT_EQ(QApplication::activeModalWidget(), i.Widget());
            QTest::keyClick(i.Control(1000), Qt::Key_Escape);
        });
        EXPECT_TRUE(o.Widget()->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), o.Widget());
        o.EndDialog(9);
    });
    EXPECT_EQ(innerResult, IDCANCEL);
    EXPECT_EQ(result, 9);
}

TEST(DialogTest, EndingInsideInitialisationNeverShowsTheWindow) {
    class EndsAtOnce : public CDialog {
    public:
        EndsAtOnce() : CDialog(TestTemplate()) {}
        bool OnInitDialog() override {
            CDialog::OnInitDialog();
            EndDialog(3);
            return true;
        }
    };
    EndsAtOnce dialog;
    EXPECT_EQ(dialog.DoModal(), 3);
    EXPECT_FALSE(dialog.IsWindow());
}

}  // namespace
