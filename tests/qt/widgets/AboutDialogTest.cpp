// The version dialog: its layout from the Designer file and its modal,
// maximised showing.
#include "qt/widgets/AboutDialog.h"
#include "qt/widgets/ImageIconStreched.h"
#include "qt/widgets/ProgramIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace telvane {
namespace {

template <typename T> T* Child(QWidget& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Runs body inside the dialog's modal loop, scheduled before the loop starts.
// Should the body leave the dialog open, a watchdog closes it so that the
// test fails instead of hanging.
int ShowAndRun(TMyAboutDialogBox& dialog, const std::function<void()>& body) {
    QTimer::singleShot(0, &dialog, [&dialog, &body] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        body();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] {
        ADD_FAILURE() << "the dialog was still open";
        dialog.done(-1);
    });
    watchdog.start(10000);
    return dialog.ShowModalMaximized();
}

void PressKey(QWidget* target, Qt::Key key) {
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key);
}

// Labels size themselves to their text, whatever face stands in for the
// designed one.
void ExpectTextFits(const QLabel& label) {
    const QFontMetrics metrics(label.font());
    EXPECT_GE(label.width(), metrics.horizontalAdvance(label.text())) << label.text().toStdString();
    EXPECT_GE(label.height(), metrics.height()) << label.text().toStdString();
}

TEST(AboutDialog, LayoutComesFromTheDesignerFile) {
    TMyAboutDialogBox dialog;

    EXPECT_EQ(dialog.objectName(), "MyAboutDialogBox");
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(u8"ﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(dialog.size(), QSize(298, 213));
    EXPECT_TRUE(dialog.isModal());
    EXPECT_TRUE(dialog.isHidden());

    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    auto* panel = Child<QFrame>(dialog, "Panel1");
    auto* image = Child<TImageIconStreched>(dialog, "ImageIconStreched1");
    auto* product = Child<QLabel>(dialog, "ProductName");
    auto* version = Child<QLabel>(dialog, "Version");
    auto* ok = Child<QPushButton>(dialog, "OKButton");
    ASSERT_TRUE(panel && image && product && version && ok);

    EXPECT_EQ(panel->parentWidget(), &dialog);
    EXPECT_EQ(panel->geometry(), QRect(8, 8, 281, 161));
    EXPECT_EQ(panel->frameShape(), QFrame::Box);
    EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(panel->lineWidth(), 1);

    EXPECT_EQ(image->parentWidget(), panel);
    EXPECT_EQ(image->geometry(), QRect(8, 8, 64, 64));
    EXPECT_TRUE(image->Stretch());

    EXPECT_EQ(product->parentWidget(), panel);
    EXPECT_EQ(product->pos(), QPoint(88, 16));
    ExpectTextFits(*product);
    EXPECT_EQ(product->text(), "Telvane");
    EXPECT_TRUE(product->font().bold());
    EXPECT_TRUE(product->font().italic());
    EXPECT_EQ(product->font().pixelSize(), 16);

    EXPECT_EQ(version->parentWidget(), panel);
    EXPECT_EQ(version->pos(), QPoint(88, 40));
    ExpectTextFits(*version);
    EXPECT_EQ(version->text(), "Version 1.02");
    EXPECT_EQ(version->font().pixelSize(), 12);
    EXPECT_FALSE(version->font().bold());

    EXPECT_EQ(ok->parentWidget(), &dialog);
    EXPECT_EQ(ok->geometry(), QRect(119, 180, 75, 25));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutDialog, FontsAreJapaneseGothicFaces) {
    if (!QFontDatabase::families().contains("IPAPGothic")) {
        GTEST_SKIP() << "the free Japanese face IPAPGothic is not installed";
    }
    TMyAboutDialogBox dialog;
    for (const char* name : {"ProductName", "Version"}) {
        const QString face = QFontInfo(Child<QLabel>(dialog, name)->font()).family();
        EXPECT_TRUE(QFontDatabase::writingSystems(face).contains(QFontDatabase::Japanese))
            << name << ": " << face.toStdString();
    }
}

TEST(AboutDialog, TheImageHoldsTheProgramIconOverThePanelAsABitmapFromTheStart) {
    TMyAboutDialogBox dialog;
    auto* image = Child<TImageIconStreched>(dialog, "ImageIconStreched1");
    ASSERT_NE(image, nullptr);
    const TBitmap* bitmap = image->Picture()->Bitmap();
    ASSERT_NE(bitmap, nullptr) << "the picture still holds an icon";
    const QImage shown = bitmap->Pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(32, 32));

    const QWidget* panel = image->parentWidget();
    const QColor background = panel->palette().color(panel->backgroundRole());
    const QImage icon = ProgramIcon().pixmap(32, 32).toImage();
    int opaque = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor pixel = icon.pixelColor(x, y);
            const QColor expected = pixel.alpha() == 0 ? background : pixel;
            ASSERT_EQ(shown.pixelColor(x, y), expected) << x << ", " << y;
            opaque += pixel.alpha() == 0 ? 0 : 1;
        }
    }
    EXPECT_GT(opaque, 0);
    EXPECT_LT(opaque, 32 * 32);
}

TEST(AboutDialog, OpensMaximisedAndModalAndEnterClosesIt) {
    TMyAboutDialogBox dialog;
    auto* ok = Child<QPushButton>(dialog, "OKButton");
    ASSERT_NE(ok, nullptr);

    const int result = ShowAndRun(dialog, [&] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isMaximized());
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        const QRect screen = dialog.screen()->availableGeometry();
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.frameGeometry() == screen; }))
            << dialog.frameGeometry().width() << " x " << dialog.frameGeometry().height();
        // Filling the screen, its size is fixed: the user cannot resize it.
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return dialog.minimumSize() == dialog.size() && dialog.maximumSize() == dialog.size();
        }));
        // The controls keep their places at the top left.
        EXPECT_EQ(ok->geometry(), QRect(119, 180, 75, 25));
        EXPECT_EQ(dialog.focusWidget(), ok);

        // Escape does not close it; Enter does.
        PressKey(dialog.focusWidget(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.isVisible());
        PressKey(dialog.focusWidget(), Qt::Key_Return);
    });

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(dialog.isHidden());
}

TEST(AboutDialog, ClosingHidesItAndEachShowingIsMaximisedAgain) {
    QPointer<TMyAboutDialogBox> dialog = new TMyAboutDialogBox;

    // The user restores the first showing to its normal size before closing.
    ShowAndRun(*dialog, [&] {
        dialog->showNormal();
        EXPECT_FALSE(dialog->isMaximized());
        PressKey(dialog->focusWidget(), Qt::Key_Return);
    });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dialog.isNull()) << "closing destroyed the dialog";
    EXPECT_TRUE(dialog->isHidden());

    // The Close command closes it as well, with a rejection.
    const int result = ShowAndRun(*dialog, [&] {
        EXPECT_TRUE(dialog->isMaximized());
        EXPECT_EQ(QApplication::activeModalWidget(), dialog.data());
        dialog->close();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isHidden());
    delete dialog.data();
}

} // namespace
} // namespace telvane
