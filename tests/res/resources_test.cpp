#include "res/resources.h"

#include "tests/support/rgb.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <utility>

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGround{1, 83, 126};
constexpr Rgb kRed{255, 0, 0};

bool Contains(const QImage& image, const Rgb& colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (PixelAt(image, x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

std::uint32_t Le32(const QByteArray& bytes, int offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
    }
    return value;
}

struct BitmapCase {
    unsigned id;
    int width;
    int height;
};

const BitmapCase kBitmaps[] = {
    {1015, 93, 93}, {129, 93, 93},   {130, 93, 93},   {1014, 195, 98}, {1011, 195, 98},
    {46, 195, 98},  {1016, 195, 98}, {1012, 195, 98}, {1013, 115, 28},
};

TEST(BitmapResources, EveryBitmapHasItsSizeAndNoColourTable) {
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.id);
        const QImage image = LoadBitmapResource(c.id);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(c.width, c.height));
        EXPECT_EQ(image.colorCount(), 0);

        // The stored file itself: uncompressed, 24 bits per pixel, pixels right after the two
        // headers, so there is no colour table for a loader to remap.
        QFile file(QStringLiteral(":/bitmaps/%1").arg(c.id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(bytes.left(2), QByteArray("BM"));
        EXPECT_EQ(Le32(bytes, 10), 54u) << "pixel data offset";
        EXPECT_EQ(Le32(bytes, 14), 40u) << "info header size";
        EXPECT_EQ(Le32(bytes, 28) & 0xFFFFu, 24u) << "bits per pixel";
        EXPECT_EQ(Le32(bytes, 30), 0u) << "compression";
        EXPECT_EQ(Le32(bytes, 46), 0u) << "colours used";
        const auto rowBytes = (static_cast<std::uint32_t>(c.width) * 3 + 3) / 4 * 4;
        EXPECT_EQ(static_cast<std::uint32_t>(bytes.size()),
                  54 + rowBytes * static_cast<std::uint32_t>(c.height));
    }
}

TEST(BitmapResources, DiscsShowTheirColourInsideABlackRingOnTheGround) {
    const struct {
        unsigned id;
        Rgb face;
    } discs[] = {{1015, {231, 231, 231}}, {129, kRed}, {130, {73, 73, 73}}};
    for (const auto& disc : discs) {
        SCOPED_TRACE(disc.id);
        const QImage image = LoadBitmapResource(disc.id);
        ASSERT_EQ(image.size(), QSize(93, 93));
        EXPECT_EQ(PixelAt(image, 46, 46), disc.face);
        EXPECT_EQ(PixelAt(image, 20, 46), disc.face);
        EXPECT_EQ(PixelAt(image, 46, 80), disc.face);
        EXPECT_EQ(PixelAt(image, 0, 0), kGround);
        EXPECT_EQ(PixelAt(image, 91, 0), kGround);
        EXPECT_EQ(PixelAt(image, 0, 91), kGround);
        EXPECT_EQ(PixelAt(image, 91, 91), kGround);
        // The ring reaches the left and top edges and is about 4 pixels wide.
        for (int i = 0; i <= 3; ++i) {
            const Rgb left = PixelAt(image, i, 46);
            const Rgb top = PixelAt(image, 46, i);
            EXPECT_LE(left.red + left.green + left.blue, 30) << "left ring at x " << i;
            EXPECT_LE(top.red + top.green + top.blue, 30) << "top ring at y " << i;
        }
        EXPECT_EQ(PixelAt(image, 1, 46), kBlack);
        EXPECT_EQ(PixelAt(image, 46, 1), kBlack);
        EXPECT_EQ(PixelAt(image, 89, 46), kBlack);
        EXPECT_EQ(PixelAt(image, 46, 89), kBlack);
        // The cell control never shows the last column and row: they are ground all along.
        for (int i = 0; i < 93; ++i) {
            EXPECT_EQ(PixelAt(image, 92, i), kGround) << "last column, y " << i;
            EXPECT_EQ(PixelAt(image, i, 92), kGround) << "last row, x " << i;
        }
    }
}

// Checks the black frame of a banner: 1 pixel wide at left and top, `right` and `bottom` pixels at
// right and bottom, and white just inside it.
void ExpectFrame(const QImage& image, int right, int bottom) {
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(PixelAt(image, 0, y), kBlack) << "left edge, y " << y;
        for (int x = w - right; x < w; ++x) {
            EXPECT_EQ(PixelAt(image, x, y), kBlack) << "right edge, x " << x << " y " << y;
        }
    }
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(PixelAt(image, x, 0), kBlack) << "top edge, x " << x;
        for (int y = h - bottom; y < h; ++y) {
            EXPECT_EQ(PixelAt(image, x, y), kBlack) << "bottom edge, x " << x << " y " << y;
        }
    }
    for (int y = 1; y < h - bottom; ++y) {
        EXPECT_EQ(PixelAt(image, 1, y), kWhite) << "inside left edge, y " << y;
        EXPECT_EQ(PixelAt(image, w - right - 1, y), kWhite) << "inside right edge, y " << y;
    }
    for (int x = 1; x < w - right; ++x) {
        EXPECT_EQ(PixelAt(image, x, 1), kWhite) << "inside top edge, x " << x;
        EXPECT_EQ(PixelAt(image, x, h - bottom - 1), kWhite) << "inside bottom edge, x " << x;
    }
}

