// The graphic an image control shows, and the picture that holds it.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <functional>
#include <memory>
#include <utility>

class QImage;
class QPainter;
class QRect;

namespace telvane {

// One drawable graphic. The kinds are classes, so that "is this an icon" is
// a type test: a class derived from TIcon is an icon too.
class TGraphic {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws the graphic into target the way the window system draws its kind.
    virtual void Draw(QPainter& painter, const QRect& target) const = 0;
};

// An icon. It always measures the system's standard icon size, whatever the
// sizes of its images, and it is drawn only at that size: placed at the
// top-left corner of the target, never scaled to it.
class TIcon : public TGraphic {
public:
    explicit TIcon(QIcon icon = QIcon()) : Icon_(std::move(icon)) {}

    const QIcon& Icon() const { return Icon_; }
    bool Empty() const { return Icon_.isNull(); }

    int Width() const override { return StandardSize(); }
    int Height() const override { return StandardSize(); }
    // An empty icon draws nothing.
    void Draw(QPainter& painter, const QRect& target) const override;

    // The system's standard icon size (QStyle::PM_LargeIconSize), normally 32.
    static int StandardSize();

private:
    QIcon Icon_;
};

// A bitmap. It is drawn scaled to fill the target, pixel by pixel without
// smoothing.
class TBitmap : public TGraphic {
public:
    explicit TBitmap(QPixmap pixmap) : Pixmap_(std::move(pixmap)) {}

    const QPixmap& Pixmap() const { return Pixmap_; }

    int Width() const override { return Pixmap_.width(); }
    int Height() const override { return Pixmap_.height(); }
    void Draw(QPainter& painter, const QRect& target) const override;

private:
    QPixmap Pixmap_;
};

class TPicture;

// The change callback of a picture; it receives the picture as its sender.
using TPictureChange = std::function<void(TPicture* Sender)>;

// Holds one graphic, or nothing, and reports every change of it through a
// single callback, which its owner can read and replace. The callback runs
// after the new graphic is in place; it may change the picture again, or
// replace itself, from inside. A failure it throws reaches the code that
// changed the picture, with the new graphic kept.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // nullptr when the picture is empty.
    const TGraphic* Graphic() const { return Graphic_.get(); }
    // The graphic as an icon (of any class derived from TIcon) or a bitmap;
    // nullptr when it is not one.
    const TIcon* Icon() const { return dynamic_cast<const TIcon*>(Graphic_.get()); }
    const TBitmap* Bitmap() const { return dynamic_cast<const TBitmap*>(Graphic_.get()); }

    // The graphic's size; 0 when the picture is empty.
    int Width() const { return Graphic_ ? Graphic_->Width() : 0; }
    int Height() const { return Graphic_ ? Graphic_->Height() : 0; }

    // Each of these replaces the graphic and then calls the change callback.
    void SetIcon(const QIcon& icon);
    void SetBitmap(const QPixmap& bitmap);
    void SetBitmap(const QImage& bitmap);
    // Any graphic, including classes derived from TIcon or TBitmap; nullptr
    // empties the picture.
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    void Clear() { SetGraphic(nullptr); }

    const TPictureChange& OnChange() const { return OnChange_; }
    void SetOnChange(TPictureChange handler) { OnChange_ = std::move(handler); }

private:
    std::unique_ptr<TGraphic> Graphic_;
    TPictureChange OnChange_;
};

} // namespace telvane
