#pragma once
// A grid on which the user marks periods of one day (00:00 to 24:00) with the
// mouse or the keyboard. Time runs from top to bottom, one row per hour; each
// period is a bar across the control. Dragging on empty space draws a new
// period, dragging a bar's edge resizes it, dragging its middle moves it and
// dragging it sideways out of the control deletes it; a click selects it and
// the Delete key removes it. Moves and resizes go in 15-minute steps, and a
// period never overlaps another. The times of the period under the pointer or
// being dragged show in a bubble.
//
// Times are given and returned as date-times: a period lies on the control's
// reference date (today at construction), and one that ends at 24:00 ends at
// 00:00 of the following day.
#include <map>
#include <memory>
#include <vector>

#include <QBasicTimer>
#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QRect>
#include <QString>
#include <QWidget>

namespace ui {

class CBcgBubble;

// One period, in seconds from 00:00 of the reference date (end up to 86400).
struct CTimeInterval {
    qint64 start = 0;
    qint64 end = 0;
    int status = -1;  // a category that may have its own fill colour; -1 new

    bool operator==(const CTimeInterval& other) const = default;
};

class CBCGTimeIntervalsCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool MergingIsAllowed MEMBER mergingIsAllowed_)
    Q_PROPERTY(bool MultiplySelection READ multiplySelection WRITE setMultiplySelection)
    Q_PROPERTY(QColor IntervalColor READ intervalColor WRITE setIntervalColor)
    Q_PROPERTY(QColor IntervalTextColor READ intervalTextColor WRITE setIntervalTextColor)
    Q_PROPERTY(QColor BackgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor ForegroundColor READ foregroundColor WRITE setForegroundColor)

public:
    explicit CBCGTimeIntervalsCtrl(QWidget* parent = nullptr);
    ~CBCGTimeIntervalsCtrl() override;

    // --- periods (index: 0-based in start order)
    int getIntervalCount() const { return static_cast<int>(periods_.size()); }
    bool getInterval(int index, QDateTime& start, QDateTime& end, int& status) const;
    // Moves the start's hour and minute onto the reference date (seconds
    // dropped) and keeps the given length. False, nothing added, when it
    // overlaps a period already held, has no length, or runs past 24:00; also
    // false while MultiplySelection is off.
    bool addInterval(const QDateTime& start, const QDateTime& end, int status);
    // Replaces the period at the index; when the new one is refused, the old
    // one stays and the result is false.
    bool changeInterval(int index, const QDateTime& start, const QDateTime& end, int status);
    bool removeInterval(int index);
    void removeAllIntervals();
    int getCurSel() const;
    bool setCurSel(int index);
    bool setIntervalStatus(int index, int status);
    void setStatusColor(int status, const QColor& colour);

    QDate referenceDate() const { return referenceDate_; }

    // --- properties
    bool mergingIsAllowed() const { return mergingIsAllowed_; }
    void setMergingIsAllowed(bool allowed) { mergingIsAllowed_ = allowed; }
    bool multiplySelection() const { return multiplySelection_; }
    void setMultiplySelection(bool multiple);
    QColor intervalColor() const { return intervalColor_; }
    void setIntervalColor(const QColor& colour);
    QColor intervalTextColor() const { return intervalTextColor_; }
    void setIntervalTextColor(const QColor& colour);
    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& colour);
    QColor foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const QColor& colour);

    // --- geometry and texts (also what a test uses to point at a time)
    int hourHeight() const { return hourHeight_; }
    int headerWidth() const { return headerWidth_; }
    QRect innerRect() const;
    // The y of a time in seconds (86400 and beyond: the 24:00 line).
    int timeToY(qint64 seconds) const;
    // The bar of the period at the index (empty when none).
    QRect intervalRect(int index) const;
    // The bubble's text for a period: "start - end\n" when asked, then its
    // length ("1 h 30 m", "24 h").
    QString intervalText(const CTimeInterval& period, bool withTimes) const;
    CBcgBubble* bubble() const { return bubble_.get(); }
    bool isDragging() const { return dragMode_ != Idle; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    enum DragMode { StartEdge = 0, EndEdge = 1, WholePeriod = 2, Outside = 3, Idle = 4 };
    using Periods = std::vector<std::unique_ptr<CTimeInterval>>;

    void layoutGrid();
    void buildFormats();
    QString formatTime(qint64 seconds, const QString& format) const;
    bool timeAt(int y, int x, bool strict, qint64& seconds) const;
    int hitTest(const QPoint& point, CTimeInterval** period) const;
    QRect barRect(const CTimeInterval& period) const;
    // 0: no collision; 1 inside or around (or overlapping without either); 2
    // runs into the other's start; 3 runs into its end. `other` gets the period.
    int collision(const CTimeInterval& period, const CTimeInterval* skip, CTimeInterval** other) const;
    int indexOf(const CTimeInterval* period) const;
    void insertSorted(std::unique_ptr<CTimeInterval> period);
    void resort(CTimeInterval* period);
    // Takes the period out of the list and forgets every reference to it.
    std::unique_ptr<CTimeInterval> takePeriod(CTimeInterval* period);
    void forget(const CTimeInterval* period);
    void cancelDrag();
    void hideBubble();
    void showDragBubble();
    void moveKey(int key, bool shift);
    CTimeInterval* keyTarget() const;
    void stopMergeTimer();

    bool mergingIsAllowed_ = true;
    bool multiplySelection_ = true;
    QColor intervalColor_{255, 255, 128};
    QColor intervalTextColor_;
    QColor backgroundColor_;
    QColor foregroundColor_;

    Periods periods_;
    int headerWidth_ = 0;
    int hourHeight_ = 0;
    int labelStep_ = 0;
    int textHeightThreshold_ = 0;
    bool focused_ = false;
    QFont labelFont_;
    QFont barFont_;
    std::unique_ptr<CBcgBubble> bubble_;

    DragMode dragMode_ = Idle;
    CTimeInterval* dragged_ = nullptr;
    CTimeInterval saved_;
    qint64 dragAnchor_ = 0;
    std::unique_ptr<CTimeInterval> newPeriod_;
    QDate referenceDate_;
    CTimeInterval* mergeFirst_ = nullptr;
    CTimeInterval* mergeSecond_ = nullptr;
    CTimeInterval* hover_ = nullptr;
    QRect hoverRect_;
    CTimeInterval* selected_ = nullptr;
    int buttonDownY_ = 0;
    bool freshlyCreated_ = false;
    std::map<int, QColor> statusColours_;

    bool twentyFourHours_ = true;
    QString hourFormat_;
    QString timeFormat_;
    QString fullTimeFormat_;

    QBasicTimer mergeTimer_;
    QBasicTimer hoverTimer_;
};

}  // namespace ui
