#include "qt/widgets/ImageIconStreched.h"

#include <QBrush>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace telvane {

namespace {

// Sets the re-entry flag for one run of the handler and clears it on every
// way out, a failure included: a flag left set would silently drop every
// later change of the picture.
class TReentryGuard {
public:
    explicit TReentryGuard(bool& flag) : Flag_(flag) { Flag_ = true; }
    ~TReentryGuard() { Flag_ = false; }
    TReentryGuard(const TReentryGuard&) = delete;
    TReentryGuard& operator=(const TReentryGuard&) = delete;

private:
    bool& Flag_;
};

} // namespace

TImageIconStreched::TImageIconStreched(QWidget* parent)
    : TImage(parent), SavedPictureChange_(Picture()->OnChange()) {
    Picture()->SetOnChange([this](TPicture* sender) { HandlePictureChange(sender); });
}

void TImageIconStreched::HandlePictureChange(TPicture* Sender) {
    if (InPictureChange_) {
        return;
    }
    const TReentryGuard guard(InPictureChange_);
    if (Picture()->Icon() != nullptr) {
        ConvertIconToBitmap();
    }
    // Copies: a handler may replace itself while it runs.
    if (const TPictureChange saved = SavedPictureChange_) {
        saved(Sender);
    }
    if (const TPictureChange onChange = OnChange_) {
        onChange(Sender);
    }
}

void TImageIconStreched::ConvertIconToBitmap() {
    TPicture* picture = Picture();
    const TGraphic& icon = *picture->Graphic();
    // The temporary bitmap, of the icon's size: the standard icon size.
    // Being a value, it is released on every way out, a failure included.
    QPixmap bitmap(picture->Width(), picture->Height());
    if (bitmap.isNull()) {
        throw EBitmapError("There are not enough resources for the icon's bitmap");
    }
    {
        QPainter painter(&bitmap);
        PaintParentBackground(painter, bitmap.rect());
        // Transparent parts of the icon leave the background visible.
        icon.Draw(painter, bitmap.rect());
    }
    // Replaces and releases the icon. The picture reports this change at
    // once; it re-enters HandlePictureChange, which ignores it.
    picture->SetBitmap(bitmap);
}

// The bitmap gets the background the parent paints on its own client area,
// from the parent's top-left corner: the parent's palette brush for its
// background role, with the brush origin at the parent's origin, which is
// the bitmap's (0, 0). For a plain colour this is simply that colour. The
// brush is used rather than rendering the parent, because rendering would
// also draw the parent's content, such as a panel's bevel, where only its
// background belongs.
//
// A control without a parent uses its own palette background instead, so
// that the picture never keeps an icon that cannot stretch.
void TImageIconStreched::PaintParentBackground(QPainter& painter, const QRect& area) const {
    const QWidget* source = parentWidget() != nullptr ? parentWidget() : this;
    painter.setBrushOrigin(0, 0);
    painter.fillRect(area, source->palette().brush(source->backgroundRole()));
}

} // namespace telvane
