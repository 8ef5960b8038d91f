// The window side of the moderator window: its layout, its start-up state, the keys and buttons
// that end it, the window menu's About item, and what its shutdown leaves behind.

#include "ui/moderator_dlg.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QtTest/QTest>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "tests/support/dialog_session.h"
#include "tests/testbots/puppet_bot.h"
#include "ui/minimised_icon.h"
#include "winsvc/dialog_units.h"
#include "winsvc/window_styles.h"

namespace {

using namespace std::chrono_literals;

struct Row {
    int id;
    ControlKind kind;
    std::string text;
    int x, y, width, height;
};

// Every control but the 42 cells, in layout order, as the window must have it.
const std::vector<Row>& ExpectedRows() {
    static const std::vector<Row> rows = {
        {1000, ControlKind::Edit, "", 13, 138, 146, 13},
        {2, ControlKind::PushButton, "&Quit", 717, 418, 116, 21},
        {1005, ControlKind::Edit, "", 13, 284, 146, 13},
        {1002, ControlKind::Edit, "", 13, 156, 147, 102},
        {1007, ControlKind::Edit, "", 14, 302, 146, 106},
        {1011, ControlKind::Edit, "", 717, 10, 116, 325},
        {101, ControlKind::PushButton, "Go", 717, 343, 116, 44},
        {-1, ControlKind::GroupBox, "", 179, 7, 521, 425},
        {54, ControlKind::Static, "", 376, 162, 132, 60},
        {-1, ControlKind::GroupBox, "Player 1", 7, 126, 160, 138},
        {-1, ControlKind::GroupBox, "Player 2", 7, 271, 160, 161},
        {-1, ControlKind::Static, "", 401, 16, 77, 17},
        {-1, ControlKind::Static, "A referee for four-in-a-row bots", 386, 439, 117, 8},
        {-1, ControlKind::Static, "Made with Qt 6", 405, 450, 74, 8},
        {-1, ControlKind::GroupBox, "", 7, 4, 160, 120},
        {-1, ControlKind::Static, "Fourfall Moderator", 42, 7, 79, 8},
        {-1, ControlKind::Static,
         "Allows two computer A.I.s to play fourfall against each other. Load both programs by "
         "specifying their paths in the boxes below and clicking load. Once both are loaded "
         "(display p) use the go button to advance turns.",
         8, 18, 158, 44},
        {1029, ControlKind::PushButton, "Load Players", 12, 435, 150, 14},
        {1031, ControlKind::PushButton, "Drop Here", 188, 412, 70, 14},
        {1032, ControlKind::PushButton, "Drop Here", 260, 412, 70, 14},
        {1034, ControlKind::PushButton, "Drop Here", 332, 412, 70, 14},
        {1035, ControlKind::PushButton, "Drop Here", 404, 412, 70, 14},
        {1039, ControlKind::PushButton, "Drop Here", 476, 412, 70, 14},
        {1040, ControlKind::PushButton, "Drop Here", 548, 412, 70, 14},
        {1041, ControlKind::PushButton, "Drop Here", 620, 412, 70, 14},
        {1004, ControlKind::PushButton, "Manual Mode =>", 30, 413, 108, 14},
        {1036, ControlKind::PushButton, "Reset", 717, 392, 116, 21},
        {-1, ControlKind::Static,
         "Use the reset button to start a new game. Players alternate going first each round. "
         "Player 2 can be human controled by clicking the manual button before loading players. "
         "Use the choose drop buttons to make your move.",
         11, 62, 150, 43},
        {-1, ControlKind::Static, "See Readme about creating compatible bots", 14, 109, 146, 12},
    };
    return rows;
}

bool IsCell(int id) {
    return id >= 11 && id <= 52;
}

TEST(MainLayoutTest, EveryControlHasItsIdKindTextAndRectangle) {
    const DialogTemplate& t = MainDialogTemplate();
    EXPECT_EQ(t.caption, "Fourfall Moderator");
    EXPECT_EQ(t.width, 840);
    EXPECT_EQ(t.height, 466);
    EXPECT_EQ(t.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);

    std::vector<DialogControl> others;
    std::vector<DialogControl> cells;
    for (const DialogControl& c : t.controls) {
        (IsCell(c.id) ? cells : others).push_back(c);
    }
    ASSERT_EQ(others.size(), ExpectedRows().size());
    for (std::size_t i = 0; i < others.size(); ++i) {
        const Row& want = ExpectedRows()[i];
        const DialogControl& got = others[i];
        SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(QRect(got.x, got.y, got.width, got.height),
                  QRect(want.x, want.y, want.width, want.height));
    }

    // The cells come after the banner, ids 11 to 52 in order; a few from the grid's table.
    ASSERT_EQ(cells.size(), 42u);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].id, static_cast<int>(11 + i));
        EXPECT_EQ(QSize(cells[i].width, cells[i].height), QSize(70, 61));
    }
    const auto at = [&](int id) { return QPoint(cells[id - 11].x, cells[id - 11].y); };
    EXPECT_EQ(at(11), QPoint(188, 348));  // bottom left
    EXPECT_EQ(at(17), QPoint(620, 348));  // bottom right
    EXPECT_EQ(at(46), QPoint(188, 38));   // top left
    EXPECT_EQ(at(52), QPoint(620, 38));   // top right
    EXPECT_EQ(at(35), QPoint(404, 162));  // under the banner
    EXPECT_EQ(at(27), QPoint(332, 224));
}

