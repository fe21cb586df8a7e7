#pragma once
// The small captionless window shown while the program shuts down. The exit
// routine creates it without a parent and leaves it up until the process ends.
#include <QDialog>

class QLabel;

namespace dialogs {

class CShuttingDownDlg : public QDialog {
    Q_OBJECT

public:
    // Shown at once, centred on the screen.
    explicit CShuttingDownDlg(QWidget* parent = nullptr);

    QString text() const;

private:
    QLabel* text_;
};

}  // namespace dialogs
