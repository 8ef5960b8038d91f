#include "ui/bitmap_cell.h"

#include <QApplication>
#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>

#include "res/resources.h"
#include "tests/support/rgb.h"
#include "winsvc/data_exchange.h"
#include "winsvc/dialog.h"
#include "winsvc/dialog_controls.h"
#include "winsvc/dialog_units.h"
#include "winsvc/window_styles.h"

namespace {

// Test images (test_cell_bitmaps.qrc): 93 x 93, white with a red top-left pixel and a green last
// column and row; and 12 x 4 with a colour table, in thirds of grey 128, 192 and 223.
constexpr unsigned kEdgeImage = 40101;
constexpr unsigned kGreysImage = 40102;
const QString kGreysName = QStringLiteral("greys");
constexpr unsigned kRedDisc = 129;
constexpr unsigned kEmptyHole = 1015;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);

int CountPixels(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += ToRgb(image.pixelColor(x, y)) == ToRgb(colour) ? 1 : 0;
        }
    }
    return count;
}

// The bounding box of the pixels that have none of the `background` colours.
QRect InkBox(const QImage& image, std::initializer_list<QColor> background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Rgb pixel = ToRgb(image.pixelColor(x, y));
            bool isBackground = false;
            for (const QColor& colour : background) {
                isBackground = isBackground || pixel == ToRgb(colour);
            }
            if (!isBackground) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

class BitmapCellTest : public ::testing::Test {
protected:
    // A static control of `width` x `height` pixels (base units 4 x 8 make dialog units pixels)
    // on a window of its own.
    QWidget* MakeControl(int width, int height, std::uint32_t style = SS_LEFT) {
        const DialogControl control{54, ControlKind::Static, "", 0, 0, width, height, style, 0, 0};
        return CreateDialogControl(control, DialogUnits(4, 8), &m_window);
    }

    static QImage Shot(const CWnd& cell) { return cell.Widget()->grab().toImage(); }

    QWidget m_window;
};

TEST_F(BitmapCellTest, NewCellHasNoImageAndNoRequest) {
    const CBitmapCell cell;
    EXPECT_TRUE(cell.Bitmap().isNull());
    EXPECT_EQ(cell.ResourceId(), -1);
    EXPECT_TRUE(cell.ResourceName().isEmpty());
    EXPECT_FALSE(cell.IsWindow());
}

TEST_F(BitmapCellTest, BindingMakesTheControlOwnerDrawnAndWithoutImageItIsButtonFace) {
    CBitmapCell cell;
    QWidget* control = MakeControl(50, 40, SS_LEFT | WS_GROUP);
    ASSERT_TRUE(cell.SubclassWindow(control));
    EXPECT_EQ(cell.GetStyle(), SS_OWNERDRAW | WS_GROUP);
    const QImage shot = Shot(cell);
    ASSERT_EQ(shot.size(), QSize(50, 40));
    EXPECT_EQ(CountPixels(shot, control->palette().color(QPalette::Button)), 50 * 40);
}

TEST_F(BitmapCellTest, StretchedImageNeverShowsItsLastRowOrColumn) {
    for (const QSize size : {QSize(140, 50), QSize(60, 120), QSize(93, 93), QSize(200, 200)}) {
        CBitmapCell cell;
        ASSERT_TRUE(cell.SubclassWindow(MakeControl(size.width(), size.height())));
        cell.ShowBitmap(kEdgeImage);
        const QImage shot = Shot(cell);
        EXPECT_EQ(CountPixels(shot, kGreen), 0) << size.width() << "x" << size.height();
        // The image's top-left pixel lands at the top-left, and the image covers everything.
        EXPECT_EQ(PixelAt(shot, 0, 0), ToRgb(kRed));
        EXPECT_EQ(CountPixels(shot, kWhite) + CountPixels(shot, kRed),
                  size.width() * size.height());
    }
}

TEST_F(BitmapCellTest, ShowsTheProgramsBitmapsStretched) {
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(105, 99)));
    cell.ShowBitmap(kRedDisc);
    EXPECT_EQ(cell.ResourceId(), static_cast<int>(kRedDisc));
    EXPECT_EQ(PixelAt(Shot(cell), 52, 49), ToRgb(kRed));
    cell.ShowBitmap(kEmptyHole);
    EXPECT_EQ(PixelAt(Shot(cell), 52, 49), (Rgb{231, 231, 231}));
    // Only the low 16 bits name the resource.
    cell.ShowBitmap(0x10000u + kRedDisc);
    EXPECT_EQ(PixelAt(Shot(cell), 52, 49), ToRgb(kRed));
}

