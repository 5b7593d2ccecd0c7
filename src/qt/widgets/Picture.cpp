#include "qt/widgets/Picture.h"

#include <QApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRect>
#include <QStyle>

namespace telvane {

void TIcon::Draw(QPainter& painter, const QRect& target) const {
    if (Icon_.isNull()) {
        return;
    }
    const QSize size(Width(), Height());
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // QIcon never enlarges an image; an icon whose images are all smaller
    // than the standard size is enlarged to it here, as the window system
    // does.
    painter.drawPixmap(QRect(target.topLeft(), size), Icon_.pixmap(size, ratio));
}

int TIcon::StandardSize() {
    return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
}

void TBitmap::Draw(QPainter& painter, const QRect& target) const {
    painter.drawPixmap(target, Pixmap_);
}

void TPicture::SetIcon(const QIcon& icon) {
    SetGraphic(std::make_unique<TIcon>(icon));
}

void TPicture::SetBitmap(const QPixmap& bitmap) {
    SetGraphic(std::make_unique<TBitmap>(bitmap));
}

void TPicture::SetBitmap(const QImage& bitmap) {
    SetBitmap(QPixmap::fromImage(bitmap));
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    Graphic_ = std::move(graphic);
    // A copy: the callback may replace itself while it runs.
    const TPictureChange handler = OnChange_;
    if (handler) {
        handler(this);
    }
}

} // namespace telvane
