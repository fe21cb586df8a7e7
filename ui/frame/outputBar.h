#pragma once
// The Logs bar: a docking bar with the tabs "Activity" and "Errors", each a
// read-only plain-text control that keeps at most its limit of lines (the
// control drops the oldest lines itself, at a cost that does not grow with
// the lines it keeps). Everything
// shown also goes, untrimmed, to "OrvanActivity.log" and "OrvanError.log" in
// the user's Logs directory, both emptied when the bar is created.
//
//   COutputBar* bar = new COutputBar(mainWindow);
//   bar->create(logsDir, activityLook, errorLook);
//   getOutputBar()->addActivityMessage("10:00 Updated channel X OK.\r\n");
//
// Texts are shown and written unchanged (a text without a final line break
// joins the next one on the same line); CR LF shows as one line break.
#include <QColor>
#include <QDockWidget>
#include <QString>
#include <fstream>
#include <string>

class QTabWidget;
class QPlainTextEdit;

class COutputBar : public QDockWidget {
    Q_OBJECT
public:
    // How one log looks and how many lines it keeps (negative: all).
    struct LogLook {
        int maxMsgs = -1;
        QString fontName;
        int fontSize = 0;  // points; 0 keeps the default
        QColor background;
    };

    explicit COutputBar(QWidget* parent);
    ~COutputBar() override;

    // Builds the tabs, sets the fonts and colours and opens both log files
    // (truncating). False when a log file can't be opened; the bar works
    // all the same.
    bool create(const std::string& logsDir, const LogLook& activity, const LogLook& errors);

    void addActivityMessage(const std::string& text);
    void addErrorMessage(const std::string& text);
    void showActivityTab();
    void showErrorsTab();

    QTabWidget* tabs() const { return tabs_; }
    QPlainTextEdit* activityLog() const { return activity_; }
    QPlainTextEdit* errorLog() const { return errors_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void append(QPlainTextEdit* control, std::ofstream& file, const std::string& text);

    QTabWidget* tabs_ = nullptr;
    QPlainTextEdit* activity_ = nullptr;
    QPlainTextEdit* errors_ = nullptr;
    LogLook activityLook_;
    LogLook errorLook_;
    std::ofstream activityFile_;
    std::ofstream errorFile_;
};

// The current output bar; null before one is made and after it is destroyed.
COutputBar* getOutputBar();