TEST_F(BitmapCellTest, FailedLoadKeepsThePictureButRecordsTheRequest) {
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(70, 60)));
    cell.ShowBitmap(kRedDisc);
    const QImage before = Shot(cell);
    const qint64 imageKey = cell.Bitmap().cacheKey();

    cell.ShowBitmap(60000);
    EXPECT_EQ(cell.ResourceId(), 60000);
    EXPECT_TRUE(cell.ResourceName().isEmpty());
    EXPECT_EQ(cell.Bitmap().cacheKey(), imageKey);
    EXPECT_EQ(Shot(cell), before);

    cell.ShowBitmap(QStringLiteral("no such bitmap"));
    EXPECT_EQ(cell.ResourceId(), -1);
    EXPECT_EQ(cell.ResourceName(), QStringLiteral("no such bitmap"));
    EXPECT_EQ(Shot(cell), before);
}

TEST_F(BitmapCellTest, AnUnboundCellKeepsItsImageForTheFirstPaint) {
    CBitmapCell cell;
    cell.ShowBitmap(kRedDisc);
    EXPECT_FALSE(cell.Bitmap().isNull());
    EXPECT_EQ(cell.ResourceId(), static_cast<int>(kRedDisc));
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(70, 60)));
    EXPECT_EQ(PixelAt(Shot(cell), 35, 30), ToRgb(kRed));
}

TEST_F(BitmapCellTest, ShowingTheSameIdTwiceLoadsItAgain) {
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(70, 60)));
    cell.ShowBitmap(kRedDisc);
    const QImage before = Shot(cell);
    const qint64 first = cell.Bitmap().cacheKey();
    cell.ShowBitmap(kRedDisc);
    EXPECT_NE(cell.Bitmap().cacheKey(), first);
    EXPECT_EQ(Shot(cell), before);
}

class PaletteTest : public BitmapCellTest {
protected:
    void TearDown() override { QApplication::setPalette(m_original); }

    static QPalette ThreeD(const QColor& dark, const QColor& face, const QColor& light) {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Dark, dark);
        palette.setColor(QPalette::Button, face);
        palette.setColor(QPalette::Midlight, light);
        return palette;
    }

    // The three thirds of the greys image, drawn over a 120 x 40 control.
    static void ExpectThirds(const QImage& shot, const QColor& dark, const QColor& face,
                             const QColor& light) {
        EXPECT_EQ(PixelAt(shot, 15, 20), ToRgb(dark));
        EXPECT_EQ(PixelAt(shot, 60, 20), ToRgb(face));
        EXPECT_EQ(PixelAt(shot, 95, 20), ToRgb(light));
    }

    QPalette m_original = QApplication::palette();
};

TEST_F(PaletteTest, TheTestImageHasAColourTable) {
    const QImage image = LoadBitmapResource(kGreysImage);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.colorCount(), 0);
}

TEST_F(PaletteTest, ImageWithAColourTableTakesThePalettes3DColoursAndFollowsChanges) {
    const QColor dark(10, 20, 30);
    const QColor face(40, 200, 60);
    const QColor light(200, 100, 50);
    QWidget* control = MakeControl(120, 40);
    control->setPalette(ThreeD(dark, face, light));
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(control));
    cell.ShowBitmap(kGreysImage);
    ExpectThirds(Shot(cell), dark, face, light);

    // A new palette on the control reloads the image with the new colours.
    const QColor face2(250, 240, 0);
    control->setPalette(ThreeD(dark, face2, light));
    ExpectThirds(Shot(cell), dark, face2, light);
    EXPECT_EQ(cell.ResourceId(), static_cast<int>(kGreysImage));
}

TEST_F(PaletteTest, DesktopColourChangeReloadsByName) {
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(120, 40)));
    cell.ShowBitmap(kGreysName);
    const QColor dark(1, 2, 3);
    const QColor face(90, 91, 92);
    const QColor light(180, 181, 182);
    QApplication::setPalette(ThreeD(dark, face, light));
    QApplication::processEvents();
    ExpectThirds(Shot(cell), dark, face, light);
    EXPECT_EQ(cell.ResourceId(), -1);
    EXPECT_EQ(cell.ResourceName(), kGreysName);
}

TEST_F(PaletteTest, NothingIsReloadedWhenTheLastRequestWasIdZero) {
    const QColor dark(10, 20, 30);
    const QColor face(40, 200, 60);
    const QColor light(200, 100, 50);
    QWidget* control = MakeControl(120, 40);
    control->setPalette(ThreeD(dark, face, light));
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(control));
    cell.ShowBitmap(kGreysImage);
    cell.ShowBitmap(0u);  // names no bitmap: the picture stays, the request is id 0
    EXPECT_EQ(cell.ResourceId(), 0);
    control->setPalette(ThreeD(QColor(0, 0, 0), QColor(255, 255, 255), QColor(0, 0, 255)));
    ExpectThirds(Shot(cell), dark, face, light);
}