TEST(BitmapResources, ResultBannersHaveAFrameThickerAtRightAndBottom) {
    const struct {
        unsigned id;
        Rgb lettering;
    } banners[] = {{1011, kRed}, {46, kBlack}, {1016, {255, 0, 255}}};
    for (const auto& banner : banners) {
        SCOPED_TRACE(banner.id);
        const QImage image = LoadBitmapResource(banner.id);
        ASSERT_EQ(image.size(), QSize(195, 98));
        ExpectFrame(image, 2, 2);
        EXPECT_TRUE(Contains(image.copy(2, 2, 190, 93), banner.lettering));
    }
}

TEST(BitmapResources, ErrorBannerHasAThinFrameInsideAWhiteMargin) {
    const QImage image = LoadBitmapResource(1012u);
    ASSERT_EQ(image.size(), QSize(195, 98));
    const QImage framed = image.copy(0, 0, 194, 97);
    ExpectFrame(framed, 1, 1);
    for (int y = 0; y < 98; ++y) {
        EXPECT_EQ(PixelAt(image, 194, y), kWhite) << "right margin, y " << y;
    }
    for (int x = 0; x < 195; ++x) {
        EXPECT_EQ(PixelAt(image, x, 97), kWhite) << "bottom margin, x " << x;
    }
    EXPECT_TRUE(Contains(image.copy(2, 2, 190, 93), Rgb{0, 0, 255}));
}

TEST(BitmapResources, BlankBannerIsWhiteThroughout) {
    const QImage image = LoadBitmapResource(1014u);
    ASSERT_EQ(image.size(), QSize(195, 98));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(PixelAt(image, x, y), kWhite) << "at " << x << ", " << y;
        }
    }
}

TEST(BitmapResources, TitleLogoIsBlueLetteringOnBeige) {
    const QImage image = LoadBitmapResource(1013u);
    ASSERT_EQ(image.size(), QSize(115, 28));
    const Rgb beige{238, 236, 221};
    EXPECT_EQ(PixelAt(image, 0, 0), beige);
    EXPECT_EQ(PixelAt(image, 114, 0), beige);
    EXPECT_EQ(PixelAt(image, 0, 27), beige);
    EXPECT_EQ(PixelAt(image, 114, 27), beige);
    EXPECT_TRUE(Contains(image, Rgb{0, 0, 255}));
}

