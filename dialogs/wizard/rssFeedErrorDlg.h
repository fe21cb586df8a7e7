#pragma once
// Why a feed could not be used: its address, the error text and the raw text
// that was downloaded (read from the channel's feed log file).
//
//   CRssFeedErrorDlg dialog(url, error, channel->getFeedLogFilename(), parent);
//   dialog.DoModal();
//
// The downloaded text is remote and untrusted: the dialog shows it as plain
// text, and "View as HTML" renders it in a page of its own with JavaScript
// off, no access to local files and no remote loads; the text never becomes
// a local file that a browser would open.
#include <string>

#include <QPointer>

#include "widgets/base/appDialog.h"
#include "widgets/base/windowPlacement.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWebEngineView;

namespace dialogs {

class CRssFeedErrorDlg : public AppDialog {
    Q_OBJECT

public:
    CRssFeedErrorDlg(const std::string& url, const std::string& errorText, const std::string& feedFile,
                     QWidget* parent = nullptr);
    ~CRssFeedErrorDlg() override;

    int DoModal();

    QString feedText() const { return feedText_; }
    // The window of "View as HTML", null until the button was pressed.
    QWidget* htmlWindow() const { return htmlWindow_; }
    QWebEngineView* htmlView() const { return htmlView_; }

    static SaveWindowPlacement& placement();

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    void onViewAsHtml();

    std::string url_;
    std::string errorText_;
    std::string feedFile_;
    QString feedText_;

    QLineEdit* urlEdit_;        // 1153
    QLineEdit* errorEdit_;      // 1151
    QPlainTextEdit* feedEdit_;  // 1152
    QPushButton* viewButton_;   // 1154
    QPushButton* okButton_;
    QPointer<QWidget> htmlWindow_;
    QWebEngineView* htmlView_ = nullptr;
};

}  // namespace dialogs
