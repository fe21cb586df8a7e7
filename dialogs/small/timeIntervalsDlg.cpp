#include "dialogs/small/timeIntervalsDlg.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "widgets/controls/timeIntervalsCtrl.h"

namespace dialogs {

namespace {

constexpr int kDay = 86400;

}  // namespace

CTimeIntervalsDlg::CTimeIntervalsDlg(const QString& caption, const QString& message, const Intervals& intervals,
                                     QWidget* parent)
    : AppDialog(parent), intervals_(intervals) {
    setObjectName(QStringLiteral("timeIntervalsDialog"));
    setWindowTitle(caption);
    auto* instruction = new QLabel(
        tr("Drag the mouse to define time intervals. To delete a time interval, drag it out of the window or click "
           "on it and press Delete."),
        this);
    instruction->setWordWrap(true);
    message_ = new QLabel(message, this);
    message_->setObjectName(QStringLiteral("messageLabel"));
    message_->setWordWrap(true);
    setControlId(message_, 1113);
    grid_ = new ui::CBCGTimeIntervalsCtrl(this);
    grid_->setObjectName(QStringLiteral("intervalsGrid"));
    setControlId(grid_, 1118);
    grid_->setMinimumSize(260, 420);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(instruction);
    layout->addWidget(grid_, 1);
    layout->addWidget(buttons);
}

int CTimeIntervalsDlg::DoModal() { return runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

void CTimeIntervalsDlg::initDialog() {
    positionDialog(this);
    fillGrid();
}

void CTimeIntervalsDlg::fillGrid() {
    grid_->removeAllIntervals();
    const QDate day(2000, 1, 1);
    for (const auto& [start, end] : intervals_) {
        if (start < 0 || start >= kDay || end < 0 || end > kDay) continue;
        const QDateTime from(day, QTime(start / 3600, (start / 60) % 60), Qt::UTC);
        // Midnight at the end of the day, written 0 or 86400, is 00:00 of the next day.
        const bool endOfDay = end == 0 || end == kDay;
        const QDateTime to(endOfDay ? day.addDays(1) : day, endOfDay ? QTime(0, 0) : QTime(end / 3600, (end / 60) % 60),
                           Qt::UTC);
        grid_->addInterval(from, to, 0);
    }
}

bool CTimeIntervalsDlg::getIntervals(Intervals& intervals) const {
    intervals.clear();
    for (int i = 0; i < grid_->getIntervalCount(); ++i) {
        QDateTime start, end;
        int status = 0;
        grid_->getInterval(i, start, end, status);
        intervals.emplace_back(start.time().hour() * 3600 + start.time().minute() * 60,
                               end.time().hour() * 3600 + end.time().minute() * 60);
    }
    return true;
}

}  // namespace dialogs