TEST_F(PaletteTest, ImagesWithoutAColourTableAreNotMapped) {
    QImage image(4, 1, QImage::Format_RGB32);
    image.setPixelColor(0, 0, QColor(128, 128, 128));
    image.setPixelColor(1, 0, QColor(192, 192, 192));
    image.setPixelColor(2, 0, QColor(223, 223, 223));
    image.setPixelColor(3, 0, QColor(1, 2, 3));
    const QImage mapped = CBitmapCell::MapSystemColours(
        image, ThreeD(QColor(9, 9, 9), QColor(8, 8, 8), QColor(7, 7, 7)));
    EXPECT_EQ(mapped, image);

    // With a colour table only the three greys change.
    QImage indexed = LoadBitmapResource(kGreysImage);
    QList<QRgb> table = indexed.colorTable();
    table.append(qRgb(192, 192, 191));
    indexed.setColorTable(table);
    const QImage remapped = CBitmapCell::MapSystemColours(
        indexed, ThreeD(QColor(9, 9, 9), QColor(8, 8, 8), QColor(7, 7, 7)));
    EXPECT_EQ(remapped.colorTable().back(), qRgb(192, 192, 191));
    EXPECT_EQ(remapped.pixelColor(5, 0), QColor(8, 8, 8));
}

TEST_F(BitmapCellTest, CaptionIsDrawnOnOneLineCentredWithTheAmpersandAsItself) {
    CBitmapCell cell;
    QWidget* control = MakeControl(160, 40);
    ASSERT_TRUE(cell.SubclassWindow(control));
    const QColor face = control->palette().color(QPalette::Button);
    const QFontMetrics metrics(control->font());

    cell.SetWindowText("A&B");
    const QRect ink = InkBox(Shot(cell), {face});
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 80, 3);
    EXPECT_LT(ink.top(), 40 / 4);  // at the top without SS_CENTERIMAGE
    // Three characters wide: the ampersand is drawn, not taken for a mnemonic.
    EXPECT_GT(ink.width(), metrics.horizontalAdvance(QStringLiteral("AB")) + 2);
    EXPECT_LE(ink.width(), metrics.horizontalAdvance(QStringLiteral("A&B")) + 2);
    EXPECT_LE(ink.height(), metrics.height());

    cell.ModifyStyle(0, SS_CENTERIMAGE);
    const QRect centred = InkBox(Shot(cell), {face});
    EXPECT_NEAR(centred.center().y(), 20, 4);
    EXPECT_NEAR(centred.center().x(), 80, 3);
}

TEST_F(BitmapCellTest, CaptionIsDrawnOverTheImage) {
    CBitmapCell cell;
    ASSERT_TRUE(cell.SubclassWindow(MakeControl(160, 60)));
    cell.ShowBitmap(kEdgeImage);
    const QImage plain = Shot(cell);
    cell.SetWindowText("WWW");
    const QImage captioned = Shot(cell);
    // Text pixels appear near the top centre; the rest of the image is untouched.
    const QRect ink = InkBox(captioned, {kWhite, kRed});
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 80, 4);
    EXPECT_EQ(plain.copy(0, 30, 160, 30), captioned.copy(0, 30, 160, 30));
}

TEST_F(BitmapCellTest, SunkenControlKeepsItsBorderAroundTheImage) {
    CBitmapCell cell;
    QWidget* control = MakeControl(188, 100, SS_SUNKEN);
    ASSERT_TRUE(cell.SubclassWindow(control));
    EXPECT_EQ(cell.GetClientRect(), QRect(1, 1, 186, 98));
    cell.ShowBitmap(kEdgeImage);
    const QImage shot = Shot(cell);
    // The image fills the client area: its top-left pixel at (1, 1), more than a pixel wide.
    EXPECT_EQ(PixelAt(shot, 1, 1), ToRgb(kRed));
    EXPECT_EQ(PixelAt(shot, 2, 1), ToRgb(kRed));
    EXPECT_EQ(PixelAt(shot, 186, 98), ToRgb(kWhite));
    // The border: dark at the top and left, light at the bottom and right.
    const QColor dark = control->palette().color(QPalette::Dark);
    const QColor light = control->palette().color(QPalette::Light);
    EXPECT_EQ(PixelAt(shot, 0, 0), ToRgb(dark));
    EXPECT_EQ(PixelAt(shot, 0, 50), ToRgb(dark));
    EXPECT_EQ(PixelAt(shot, 90, 0), ToRgb(dark));
    EXPECT_EQ(PixelAt(shot, 187, 50), ToRgb(light));
    EXPECT_EQ(PixelAt(shot, 90, 99), ToRgb(light));
}

