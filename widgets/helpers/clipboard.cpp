#include "widgets/helpers/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "widgets/helpers/desktopServices.h"

void copyToClipboard(QWidget* owner, const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        showDesktopMessage(owner, "Can't open the clipboard.");
        return;
    }
    clipboard->setText(QString::fromStdString(text));
}

bool getClipboardText(std::string& text, QWidget*) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (data == nullptr || !data->hasText()) return false;
    text = data->text().toStdString();
    return true;
}