TEST(MainLayoutTest, PanesAreReadOnlyUnwrappedWithVerticalScrollBar) {
    for (const DialogControl& c : MainDialogTemplate().controls) {
        if (c.kind != ControlKind::Edit) {
            continue;  // the style bits of other kinds mean other things
        }
        const bool pane = c.id == IDC_OUTPUT1 || c.id == IDC_OUTPUT2 || c.id == IDC_STATUS;
        EXPECT_EQ((c.style & ES_MULTILINE) != 0, pane) << c.id;
        if (pane) {
            EXPECT_EQ(c.style & (ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL),
                      ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL);
            EXPECT_EQ(c.style & ES_AUTOVSCROLL, 0u);
        }
    }
}

TEST(AboutLayoutTest, HasIconNameTextAndOk) {
    const DialogTemplate& t = AboutDialogTemplate();
    EXPECT_EQ(t.caption, "About Pipewell");
    EXPECT_EQ(QSize(t.width, t.height), QSize(235, 55));
    ASSERT_EQ(t.controls.size(), 4u);
    EXPECT_EQ(t.controls[0].style & SS_TYPEMASK, SS_ICON);
    EXPECT_EQ(t.controls[0].resourceId, static_cast<unsigned>(IDR_MAINFRAME));
    EXPECT_EQ(t.controls[1].text, "Fourfall Moderator 1.2");
    EXPECT_EQ(t.controls[3].id, IDOK);
    EXPECT_EQ(QRect(t.controls[3].x, t.controls[3].y, t.controls[3].width, t.controls[3].height),
              QRect(178, 32, 50, 16));
}

class ModeratorWindowTest : public ::testing::Test {
protected:
    QWidget* Control(int id) { return DialogSession::Control(dlg, id); }

    DialogSession session;
    CModeratorDlg dlg;
};

