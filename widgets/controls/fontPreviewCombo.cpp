#include "widgets/controls/fontPreviewCombo.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace ui {

namespace {

// Item data: 1 for a scalable (outline) font, 0 for another installed one,
// -1 for a name kept although it is not installed.
constexpr int kTypeRole = Qt::UserRole;
constexpr int kNotInstalled = -1;
constexpr int kGlyphWidth = 15;
constexpr QRgb kSampleColour = qRgb(60, 0, 0);

QFont previewFont(const QString& family, int height) {
    QFont font(family);
    font.setPixelSize(height);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace

class FontPreviewDelegate : public QStyledItemDelegate {
public:
    explicit FontPreviewDelegate(CFontPreviewCombo* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QString name = index.data(Qt::DisplayRole).toString();
        const QFontMetrics preview(previewFont(name, combo_->previewHeight()));
        const QFontMetrics list(option.font);
        const int nameWidth = list.horizontalAdvance(name);
        const int sampleWidth = std::min(299, preview.horizontalAdvance(combo_->sampleText()));
        int width = kGlyphWidth + 10;
        switch (combo_->previewStyle()) {
            case CFontPreviewCombo::NameInFont:
                width += preview.horizontalAdvance(name);
                break;
            case CFontPreviewCombo::NameOnly:
                width += nameWidth;
                break;
            case CFontPreviewCombo::SampleOnly:
                width += sampleWidth;
                break;
            default:
                width += nameWidth + sampleWidth + 20;
                break;
        }
        return QSize(width, std::max(preview.height(), list.height()) + 4);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& colours = option.palette;
        painter->fillRect(option.rect, selected ? colours.color(QPalette::Highlight) : colours.color(QPalette::Base));
        const QColor textColour = selected ? colours.color(QPalette::HighlightedText) : colours.color(QPalette::Text);
        const QColor sampleColour = selected ? textColour : QColor(kSampleColour);
        const QString name = index.data(Qt::DisplayRole).toString();
        const int type = index.data(kTypeRole).toInt();
        int x = option.rect.left() + kGlyphWidth + 10;
        if (type == 1) {
            painter->setPen(textColour);
            QFont glyph = option.font;
            glyph.setBold(true);
            painter->setFont(glyph);
            painter->drawText(QRect(option.rect.left() + 5, option.rect.top(), kGlyphWidth, option.rect.height()),
                              Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("T"));
        }
        const QFont listFont = option.font;
        const QFont preview = previewFont(name, combo_->previewHeight());
        const auto drawAt = [&](const QString& text, const QFont& font, const QColor& colour) {
            painter->setFont(font);
            painter->setPen(colour);
            const QFontMetrics metrics(font);
            painter->drawText(QRect(x, option.rect.top(), option.rect.right() - x, option.rect.height()),
                              Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text);
            return metrics.horizontalAdvance(text);
        };
        switch (combo_->previewStyle()) {
            case CFontPreviewCombo::NameInFont:
                drawAt(name, preview, textColour);
                break;
            case CFontPreviewCombo::NameOnly:
                drawAt(name, listFont, textColour);
                break;
            case CFontPreviewCombo::SampleOnly:
                drawAt(combo_->sampleText(), preview, sampleColour);
                break;
            case CFontPreviewCombo::SampleThenName:
                x += drawAt(combo_->sampleText(), preview, sampleColour) + 20;
                drawAt(name, listFont, textColour);
                break;
            default:
                x += drawAt(name, listFont, textColour) + 20;
                drawAt(combo_->sampleText(), preview, sampleColour);
                break;
        }
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.rect = option.rect;
            focus.palette = colours;
            QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
        }
        painter->restore();
    }

private:
    CFontPreviewCombo* combo_;
};

CFontPreviewCombo::CFontPreviewCombo(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new FontPreviewDelegate(this));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
}

void CFontPreviewCombo::fillFontList() {
    clear();
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    for (const QString& family : families) {
        if (QFontDatabase::isPrivateFamily(family)) continue;
        addItem(family, QFontDatabase::isSmoothlyScalable(family) ? 1 : 0);
    }
    if (count() > 0) setCurrentIndex(0);
}

void CFontPreviewCombo::selectFontName(const QString& name) {
    for (int i = 0; i < count(); ++i)
        if (itemText(i).compare(name, Qt::CaseInsensitive) == 0 && isInstalled(i)) {
            setCurrentIndex(i);
            return;
        }
    if (name.isEmpty()) return;
    const int existing = findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (existing >= 0) {
        setCurrentIndex(existing);
        return;
    }
    insertItem(0, name, kNotInstalled);
    setItemData(0, tr("%1 (not installed)").arg(name), Qt::ToolTipRole);
    setCurrentIndex(0);
}

bool CFontPreviewCombo::isInstalled(int index) const {
    return index >= 0 && index < count() && itemData(index, kTypeRole).toInt() != kNotInstalled;
}

void CFontPreviewCombo::showPopup() {
    int widest = 0;
    QStyleOptionViewItem option;
    option.font = font();
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, itemDelegate()->sizeHint(option, model()->index(i, 0)).width());
    view()->setMinimumWidth(widest + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 15);
    QComboBox::showPopup();
}

}  // namespace ui
