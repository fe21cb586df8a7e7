#pragma once
// A modal dialog in which the user draws the time intervals of one day on a
// time-intervals grid. Intervals are (start, end) pairs in seconds since
// local midnight, kept to the minute; an end of 0 (or 86400) is midnight at
// the end of the day and reads back as 0.
#include <utility>
#include <vector>

#include <QString>

#include "widgets/base/appDialog.h"

class QLabel;

namespace ui {
class CBCGTimeIntervalsCtrl;
}

namespace dialogs {

class CTimeIntervalsDlg : public AppDialog {
    Q_OBJECT

public:
    using Intervals = std::vector<std::pair<int, int>>;

    CTimeIntervalsDlg(const QString& caption, const QString& message, const Intervals& intervals,
                      QWidget* parent = nullptr);

    int DoModal();
    // The intervals the grid holds now, in its order; call after IDOK.
    bool getIntervals(Intervals& intervals) const;

    ui::CBCGTimeIntervalsCtrl* grid() const { return grid_; }

protected:
    void initDialog() override;

private:
    void fillGrid();

    Intervals intervals_;
    ui::CBCGTimeIntervalsCtrl* grid_;
    QLabel* message_;
};

}  // namespace dialogs
