// The picture, the image control and the control that turns icons into
// stretchable bitmaps.
#include "qt/widgets/ImageIconStreched.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace telvane {
namespace {

const QColor kParentColour(0x20, 0x60, 0xa0);
const QColor kRed(0xff, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xff);

// A transparent square image with a red pixel at (3, 5) and a blue one in the
// bottom-right corner.
QImage PatternImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixelColor(3, 5, kRed);
    image.setPixelColor(size - 1, size - 1, kBlue);
    return image;
}

QIcon PatternIcon(int size) {
    return QIcon(QPixmap::fromImage(PatternImage(size)));
}

QColor PixelOf(const QPixmap& pixmap, int x, int y) {
    return pixmap.toImage().pixelColor(x, y);
}

// An icon of a class of its own, derived from TIcon; it can be told to fail
// while it is drawn.
class TOwnIcon : public TIcon {
public:
    TOwnIcon(QIcon icon, bool fail) : TIcon(std::move(icon)), Fail_(fail) {}
    void Draw(QPainter& painter, const QRect& target) const override {
        if (Fail_) {
            throw std::runtime_error("drawing failed");
        }
        TIcon::Draw(painter, target);
    }

private:
    bool Fail_;
};

// A parent with a colour of its own, and in it the control, 64 x 64 at
// (8, 8), which records each call of its base reaction and of OnChange with
// the kind of graphic the picture held at that moment.
class ImageIconStreched : public ::testing::Test {
protected:
    ImageIconStreched() {
        QPalette palette = Parent.palette();
        palette.setColor(QPalette::Window, kParentColour);
        Parent.setPalette(palette);
        Parent.setAutoFillBackground(true);
        Parent.resize(100, 100);
        Image->setGeometry(8, 8, 64, 64);
        QObject::connect(Image, &TImage::Updated, [this] { Calls.push_back("base " + Kind()); });
        Image->SetOnChange([this](TPicture* sender) {
            EXPECT_EQ(sender, Image->Picture());
            Calls.push_back("OnChange " + Kind());
        });
    }

    std::string Kind() const {
        const TPicture& picture = *Image->Picture();
        if (picture.Icon() != nullptr) {
            return "icon";
        }
        if (picture.Bitmap() != nullptr) {
            return "bitmap";
        }
        return picture.Graphic() == nullptr ? "empty" : "other";
    }

    QPixmap HeldBitmap() const {
        const TBitmap* bitmap = Image->Picture()->Bitmap();
        return bitmap != nullptr ? bitmap->Pixmap() : QPixmap();
    }

    using Log = std::vector<std::string>;

    QWidget Parent;
    TImageIconStreched* Image = new TImageIconStreched(&Parent);
    Log Calls;
};

// An icon becomes a bitmap of the standard icon size at once, with auto-size
// the control takes that size; bitmaps and emptying are not converted, and
// each change is reported once.
TEST_F(ImageIconStreched, IconsBecomeBitmapsOfTheStandardIconSizeAtOnce) {
    ASSERT_EQ(TIcon::StandardSize(), 32);
    Image->SetAutoSize(true);
    const struct {
        const char* Name;
        std::function<void(TPicture&)> Change;
        QSize Held;
    } cases[] = {
        {"16 x 16 icon", [](TPicture& p) { p.SetIcon(PatternIcon(16)); }, {32, 32}},
        {"48 x 48 icon", [](TPicture& p) { p.SetIcon(PatternIcon(48)); }, {32, 32}},
        {"bitmap",
         [](TPicture& p) { p.SetBitmap(QPixmap::fromImage(PatternImage(20))); },
         {20, 20}},
    };
    for (const auto& c : cases) {
        Calls.clear();
        c.Change(*Image->Picture());
        EXPECT_EQ(HeldBitmap().size(), c.Held) << c.Name;
        EXPECT_EQ(Image->size(), c.Held) << c.Name;
        EXPECT_EQ(Calls, (Log{"base bitmap", "OnChange bitmap"})) << c.Name;
    }
    EXPECT_EQ(PixelOf(HeldBitmap(), 0, 0).alpha(), 0) << "the bitmap was painted over";
    Calls.clear();
    Image->Picture()->Clear();
    EXPECT_EQ(Calls, (Log{"base empty", "OnChange empty"}));
}

TEST_F(ImageIconStreched, TheBitmapShowsTheParentsBackgroundThroughTheIcon) {
    // The control's own background differs from its parent's.
    QPalette own = Image->palette();
    own.setColor(QPalette::Window, QColor(0xc0, 0x40, 0x40));
    Image->setPalette(own);

    Image->Picture()->SetIcon(PatternIcon(32));
    const QPixmap bitmap = HeldBitmap();
    EXPECT_EQ(PixelOf(bitmap, 3, 5), kRed);
    EXPECT_EQ(PixelOf(bitmap, 31, 31), kBlue);
    EXPECT_EQ(PixelOf(bitmap, 0, 0), kParentColour);
    EXPECT_EQ(PixelOf(bitmap, 20, 10), kParentColour);

    // An empty icon leaves nothing but the background.
    Image->Picture()->SetIcon(QIcon());
    const QImage empty = HeldBitmap().toImage();
    ASSERT_EQ(empty.size(), QSize(32, 32));
    for (int y = 0; y < empty.height(); ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            ASSERT_EQ(empty.pixelColor(x, y), kParentColour) << x << ", " << y;
        }
    }
}

