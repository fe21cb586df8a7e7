#include "ui/bars/workPad.h"

#include <QTabWidget>

#include "ui/bars/listImages.h"
#include "ui/bars/readMeList.h"

namespace {
CWorkPad* thePad = nullptr;
}

CWorkPad* getWorkPad() { return thePad; }

CWorkPad::CWorkPad(QWidget* parent)
    : QDockWidget(QStringLiteral("Workpad"), parent),
      tabs_(new QTabWidget(this)),
      readMeList_(new CReadMeListWnd(tabs_)) {
    thePad = this;
    setObjectName(QStringLiteral("workPad"));
    tabs_->setObjectName(QStringLiteral("workPadTabs"));
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->addTab(readMeList_, listImage(kWorkPadTabImages, 0), QStringLiteral("Read me"));
    setWidget(tabs_);
}

CWorkPad::~CWorkPad() {
    if (thePad == this) thePad = nullptr;
}

QWidget* CWorkPad::getActiveTabWnd() const { return isHidden() ? nullptr : tabs_->currentWidget(); }

void CWorkPad::activateReadMeTab() {
    tabs_->setCurrentIndex(0);
    readMeList_->setFocus();
}