// The test platform's screen (800 x 800) is too small for the layout's natural size, so this also
// checks the scaled conversion: the window fits the screen whole, fonts scaled alike.
TEST_F(ModeratorWindowTest, ControlsSitAtTheirRectanglesConvertedFromTheDialogFont) {
    DialogSession::Run(dlg, [&] {
        const DialogTemplate& layout = MainDialogTemplate();
        const DialogUnits units = DialogUnits::ForLayout(
            layout.pointSize, QSize(layout.width, layout.height), dlg.Widget()->screen());
        const QRect screen = dlg.Widget()->screen()->availableGeometry();
        EXPECT_TRUE(units.IsScaled());
        EXPECT_TRUE(screen.contains(dlg.Widget()->frameGeometry())) << "the window fits";
        EXPECT_EQ(dlg.Widget()->font().pointSizeF(),
                  units.ScaledFont(DialogUnits::DialogFont(8)).pointSizeF());
        for (const DialogControl& c : layout.controls) {
            if (c.id < 0) {
                continue;
            }
            QWidget* w = Control(c.id);
            ASSERT_NE(w, nullptr) << c.id;
            EXPECT_EQ(w->geometry(), units.ToPixels(QRect(c.x, c.y, c.width, c.height))) << c.id;
        }
        QWidget* window = dlg.Widget();
        EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Fourfall Moderator"));
        EXPECT_FALSE(window->windowIcon().isNull());
    });
}

