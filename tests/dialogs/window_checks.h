#pragma once
// What a user would see wrong in a window: a mnemonic "&" shown as a
// character, a label or button whose text does not fit the room it got, a
// window (frame included) outside the work area.
//
//   QStringList faults = windowcheck::faultsOf(dialog, QRect(0, 0, 1024, 768));
#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStringList>
#include <QTextDocument>
#include <QTreeWidget>
#include <QWidget>

namespace windowcheck {

// Whether `text` holds an "&" that a mnemonic-aware control would take as a
// mnemonic ("&&" is an escaped ampersand).
inline bool hasMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QString());
    return text.contains(QLatin1Char('&'));
}

inline QString describe(const QWidget* widget) {
    QString name = widget->objectName();
    if (name.isEmpty()) name = QString::fromLatin1(widget->metaObject()->className());
    return name;
}

inline QString windowName(const QWidget* window) {
    return window->windowTitle().isEmpty() ? describe(window) : window->windowTitle();
}

inline bool isRichText(const QLabel* label) {
    return label->textFormat() == Qt::RichText ||
           (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
}

// Faults of the visible controls of `window` as it is laid out now.
inline QStringList controlFaults(const QWidget* window) {
    QStringList faults;
    const QString where = windowName(window) + ": ";
    if (hasMnemonic(window->windowTitle())) faults << where + "\"&\" in the window title";
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty()) continue;
        const QString text = label->text();
        const QString name = where + "label \"" + text.left(40) + "\"";
        // A plain-text label shows "&" unless it has a buddy to hand the mnemonic to.
        if (!isRichText(label) && !label->buddy() && hasMnemonic(text)) faults << name + " shows a mnemonic \"&\"";
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            if (needed > label->height())
                faults << name + QStringLiteral(" needs %1 pixels of height, has %2").arg(needed).arg(label->height());
        } else {
            const QSize needed = label->minimumSizeHint();
            if (needed.width() > label->width() || needed.height() > label->height())
                faults << name + QStringLiteral(" needs %1x%2, has %3x%4")
                                     .arg(needed.width())
                                     .arg(needed.height())
                                     .arg(room.width())
                                     .arg(room.height());
        }
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty()) continue;
        if (!qobject_cast<const QPushButton*>(button) && !qobject_cast<const QCheckBox*>(button) &&
            !qobject_cast<const QRadioButton*>(button))
            continue;
        // The text's own width, the icon and the check indicator: what the
        // button cannot show without cutting its text.
        const QFontMetrics metrics(button->font());
        int needed = metrics.size(Qt::TextShowMnemonic, button->text()).width() + 4;
        if (!button->icon().isNull()) needed += button->iconSize().width() + 4;
        if (!qobject_cast<const QPushButton*>(button))
            needed += button->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                      button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        if (needed > button->width())
            faults << where + "button \"" + button->text() +
                          QStringLiteral("\" needs %1 pixels of width, has %2").arg(needed).arg(button->width());
    }
    for (const QTreeWidget* tree : window->findChildren<QTreeWidget*>()) {
        if (!tree->isVisibleTo(window) || tree->isHeaderHidden()) continue;
        for (int column = 0; column < tree->columnCount(); ++column)
            if (hasMnemonic(tree->headerItem()->text(column)))
                faults << where + "column \"" + tree->headerItem()->text(column) + "\" shows a mnemonic \"&\"";
    }
    return faults;
}

// The window's frame inside the work area. Offscreen windows get no frame:
// a title bar and thin borders are added to their client area.
inline QStringList placementFaults(const QWidget* window, const QRect& workArea) {
    QRect frame = window->frameGeometry();
    if (frame == window->geometry()) frame = window->geometry().marginsAdded(QMargins(4, 30, 4, 4));
    if (workArea.contains(frame)) return {};
    return {windowName(window) + QStringLiteral(": frame %1,%2 %3x%4 outside the work area %5x%6")
                                     .arg(frame.x())
                                     .arg(frame.y())
                                     .arg(frame.width())
                                     .arg(frame.height())
                                     .arg(workArea.width())
                                     .arg(workArea.height())};
}

}  // namespace windowcheck
