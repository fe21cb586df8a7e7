#include "widgets/base/resizer.h"

#include <QVariant>
#include <QWidget>

namespace dialogs {

namespace {

const char* const kControlIdProperty = "controlId";

}  // namespace

void setControlId(QWidget* control, int id) {
    if (control) control->setProperty(kControlIdProperty, id);
}

int controlId(const QWidget* control) {
    const QVariant id = control ? control->property(kControlIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}

QWidget* findControl(const QWidget* parent, int id) {
    if (!parent) return nullptr;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        const QVariant value = widget->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id) return widget;
    }
    return nullptr;
}

void CResizer::resize(QWidget* parent, const Row* table, int horizontalMargin, int verticalMargin,
                      const QRect& layoutRect, bool clamp) {
    parent_ = parent;
    table_ = table;
    marginX_ = horizontalMargin;
    marginY_ = verticalMargin;
    rect_ = layoutRect;
    clamp_ = clamp;
    if (!parent_ || !table_) return;
    layoutAll();
    parent_->update();
}

void CResizer::layoutAll() {
    for (const Row* row = table_; (*row)[0] != kEnd; ++row) layoutRow(*row);
}

QRect CResizer::currentRect(const QWidget* control) const { return control->geometry().translated(-rect_.topLeft()); }

void CResizer::layoutRow(const Row& row) {
    QWidget* control = findControl(parent_, row[0]);
    if (!control) return;
    const QRect now = currentRect(control);
    current_[L] = now.x();
    current_[R] = now.x() + now.width();
    current_[W] = now.width();
    current_[T] = now.y();
    current_[B] = now.y() + now.height();
    current_[H] = now.height();
    for (int i = 0; i < 6; ++i) {
        computed_[i] = -1;
        set_[i] = false;
    }

    if (row[1] == Centre) {
        width(row);
        leftEdge(row);
        rightEdge(row);
    } else {
        leftEdge(row);
        rightEdge(row);
        width(row);
    }
    if (row[10] == Centre) {
        height(row);
        topEdge(row);
        bottomEdge(row);
    } else {
        topEdge(row);
        bottomEdge(row);
        height(row);
    }

    // An edge that no rule set stays where it is.
    for (int field : {L, R, T, B})
        if (!set_[field]) computed_[field] = current_[field];
    int left = computed_[L], right = computed_[R], top = computed_[T], bottom = computed_[B];
    if (clamp_) {
        if (left < 1) left = 0;
        if (top < 1) top = 0;
        if (right >= rect_.width()) right = rect_.width();
        if (bottom >= rect_.height()) bottom = rect_.height();
    }
    control->setGeometry(rect_.left() + left, rect_.top() + top, right - left, bottom - top);
}

void CResizer::leftEdge(const Row& row) { lowEdge(row, true); }
void CResizer::rightEdge(const Row& row) { highEdge(row, true); }
void CResizer::width(const Row& row) { extent(row, true); }
void CResizer::topEdge(const Row& row) { lowEdge(row, false); }
void CResizer::bottomEdge(const Row& row) { highEdge(row, false); }
void CResizer::height(const Row& row) { extent(row, false); }

bool CResizer::referenceEdges(std::int32_t reference, bool horizontal, Edges& out) const {
    if (reference == kLayoutRect) {
        out = {0, horizontal ? rect_.width() : rect_.height(), horizontal ? rect_.width() : rect_.height()};
        return true;
    }
    const QWidget* control = findControl(parent_, reference);
    if (!control) return false;
    const QRect r = currentRect(control);
    out = horizontal ? Edges{r.x(), r.x() + r.width(), r.width()} : Edges{r.y(), r.y() + r.height(), r.height()};
    return true;
}

int CResizer::resolve(std::int32_t value, bool horizontal) const {
    const int margin = horizontal ? marginX_ : marginY_;
    switch (value) {
        case kHalfMargin:
            return margin / 2;
        case kMargin:
            return margin;
        case kTwoMargins:
            return 2 * margin;
        case kMinusHalfMargin:
            return -(margin / 2);
        case kMinusMargin:
            return -margin;
        case kMinusTwoMargins:
            return -2 * margin;
        default:
            return value;
    }
}

namespace {

int percentOf(std::int32_t value, int base) { return static_cast<int>(static_cast<std::int64_t>(value) * base / 100); }

}  // namespace