TEST_F(ModeratorWindowTest, StartsWithEmptyBoardBlankBannerAndFocusInFirstCommandLine) {
    {
        std::ofstream old(session.Directory() + "/log.txt", std::ios::binary);
        old << "\r\n4431";
    }
    DialogSession::Run(dlg, [&] {
        EXPECT_EQ(QApplication::focusWidget(), Control(IDC_PATH1));
        for (int row = 0; row <= 6; ++row) {
            for (int column = 0; column <= 7; ++column) {
                EXPECT_EQ(dlg.GetBoard().At(column, row), 0);
                EXPECT_EQ(dlg.Cell(column, row).ResourceId(), static_cast<int>(IDB_EMPTY_HOLE));
            }
        }
        for (int column = 0; column <= 7; ++column) {
            EXPECT_EQ(dlg.GetBoard().Height(column), 1);
        }
        EXPECT_EQ(dlg.Banner().ResourceId(), static_cast<int>(IDB_BLANK_BANNER));
        EXPECT_FALSE(dlg.Banner().Widget()->isVisible()) << "the discs beneath stay visible";
        EXPECT_EQ(dlg.Turn(), 0);
        EXPECT_FALSE(dlg.ManualMode());
        for (const int id : {IDC_PATH1, IDC_PATH2, IDC_OUTPUT1, IDC_OUTPUT2, IDC_STATUS}) {
            EXPECT_EQ(DialogSession::Text(dlg, id), "") << id;
        }
        for (const int id : {IDC_PATH1, IDC_PATH2}) {
            EXPECT_EQ(qobject_cast<QLineEdit*>(Control(id))->maxLength(), 255);
        }
        for (const int id : {IDC_OUTPUT1, IDC_OUTPUT2, IDC_STATUS}) {
            auto* pane = qobject_cast<QPlainTextEdit*>(Control(id));
            ASSERT_NE(pane, nullptr);
            EXPECT_TRUE(pane->isReadOnly());
            EXPECT_EQ(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
            EXPECT_EQ(pane->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
        for (QPushButton* button : dlg.Widget()->findChildren<QPushButton*>()) {
            EXPECT_FALSE(button->isDefault()) << "no default button";
        }
    });
    EXPECT_EQ(session.LogBytes(), "\r\n4431") << "the log is appended to, never truncated";
}

TEST_F(ModeratorWindowTest, TabOrderFollowsTheLayout) {
    DialogSession::Run(dlg, [&] {
        const std::vector<int> order = {1000, 2,    1005, 1002, 1007, 1011, 101,  1029, 1031,
                                        1032, 1034, 1035, 1039, 1040, 1041, 1004, 1036, 1000};
        for (std::size_t i = 0; i + 1 < order.size(); ++i) {
            QWidget* from = Control(order[i]);
            from->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(from, Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), Control(order[i + 1])) << "after " << order[i];
        }
    });
}

TEST_F(ModeratorWindowTest, EnterInACommandLineStoresTheFieldsAndEnds) {
    const int code = DialogSession::Run(dlg, [&] {
        DialogSession::Type(dlg, IDC_PATH1, "bots/one --fast");
        QTest::keyClick(Control(IDC_PATH1), Qt::Key_Return);
    });
    EXPECT_EQ(code, IDOK);
}

TEST_F(ModeratorWindowTest, EscapeAndQuitEndWithoutStoring) {
    EXPECT_EQ(DialogSession::Run(dlg, [&] { QTest::keyClick(Control(IDC_PATH2), Qt::Key_Escape); }),
              IDCANCEL);
    CModeratorDlg second;
    EXPECT_EQ(DialogSession::Run(second, [&] { DialogSession::Click(second, IDCANCEL); }),
              IDCANCEL);
}

TEST_F(ModeratorWindowTest, WindowMenuEndsWithSeparatorAndAboutItem) {
    DialogSession::Run(dlg, [&] {
        CWindowMenu* menu = dlg.GetSystemMenu();
        ASSERT_NE(menu, nullptr);
        const int last = menu->Count() - 1;
        ASSERT_GE(last, 1);
        EXPECT_TRUE(menu->IsSeparatorAt(last - 1));
        EXPECT_EQ(menu->IdAt(last), IDM_ABOUTBOX);
        EXPECT_EQ(menu->TextAt(last), QStringLiteral("&About Pipewell..."));
    });
}

// Chooses window-menu command `id` and reports the caption of the modal box it opened, if any.
QString CaptionOpenedBy(CModeratorDlg& dlg, unsigned id) {
    QString caption;
    QTimer::singleShot(100, [&caption] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            caption = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    // What choosing a window-menu item does.
    static_cast<CDialog&>(dlg).OnSysCommand(id, 0);
    return caption;
}

TEST_F(ModeratorWindowTest, AboutItemOpensTheAboutBoxAndOtherCommandsDoNot) {
    DialogSession::Run(dlg, [&] {
        EXPECT_EQ(CaptionOpenedBy(dlg, IDM_ABOUTBOX), QStringLiteral("About Pipewell"));
        EXPECT_EQ(CaptionOpenedBy(dlg, 31), QStringLiteral("About Pipewell"))
            << "the low four bits are the system's";
        EXPECT_TRUE(dlg.Widget()->isVisible()) << "closing the box returns to the window";
        EXPECT_EQ(CaptionOpenedBy(dlg, 32), QString());
    });
}

TEST(ModeratorShutdownTest, BotsAreLeftRunningAndSeeEndOfFile) {
    DialogSession session;
    PuppetBot bot1;
    PuppetBot bot2;
    pid_t pid1 = -1;
    pid_t pid2 = -1;
    {
        CModeratorDlg dlg;
        DialogSession::Run(dlg, [&] {
            DialogSession::Type(dlg, IDC_PATH1, bot1.CommandLine());
            DialogSession::Type(dlg, IDC_PATH2, bot2.CommandLine());
            DialogSession::Click(dlg, IDC_LOAD_PLAYERS);
            pid1 = bot1.WaitPid(5s);
            pid2 = bot2.WaitPid(5s);
            DialogSession::Click(dlg, IDCANCEL);
        });
        EXPECT_FALSE(bot1.WaitEof(200ms)) << "the channels close with the dialog object";
        EXPECT_TRUE(dlg.Player(1).Fields().IsOpen());
    }
    ASSERT_GT(pid1, 0);
    ASSERT_GT(pid2, 0);
    EXPECT_TRUE(bot1.WaitEof(5s));
    EXPECT_TRUE(bot2.WaitEof(5s));
    EXPECT_EQ(kill(pid1, 0), 0) << "the moderator never ends a bot";
    EXPECT_EQ(kill(pid2, 0), 0);
}

TEST(MinimisedIconTest, CentresWithTruncationTowardZero) {
    EXPECT_EQ(MinimisedIconPosition(QSize(36, 36), QSize(32, 32)), QPoint(2, 2));
    EXPECT_EQ(MinimisedIconPosition(QSize(37, 40), QSize(32, 32)), QPoint(3, 4));
    EXPECT_EQ(MinimisedIconPosition(QSize(0, 0), QSize(32, 32)), QPoint(-15, -15));
}

}  // namespace
