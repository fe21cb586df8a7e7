#pragma once
// The control layout table: each row moves and stretches one control of a
// window by rules for its left, right and width, and top, bottom and height,
// measured in a layout rectangle (the client area less the margins). Controls
// are named by the control id given with setControlId.
#include <array>
#include <cstdint>

#include <QLayout>
#include <QRect>

class QWidget;

namespace dialogs {

// Gives a control its id for layout tables (and finds it again).
void setControlId(QWidget* control, int id);
int controlId(const QWidget* control);
QWidget* findControl(const QWidget* parent, int id);

class CResizer {
public:
    // One row: control id, then (rule, reference, value) for left, right,
    // width, top, bottom and height.
    using Row = std::array<std::int32_t, 19>;

    static constexpr std::int32_t kEnd = 0x7FFFFFFF;         // first value of the end row
    static constexpr std::int32_t kLayoutRect = 0x7FFFFFFF;  // reference: the layout rectangle
    // Symbolic values: multiples of the axis's margin.
    static constexpr std::int32_t kHalfMargin = 0x7F000000;
    static constexpr std::int32_t kMargin = 0x7F000001;
    static constexpr std::int32_t kTwoMargins = 0x7F000002;
    static constexpr std::int32_t kMinusHalfMargin = static_cast<std::int32_t>(0x81000000u);
    static constexpr std::int32_t kMinusMargin = static_cast<std::int32_t>(0x80FFFFFFu);
    static constexpr std::int32_t kMinusTwoMargins = static_cast<std::int32_t>(0x80FFFFFEu);

    enum Rule : std::int32_t { None = 0, Absolute = 1, Keep = 2, Align = 3, Abut = 4, Centre = 5, Percent = 6 };

    struct Slot {
        std::int32_t rule = None;
        std::int32_t reference = kLayoutRect;
        std::int32_t value = 0;
    };
    static constexpr Slot none() { return {}; }
    static constexpr Slot absolute(std::int32_t value) { return {Absolute, kLayoutRect, value}; }
    static constexpr Slot keep() { return {Keep, kLayoutRect, 0}; }
    static constexpr Slot align(std::int32_t reference, std::int32_t value) { return {Align, reference, value}; }
    static constexpr Slot abut(std::int32_t reference, std::int32_t value) { return {Abut, reference, value}; }
    static constexpr Slot centre(std::int32_t reference, std::int32_t value) { return {Centre, reference, value}; }
    static constexpr Slot percent(std::int32_t reference, std::int32_t value) { return {Percent, reference, value}; }

    static constexpr Row row(std::int32_t id, Slot left, Slot right, Slot width, Slot top, Slot bottom, Slot height) {
        return {id,          left.rule,   left.reference,   left.value,   right.rule,  right.reference,
                right.value, width.rule,  width.reference,  width.value,  top.rule,    top.reference,
                top.value,   bottom.rule, bottom.reference, bottom.value, height.rule, height.reference,
                height.value};
    }
    static constexpr Row endRow() { return {kEnd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

    virtual ~CResizer() = default;

    // Lays out every row of the table (ended by endRow()) in order, then
    // repaints the parent.
    void resize(QWidget* parent, const Row* table, int horizontalMargin, int verticalMargin, const QRect& layoutRect,
                bool clamp);

protected:
    virtual void layoutAll();
    virtual void layoutRow(const Row& row);
    virtual void leftEdge(const Row& row);
    virtual void rightEdge(const Row& row);
    virtual void width(const Row& row);
    virtual void topEdge(const Row& row);
    virtual void bottomEdge(const Row& row);
    virtual void height(const Row& row);

private:
    enum Field { L = 0, R = 1, W = 2, T = 3, B = 4, H = 5 };
    struct Edges {
        int low, high, size;
    };
    // The reference's edges along one axis: a control's current rectangle, or
    // 0..extent for the layout rectangle. False when the control is missing.
    bool referenceEdges(std::int32_t reference, bool horizontal, Edges& out) const;
    int resolve(std::int32_t value, bool horizontal) const;
    void lowEdge(const Row& row, bool horizontal);
    void highEdge(const Row& row, bool horizontal);
    void extent(const Row& row, bool horizontal);
    QRect currentRect(const QWidget* control) const;

    QWidget* parent_ = nullptr;
    const Row* table_ = nullptr;
    int marginX_ = 0, marginY_ = 0;
    QRect rect_;
    bool clamp_ = false;
    int current_[6] = {};
    int computed_[6] = {};
    bool set_[6] = {};
};

// A layout that runs a constant table over its widget's direct children on
// every resize, with 15-pixel margins and clamping.
class ResizerLayout : public QLayout {
    Q_OBJECT

public:
    static constexpr int kMargin = 15;
    ResizerLayout(QWidget* parent, const CResizer::Row* table);
    ~ResizerLayout() override;

    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override { return {}; }
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

private:
    const CResizer::Row* table_;
    QList<QLayoutItem*> items_;
};

}  // namespace dialogs
