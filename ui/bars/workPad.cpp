#include "ui/bars/workPad.h"

#include <QTabWidget>

CWorkPad::CWorkPad(QWidget* parent) : QDockWidget(QStringLiteral("Workpad"), parent), tabs_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("workPad"));
    tabs_->setObjectName(QStringLiteral("workPadTabs"));
    setWidget(tabs_);
}
