// An image control that can show an icon at a size other than its own.
#pragma once

#include "qt/widgets/Image.h"

#include <stdexcept>
#include <utility>

namespace telvane {

// The bitmap for an icon could not be made.
class EBitmapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An icon is drawn only at its own size, while a bitmap stretches. So when an
// icon is put into this control's picture, the control replaces it at once
// by a bitmap of the icon's size (the standard icon size) that holds the
// icon drawn over the parent's background; Stretch then enlarges it like any
// bitmap.
//
// After every change of the picture from outside, the base reaction of
// TImage and then OnChange run once each, after any conversion, and see the
// bitmap. A change made to the picture from inside either of them is kept by
// the picture but neither converted nor passed on.
class TImageIconStreched : public TImage {
    Q_OBJECT

public:
    // Hooks the picture: keeps its current callback, the base reaction, in
    // SavedPictureChange and points the callback at HandlePictureChange.
    explicit TImageIconStreched(QWidget* parent = nullptr);

    // Called after each change of the picture that the control has handled,
    // with the picture as sender. Empty by default.
    const TPictureChange& OnChange() const { return OnChange_; }
    void SetOnChange(TPictureChange handler) { OnChange_ = std::move(handler); }

    // The picture's change callback; Sender is the picture.
    //
    // Throws EBitmapError, or whatever drawing the icon throws, when the
    // bitmap cannot be made. The picture then keeps the icon, neither the
    // base reaction nor OnChange is called for that change, and the next
    // change is handled as usual.
    void HandlePictureChange(TPicture* Sender);

private:
    void ConvertIconToBitmap();
    void PaintParentBackground(QPainter& painter, const QRect& area) const;

    TPictureChange SavedPictureChange_;
    // True while HandlePictureChange runs.
    bool InPictureChange_ = false;
    TPictureChange OnChange_;
};

} // namespace telvane