void CResizer::lowEdge(const Row& row, bool horizontal) {
    const int at = horizontal ? 1 : 10;
    const std::int32_t rule = row[at], reference = row[at + 1], value = row[at + 2];
    const int low = horizontal ? L : T, high = horizontal ? R : B, size = horizontal ? W : H;
    const int extentOfRect = horizontal ? rect_.width() : rect_.height();
    Edges ref{};
    auto setLow = [&](int v) {
        computed_[low] = v;
        set_[low] = true;
    };
    switch (rule) {
        case Absolute:
            setLow(value > 0 ? value : value == 0 ? 0 : extentOfRect + value);
            break;
        case Keep:
            setLow(current_[low]);
            break;
        case Align:
            if (referenceEdges(reference, horizontal, ref)) setLow(ref.low + resolve(value, horizontal));
            break;
        case Abut:
            if (reference != kLayoutRect && referenceEdges(reference, horizontal, ref))
                setLow(ref.high + resolve(value, horizontal));
            break;
        case Centre:
            if (referenceEdges(reference, horizontal, ref)) {
                const int gap = (ref.size - computed_[size]) / 2;
                setLow(ref.low + resolve(value, horizontal) + gap);
                computed_[high] = ref.high + resolve(value, horizontal) - gap;
                set_[high] = true;
            }
            break;
        case Percent:
            if (referenceEdges(reference, horizontal, ref))
                setLow(percentOf(value, reference == kLayoutRect ? extentOfRect : ref.low));
            break;
        default:
            break;
    }
}

void CResizer::highEdge(const Row& row, bool horizontal) {
    const int at = horizontal ? 4 : 13;
    const std::int32_t rule = row[at], reference = row[at + 1], value = row[at + 2];
    const int high = horizontal ? R : B;
    const int extentOfRect = horizontal ? rect_.width() : rect_.height();
    Edges ref{};
    auto setHigh = [&](int v) {
        computed_[high] = v;
        set_[high] = true;
    };
    switch (rule) {
        case Absolute:
            setHigh(value > 0 ? value : value == 0 ? extentOfRect : extentOfRect + value);
            break;
        case Keep:
            setHigh(current_[high]);
            break;
        case Align:
            if (referenceEdges(reference, horizontal, ref)) setHigh(ref.high + resolve(value, horizontal));
            break;
        case Abut:
            if (reference != kLayoutRect && referenceEdges(reference, horizontal, ref))
                setHigh(ref.low - resolve(value, horizontal));
            break;
        case Percent:
            if (referenceEdges(reference, horizontal, ref))
                setHigh(percentOf(value, reference == kLayoutRect ? extentOfRect : ref.high));
            break;
        default:
            break;  // centre is handled with the low edge
    }
}

void CResizer::extent(const Row& row, bool horizontal) {
    const int at = horizontal ? 7 : 16;
    const std::int32_t rule = row[at], reference = row[at + 1], value = row[at + 2];
    const int low = horizontal ? L : T, high = horizontal ? R : B, size = horizontal ? W : H;
    Edges ref{};
    int extentValue = 0;
    switch (rule) {
        case Absolute:
            extentValue = value;
            break;
        case Keep:
            extentValue = current_[size];
            break;
        case Align:
            // The reference's extent grown by the value, whichever edge it places.
            if (!referenceEdges(reference, horizontal, ref)) return;
            extentValue = ref.size + value;
            break;
        case Percent:
            if (!referenceEdges(reference, horizontal, ref)) return;
            extentValue = percentOf(value, ref.size);
            break;
        default:
            return;
    }
    if (set_[low] && !set_[high]) {
        computed_[high] = computed_[low] + extentValue;
        set_[high] = true;
    } else if (set_[high] && !set_[low]) {
        computed_[low] = computed_[high] - extentValue;
        set_[low] = true;
    } else {
        computed_[size] = extentValue;
        set_[size] = true;
    }
}

ResizerLayout::ResizerLayout(QWidget* parent, const CResizer::Row* table) : QLayout(parent), table_(table) {
    setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    setSizeConstraint(QLayout::SetNoConstraint);
}

ResizerLayout::~ResizerLayout() {
    while (!items_.isEmpty()) delete items_.takeFirst();
}

void ResizerLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    CResizer resizer;
    resizer.resize(parentWidget(), table_, kMargin, kMargin, contentsRect(), true);
}

QSize ResizerLayout::sizeHint() const {
    // The controls' places as the window was built, with the margins around
    // (a size grip or other helper without a control id does not count).
    const QWidget* parent = parentWidget();
    if (!parent) return {};
    QRect controls;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && controlId(widget) != 0 && !widget->isHidden())
            controls |= widget->geometry();
    }
    return {controls.x() + controls.width() + kMargin, controls.y() + controls.height() + kMargin};
}

QSize ResizerLayout::minimumSize() const { return {0, 0}; }

void ResizerLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* ResizerLayout::itemAt(int index) const { return items_.value(index); }

QLayoutItem* ResizerLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int ResizerLayout::count() const { return static_cast<int>(items_.size()); }

}  // namespace dialogs
