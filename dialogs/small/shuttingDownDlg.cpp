#include "dialogs/small/shuttingDownDlg.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace dialogs {

CShuttingDownDlg::CShuttingDownDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("shuttingDownDialog"));
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    text_ = new QLabel(applicationTitle() + " is shutting down...", frame);
    text_->setObjectName(QStringLiteral("shuttingDownText"));
    setControlId(text_, 1113);
    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(24, 16, 24, 16);
    inner->addWidget(text_);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
}

QString CShuttingDownDlg::text() const { return text_->text(); }

}  // namespace dialogs
