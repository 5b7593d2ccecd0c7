#include "qt/widgets/Image.h"

#include <QPainter>

namespace telvane {

TImage::TImage(QWidget* parent) : QWidget(parent) {
    Picture_.SetOnChange([this](TPicture* sender) { PictureChanged(sender); });
}

void TImage::SetStretch(bool stretch) {
    if (stretch != Stretch_) {
        Stretch_ = stretch;
        update();
    }
}

void TImage::SetAutoSize(bool autoSize) {
    AutoSize_ = autoSize;
    if (AutoSize_) {
        SizeToPicture();
    }
}

void TImage::PictureChanged(TPicture* /*Sender*/) {
    if (AutoSize_) {
        SizeToPicture();
    }
    update();
    emit Updated();
}

void TImage::SizeToPicture() {
    // An empty picture leaves the size alone.
    if (Picture_.Width() > 0 && Picture_.Height() > 0) {
        resize(Picture_.Width(), Picture_.Height());
    }
}

void TImage::paintEvent(QPaintEvent* /*event*/) {
    const TGraphic* graphic = Picture_.Graphic();
    if (graphic == nullptr) {
        return;
    }
    QPainter painter(this);
    const QRect target = Stretch_ ? rect() : QRect(0, 0, graphic->Width(), graphic->Height());
    graphic->Draw(painter, target);
}

} // namespace telvane