TEST_F(ImageIconStreched, WithoutAParentTheControlsOwnBackgroundIsUsed) {
    TImageIconStreched orphan;
    QPalette palette = orphan.palette();
    palette.setColor(QPalette::Window, QColor(0x10, 0x80, 0x10));
    orphan.setPalette(palette);

    orphan.Picture()->SetIcon(PatternIcon(32));

    ASSERT_NE(orphan.Picture()->Bitmap(), nullptr);
    EXPECT_EQ(PixelOf(orphan.Picture()->Bitmap()->Pixmap(), 0, 0), QColor(0x10, 0x80, 0x10));
}

TEST_F(ImageIconStreched, StretchedTheIconShowsDoubledAndUnstretchedAtItsOwnSize) {
    Image->SetStretch(true);
    Image->Picture()->SetIcon(PatternIcon(32));
    QPixmap shown = Image->grab();
    ASSERT_EQ(shown.size(), QSize(64, 64));
    for (const QPoint p : {QPoint(6, 10), QPoint(7, 10), QPoint(6, 11), QPoint(7, 11)}) {
        EXPECT_EQ(PixelOf(shown, p.x(), p.y()), kRed) << p.x() << ", " << p.y();
    }
    EXPECT_EQ(PixelOf(shown, 63, 63), kBlue);
    EXPECT_EQ(PixelOf(shown, 8, 10), kParentColour);
    EXPECT_EQ(PixelOf(shown, 0, 0), kParentColour);

    Image->SetStretch(false);
    shown = Image->grab();
    EXPECT_EQ(PixelOf(shown, 3, 5), kRed);
    EXPECT_EQ(PixelOf(shown, 31, 31), kBlue);
    EXPECT_NE(PixelOf(shown, 63, 63), kBlue);
}

TEST_F(ImageIconStreched, ChangesMadeWhileAChangeIsHandledAreKeptButNotHandled) {
    // From inside OnChange: an icon stays an icon and nobody hears of it.
    Image->SetOnChange([this](TPicture* sender) {
        Calls.push_back("OnChange " + Kind());
        if (Calls.size() == 2) {
            sender->SetIcon(PatternIcon(32));
        }
    });
    Image->Picture()->SetBitmap(QPixmap::fromImage(PatternImage(20)));
    EXPECT_EQ(Calls, (Log{"base bitmap", "OnChange bitmap"}));
    EXPECT_EQ(Kind(), "icon");

    // From inside the base reaction: the nested change is not passed on, and
    // OnChange sees the picture as the base reaction left it.
    Image->SetOnChange([this](TPicture*) { Calls.push_back("OnChange " + Kind()); });
    Calls.clear();
    bool changeOnce = true;
    QObject::connect(Image, &TImage::Updated, [&] {
        if (changeOnce) {
            changeOnce = false;
            Image->Picture()->Clear();
        }
    });
    Image->Picture()->SetIcon(PatternIcon(32));
    EXPECT_EQ(Calls, (Log{"base bitmap", "OnChange empty"}));

    // Afterwards changes are handled again.
    Calls.clear();
    Image->Picture()->SetIcon(PatternIcon(32));
    EXPECT_EQ(Kind(), "bitmap");
    EXPECT_EQ(Calls, (Log{"base bitmap", "OnChange bitmap"}));
}

// An icon of a derived class is converted too; a failed conversion reaches
// the changer, and the next change is handled again.
TEST_F(ImageIconStreched, DerivedIconsAreConvertedAndAFailedConversionReachesTheChanger) {
    EXPECT_THROW(Image->Picture()->SetGraphic(std::make_unique<TOwnIcon>(PatternIcon(32), true)),
                 std::runtime_error);
    EXPECT_EQ(Kind(), "icon");
    EXPECT_TRUE(Calls.empty());

    Image->Picture()->SetGraphic(std::make_unique<TOwnIcon>(PatternIcon(32), false));
    EXPECT_EQ(Kind(), "bitmap");
    EXPECT_EQ(PixelOf(HeldBitmap(), 3, 5), kRed);
    EXPECT_EQ(Calls, (Log{"base bitmap", "OnChange bitmap"}));
}

TEST(Image, DrawsAnIconAtItsOwnSizeEvenWhenStretched) {
    QWidget parent;
    auto* image = new TImage(&parent);
    image->setGeometry(0, 0, 64, 64);
    image->SetStretch(true);
    image->Picture()->SetIcon(PatternIcon(32));

    const QPixmap shown = image->grab();
    EXPECT_EQ(PixelOf(shown, 3, 5), kRed);
    EXPECT_EQ(PixelOf(shown, 31, 31), kBlue);
    EXPECT_NE(PixelOf(shown, 63, 63), kBlue);
}

} // namespace
} // namespace telvane
