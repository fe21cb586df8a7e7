#include "widgets/controls/linkButton.h"

#include "widgets/helpers/openers.h"

LinkButton::LinkButton(QWidget* parent) : QPushButton(parent) {
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(
        "QPushButton { color: palette(link); text-decoration: underline; border: none; padding: 0; "
        "text-align: left; } QPushButton:disabled { color: palette(mid); }");
    connect(this, &QPushButton::clicked, this, [this] {
        if (!url_.isEmpty()) openItem((prefix_ + url_).toStdString());
    });
}

void LinkButton::sizeToContent() {
    const QSize hint = sizeHint();
    setFixedSize(hint);
}