TEST(BitmapResources, UnknownIdsGiveANullImage) {
    for (const unsigned id : {0u, 1u, 128u, 1010u, 1017u, 65535u, 0x10000u}) {
        EXPECT_TRUE(LoadBitmapResource(id).isNull()) << id;
    }
}

TEST(BitmapResources, OnlyTheLow16BitsOfAnIdNameTheBitmap) {
    const QImage plain = LoadBitmapResource(1015u);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(LoadBitmapResource(1015u + 0x10000u), plain);
    EXPECT_EQ(LoadBitmapResource(1015u + 0xABCD0000u), plain);
}

TEST(BitmapResources, NamesFindBitmapsAndUnknownNamesGiveANullImage) {
    EXPECT_EQ(LoadBitmapResource(QStringLiteral("129")), LoadBitmapResource(129u));
    EXPECT_TRUE(LoadBitmapResource(QStringLiteral("nothing")).isNull());
    EXPECT_TRUE(LoadBitmapResource(QString()).isNull());
    EXPECT_TRUE(LoadBitmapResource(QStringLiteral("../icons/128-32.png")).isNull());
}

// The test program adds a 3 x 2 image of its own (red green blue over blue green red) under the id
// 40001 and the name "probe": the loaders serve any program's resources, not a fixed list.
TEST(BitmapResources, ImagesRegisteredByTheProgramLoadByIdAndByName) {
    const QImage byId = LoadBitmapResource(40001u);
    ASSERT_EQ(byId.size(), QSize(3, 2));
    EXPECT_EQ(PixelAt(byId, 0, 0), kRed);
    EXPECT_EQ(PixelAt(byId, 1, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(byId, 2, 1), kRed);
    EXPECT_EQ(LoadBitmapResource(QStringLiteral("probe")), byId);
}

TEST(StringResources, String101IsTheAboutItem) {
    EXPECT_EQ(LoadStringResource(101), QStringLiteral("&About Pipewell..."));
    EXPECT_TRUE(LoadStringResource(0).isEmpty());
    EXPECT_TRUE(LoadStringResource(100).isEmpty());
    EXPECT_TRUE(LoadStringResource(102).isEmpty());
}

TEST(IconResources, ProgramIconComesInThreeSizes) {
    const QIcon icon = LoadIconResource(128);
    ASSERT_FALSE(icon.isNull());
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(),
              [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
    EXPECT_EQ(sizes, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    EXPECT_TRUE(LoadIconResource(129).isNull());
    EXPECT_TRUE(LoadIconResource(0).isNull());
}

TEST(IconResources, The32PixelImageShowsThreeRedDiscsAndABlackOneTopRight) {
    const QImage image = LoadIconResource(128)
                             .pixmap(QSize(32, 32))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(PixelAt(image, 8, 8), kRed) << "top left";
    EXPECT_EQ(PixelAt(image, 24, 8), kBlack) << "top right";
    EXPECT_EQ(PixelAt(image, 8, 24), kRed) << "bottom left";
    EXPECT_EQ(PixelAt(image, 24, 24), kRed) << "bottom right";
    for (const auto& [x, y] : {std::pair{8, 8}, {24, 8}, {8, 24}, {24, 24}}) {
        EXPECT_EQ(qAlpha(image.pixel(x, y)), 255) << x << ", " << y;
    }
    for (const auto& [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}, {16, 0}, {0, 16}}) {
        EXPECT_EQ(qAlpha(image.pixel(x, y)), 0) << "ground at " << x << ", " << y;
    }
}

TEST(IconResources, OtherSizesCarryAPictureOfTheirOwn) {
    const QIcon icon = LoadIconResource(128);
    for (const int size : {16, 48}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Not the disc picture scaled: its top-right quarter holds no black disc.
        EXPECT_NE(PixelAt(image, size * 3 / 4, size / 4), kBlack);
        EXPECT_FALSE(Contains(image, kRed));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Icons become pixmaps, which need a GUI application; test discovery runs without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
