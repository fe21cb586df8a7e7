#include "dialogs/files/fileBrowser.h"

#include <filesystem>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace dialogs {

namespace {

// "Wave files (*.wav)" + "*.wav;*.wave" -> "Wave files (*.wav *.wave)"; "*.*"
// means every file.
QString qtNameFilter(const QString& name, const QString& patterns) {
    QString display = name.trimmed();
    display.remove(QRegularExpression(R"(\s*\([^()]*\)$)"));
    QStringList list;
    for (QString pattern : patterns.split(';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        list << (pattern == "*.*" ? QStringLiteral("*") : pattern);
    }
    if (list.isEmpty()) list << QStringLiteral("*");
    return display + " (" + list.join(' ') + ")";
}

QWidget* findControlBelow(QWidget* parent, int id) {
    if (!parent) return nullptr;
    for (QWidget* widget : parent->findChildren<QWidget*>())
        if (controlId(widget) == id) return widget;
    return nullptr;
}

}  // namespace

FileBrowserDlg::FileBrowserDlg(QWidget* parent, const QString& title, FileFilter filter,
                               std::string* rememberedDirectory)
    : parent_(parent), title_(title), filter_(std::move(filter)), remembered_(rememberedDirectory) {}

bool FileBrowserDlg::browse(std::string& path) {
    std::string directory, file;
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        file = path;
    } else {
        directory = path.substr(0, slash + 1);
        file = path.substr(slash + 1);
    }
    if (directory.empty() && file.empty()) {
        directory = remembered_ && !remembered_->empty() ? *remembered_ : programPaths().programDir;
    }
    // The root keeps its slash; any other directory loses a trailing one.
    if (directory.size() > 1 && directory.back() == '/') directory.pop_back();

    QString chosen = QString::fromStdString(file);
    if (!show(QString::fromStdString(directory), chosen)) return false;
    const std::string result = chosen.toStdString();
    if (remembered_) {
        const std::size_t end = result.find_last_of('/');
        *remembered_ = end == std::string::npos ? std::string() : result.substr(0, end == 0 ? 1 : end);
    }
    path = result;
    return true;
}

bool FileBrowserDlg::browseForControl(int id) {
    QWidget* control = findControlBelow(parent_, id);
    auto* edit = qobject_cast<QLineEdit*>(control);
    auto* combo = qobject_cast<QComboBox*>(control);
    if (!edit && !combo) return false;
    std::string path = (edit ? edit->text() : combo->currentText()).toStdString();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) && !std::filesystem::is_directory(path, error)) path.clear();
    if (!browse(path)) return false;
    const QString text = QString::fromStdString(path);
    if (edit)
        edit->setText(text);
    else
        combo->setEditText(text);
    control->setFocus(Qt::OtherFocusReason);
    return true;
}

void FileBrowserDlg::prepare(QFileDialog& dialog, const QString& startDirectory, const QString& file) const {
    dialog.setObjectName(QStringLiteral("fileBrowser"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(title_);
    QStringList filters;
    for (const auto& [name, patterns] : filter_) filters << qtNameFilter(name, patterns);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!defaultExtension_.isEmpty()) dialog.setDefaultSuffix(defaultExtension_);
    dialog.setDirectory(startDirectory);
    if (!file.isEmpty()) dialog.selectFile(file);
}

bool OpenFileBrowserDlg::show(const QString& startDirectory, QString& file) {
    QFileDialog dialog(parent());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepare(dialog, startDirectory, file);
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    file = dialog.selectedFiles().first();
    return true;
}

bool SaveFileBrowserDlg::show(const QString& startDirectory, QString& file) {
    QFileDialog dialog(parent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    prepare(dialog, startDirectory, file);
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    file = dialog.selectedFiles().first();
    return true;
}

}  // namespace dialogs
