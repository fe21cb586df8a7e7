#pragma once
// The program's open and save browsers over Qt's own file dialog. Each use
// remembers its last directory in a string the caller owns (usually a
// process-wide one): a browse that starts without a path opens there, or in
// the program directory the first time, and a successful one moves it to the
// chosen file's directory. Paths keep "/" and have no length limit.
#include <string>
#include <utility>
#include <vector>

#include <QString>

class QFileDialog;
class QWidget;

namespace dialogs {

// Display name and patterns ("*.wav", or several separated by ";"), e.g.
// {{"Wave files (*.wav)", "*.wav"}, {"All files", "*.*"}}.
using FileFilter = std::vector<std::pair<QString, QString>>;

class FileBrowserDlg {
public:
    FileBrowserDlg(QWidget* parent, const QString& title, FileFilter filter, std::string* rememberedDirectory);
    virtual ~FileBrowserDlg() = default;

    // Added to a typed name that has none (no dot).
    void setDefaultExtension(const QString& extension) { defaultExtension_ = extension; }

    // `path` in: where to start (empty: the remembered directory); out: the
    // chosen file. False, and nothing changed, when the user cancels.
    bool browse(std::string& path);
    // Browses from the text of the parent's control with that control id (a
    // line edit or an editable combo box); on success puts the chosen path
    // there and focuses it.
    bool browseForControl(int controlId);

protected:
    // Runs the dialog from `startDirectory` with `file` preselected; on
    // success `file` is the chosen path.
    virtual bool show(const QString& startDirectory, QString& file) = 0;
    // The dialog both browsers share: title, filters, default suffix, Qt's own
    // (not the platform's) dialog.
    void prepare(QFileDialog& dialog, const QString& startDirectory, const QString& file) const;
    QWidget* parent() const { return parent_; }

private:
    QWidget* parent_;
    QString title_;
    FileFilter filter_;
    std::string* remembered_;
    QString defaultExtension_;
};

// Chooses an existing file.
class OpenFileBrowserDlg : public FileBrowserDlg {
public:
    using FileBrowserDlg::FileBrowserDlg;

protected:
    bool show(const QString& startDirectory, QString& file) override;
};

// Chooses a file to write, in an existing folder; an existing file is taken
// without an overwrite question.
class SaveFileBrowserDlg : public FileBrowserDlg {
public:
    using FileBrowserDlg::FileBrowserDlg;

protected:
    bool show(const QString& startDirectory, QString& file) override;
};

}  // namespace dialogs
