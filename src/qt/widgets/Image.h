// An image control: shows the graphic of its picture in its client area.
#pragma once

#include "qt/widgets/Picture.h"

#include <QWidget>

namespace telvane {

// A plain child widget that owns a picture and paints its graphic: a bitmap
// scaled to the whole client area when Stretch is on, otherwise at its own
// size at the top-left corner; an icon always at its own size at the
// top-left corner. Where there is no graphic the parent shows through.
class TImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

public:
    // Points the picture's change callback at PictureChanged.
    explicit TImage(QWidget* parent = nullptr);

    TPicture* Picture() { return &Picture_; }
    const TPicture* Picture() const { return &Picture_; }

    bool Stretch() const { return Stretch_; }
    void SetStretch(bool stretch);
    // With AutoSize on, the control takes the size of each new graphic.
    bool AutoSize() const { return AutoSize_; }
    void SetAutoSize(bool autoSize);

signals:
    // Emitted at the end of PictureChanged.
    void Updated();

protected:
    // The control's own reaction to a change of its picture: with AutoSize
    // on it takes the picture's size, then it repaints.
    void PictureChanged(TPicture* Sender);

    void paintEvent(QPaintEvent* event) override;

private:
    void SizeToPicture();

    TPicture Picture_;
    bool Stretch_ = false;
    bool AutoSize_ = false;
};

} // namespace telvane