TEST_F(BitmapCellTest, CopiesShareTheImageButNeverTheBinding) {
    QWidget* controlB = MakeControl(70, 60);
    std::unique_ptr<CBitmapCell> copy;
    {
        CBitmapCell original;
        ASSERT_TRUE(original.SubclassWindow(MakeControl(70, 60)));
        original.ShowBitmap(kRedDisc);
        copy = std::make_unique<CBitmapCell>(original);
        EXPECT_FALSE(copy->IsWindow());
        EXPECT_TRUE(original.IsWindow());
        EXPECT_EQ(copy->Bitmap().cacheKey(), original.Bitmap().cacheKey());
        EXPECT_EQ(copy->ResourceId(), static_cast<int>(kRedDisc));
    }
    // The original and its image reference are gone; the copy's image is intact.
    ASSERT_TRUE(copy->SubclassWindow(controlB));
    EXPECT_EQ(PixelAt(Shot(*copy), 35, 30), ToRgb(kRed));

    // Assignment takes the image and the request, and keeps the target's own control.
    CBitmapCell target;
    QWidget* controlC = MakeControl(70, 60);
    ASSERT_TRUE(target.SubclassWindow(controlC));
    target.ShowBitmap(QStringLiteral("greys"));
    target = *copy;
    EXPECT_EQ(target.Widget(), controlC);
    EXPECT_EQ(target.ResourceId(), static_cast<int>(kRedDisc));
    EXPECT_TRUE(target.ResourceName().isEmpty());
    EXPECT_EQ(PixelAt(Shot(target), 35, 30), ToRgb(kRed));

    // Copies of a new cell are new cells.
    const CBitmapCell blank;
    CBitmapCell fromBlank(blank);
    EXPECT_TRUE(fromBlank.Bitmap().isNull());
    EXPECT_EQ(fromBlank.ResourceId(), -1);
    fromBlank = blank;
    EXPECT_TRUE(fromBlank.ResourceName().isEmpty());
}

// The way the moderator's dialog uses its cells: images set before the first data exchange
// binds them, a grid filled by copying a new cell.
class CellDialog : public CDialog {
public:
    CellDialog() : CDialog(Layout()) {}

    static DialogTemplate Layout() {
        DialogTemplate t;
        t.caption = "Cells";
        t.width = 200;
        t.height = 100;
        t.controls = {
            {54, ControlKind::Static, "", 10, 10, 60, 30, SS_SUNKEN, 0, 0},
            {11, ControlKind::Static, "", 80, 10, 40, 40, SS_LEFT | WS_GROUP, 0, 0},
            {12, ControlKind::Static, "", 130, 10, 40, 40, SS_LEFT | WS_GROUP, 0, 0},
        };
        return t;
    }

    bool OnInitDialog() override {
        cells.assign(2, CBitmapCell());
        for (CBitmapCell& cell : cells) {
            cell.ShowBitmap(kEmptyHole);
        }
        banner.ShowBitmap(kRedDisc);
        CDialog::OnInitDialog();
        cells[1].ShowBitmap(kRedDisc);
        QTimer::singleShot(0, Widget(), [this] {
            bannerShot = banner.Widget()->grab().toImage();
            cell0Shot = cells[0].Widget()->grab().toImage();
            cell1Shot = cells[1].Widget()->grab().toImage();
            EndDialog(IDOK);
        });
        return true;
    }

    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, 11, cells[0]);
        DDX_Control(dx, 12, cells[1]);
        DDX_Control(dx, 54, banner);
    }

    std::vector<CBitmapCell> cells;
    CBitmapCell banner;
    QImage bannerShot;
    QImage cell0Shot;
    QImage cell1Shot;
};

TEST(BitmapCellDialogTest, CellsBoundByDataExchangeShowTheirImages) {
    CellDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_FALSE(dialog.bannerShot.isNull());
    const QPoint middle = dialog.bannerShot.rect().center();
    EXPECT_EQ(PixelAt(dialog.bannerShot, middle.x(), middle.y()), ToRgb(kRed));
    const QPoint cellMiddle = dialog.cell0Shot.rect().center();
    EXPECT_EQ(PixelAt(dialog.cell0Shot, cellMiddle.x(), cellMiddle.y()), (Rgb{231, 231, 231}));
    EXPECT_EQ(PixelAt(dialog.cell1Shot, cellMiddle.x(), cellMiddle.y()), ToRgb(kRed));
    // The window is gone; the cells keep their images, unbound.
    EXPECT_FALSE(dialog.banner.IsWindow());
    EXPECT_FALSE(dialog.cells[0].IsWindow());
    EXPECT_FALSE(dialog.banner.Bitmap().isNull());
}

}  // namespace
