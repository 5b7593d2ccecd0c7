// The program icon: its resource and the two shipped files.
#include "qt/widgets/ProgramIcon.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <QString>

namespace telvane {
namespace {

const QString kFolder = QStringLiteral(TELVANE_ICON_FOLDER);

TEST(ProgramIcon, IsA32By32PictureIn16ColoursOnATransparentBackground) {
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));

    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = image.pixel(x, y);
            ASSERT_TRUE(qAlpha(pixel) == 0 || qAlpha(pixel) == 255) << x << ", " << y;
            colours.insert(qAlpha(pixel) == 0 ? 0 : pixel);
        }
    }
    EXPECT_LE(colours.size(), 16);
    EXPECT_GT(colours.size(), 2);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(31, 31)), 0);
}

TEST(ProgramIcon, TheIcoFileHoldsTheSamePictureAs4BitImageWithMask) {
    QImage ico(kFolder + "/telvane.ico", "ICO");
    const QImage png = QImage(kFolder + "/telvane.png").convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(ico.isNull());
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(ico.text("_q_icoOrigDepth"), "4");
    ico = ico.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(ico.size(), png.size());
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            const QRgb a = ico.pixel(x, y);
            const QRgb b = png.pixel(x, y);
            if (qAlpha(a) == 0 && qAlpha(b) == 0) {
                continue;
            }
            ASSERT_EQ(a, b) << x << ", " << y;
        }
    }
}

} // namespace
} // namespace telvane
