#include "widgets/base/appDialog.h"

#include "widgets/base/windowPlacement.h"

namespace dialogs {

AppDialog::AppDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

void AppDialog::makeResizable() {
    resizable_ = true;
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
}

void AppDialog::setVisible(bool visible) {
    if (visible && !initialised_) {
        initialised_ = true;
        if (!testAttribute(Qt::WA_Resized)) adjustSize();
        // A dialog taller or wider than the screen's work area starts as large
        // as the work area lets it, when its contents can do with that.
        fitIntoWorkArea(this);
        initialSize_ = size();
        if (resizable_ && initialSize_.width() >= 1 && initialSize_.height() >= 1) setMinimumSize(initialSize_);
        if (placement_) placement_->restore(this);
        initDialog();
        // Whatever initialisation or a remembered placement did, the dialog
        // opens inside the work area.
        keepRoomForWrappedText(this);
        fitIntoWorkArea(this);
        QMetaObject::invokeMethod(
            this, [this] { onPostInitDialog(); }, Qt::QueuedConnection);
    }
    QDialog::setVisible(visible);
}

void AppDialog::done(int result) {
    if (placement_ && initialised_) placement_->save(this);
    QDialog::done(result);
}

}  // namespace dialogs
