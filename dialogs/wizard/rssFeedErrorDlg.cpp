#include "dialogs/wizard/rssFeedErrorDlg.h"

#include <fstream>
#include <iterator>

#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace dialogs {

namespace {

// Lets the page load nothing from this machine: only its own data and
// resources of web sites.
class RemoteOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme().toLower();
        if (scheme != QLatin1String("data") && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            info.block(true);
    }
};

// The page the downloaded text is rendered in: no scripts, no local files;
// a clicked web or mail link goes to the user's programs, nothing else is
// followed.
class FeedTextPage : public QWebEnginePage {
public:
    explicit FeedTextPage(QObject* parent) : QWebEnginePage(parent) {
        QWebEngineSettings* s = settings();
        s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        // A child: it outlives the page's own tear-down.
        setUrlRequestInterceptor(new RemoteOnlyInterceptor(this));
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        const QString scheme = url.scheme().toLower();
        if (isMainFrame && type != NavigationTypeLinkClicked && scheme == QLatin1String("data")) return true;
        if (type == NavigationTypeLinkClicked &&
            (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")))
            QDesktopServices::openUrl(url);
        return false;
    }
};

// The page is handed over as a data: address, which the engine limits to
// 2 MB once percent-encoded: a longer text is cut to fit.
QString fitForPage(QString text) {
    constexpr qsizetype kLimit = 2 * 1024 * 1024 - 64;
    while (!text.isEmpty() && text.toUtf8().toPercentEncoding().size() > kLimit) text.truncate(text.size() * 3 / 4);
    return text;
}

QLineEdit* readOnlyField(QWidget* parent, const char* name, int id) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    setControlId(field, id);
    return field;
}

}  // namespace

SaveWindowPlacement& CRssFeedErrorDlg::placement() {
    static SaveWindowPlacement saved;
    return saved;
}

CRssFeedErrorDlg::CRssFeedErrorDlg(const std::string& url, const std::string& errorText, const std::string& feedFile,
                                   QWidget* parent)
    : AppDialog(parent), url_(url), errorText_(errorText), feedFile_(feedFile) {
    setObjectName(QStringLiteral("rssFeedErrorDialog"));
    setWindowTitle(tr("RSS feed error"));
    urlEdit_ = readOnlyField(this, "urlEdit", 1153);
    errorEdit_ = readOnlyField(this, "errorEdit", 1151);
    feedEdit_ = new QPlainTextEdit(this);
    feedEdit_->setObjectName(QStringLiteral("feedTextEdit"));
    feedEdit_->setReadOnly(true);
    feedEdit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    feedEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    setControlId(feedEdit_, 1152);
    viewButton_ = new QPushButton(tr("View as &HTML"), this);
    viewButton_->setObjectName(QStringLiteral("viewAsHtmlButton"));
    setControlId(viewButton_, 1154);
    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tr("URL:"), this), 0, 0);
    fields->addWidget(urlEdit_, 0, 1);
    fields->addWidget(new QLabel(tr("Error:"), this), 1, 0);
    fields->addWidget(errorEdit_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(viewButton_);
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addLayout(fields);
    layout->addWidget(new QLabel(tr("Downloaded feed:"), this));
    layout->addWidget(feedEdit_, 1);
    layout->addLayout(buttons);
    resize(560, 400);

    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(viewButton_, &QPushButton::clicked, this, &CRssFeedErrorDlg::onViewAsHtml);
    makeResizable();
    rememberPlacement(&placement());
}

CRssFeedErrorDlg::~CRssFeedErrorDlg() { delete htmlWindow_; }

int CRssFeedErrorDlg::DoModal() { return runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

void CRssFeedErrorDlg::initDialog() {
    const GlobalOptions& options = GlobalOptions::instance();
    QFont font(QString::fromStdString(options.ErrorLogFontName));
    if (options.ErrorLogFontSize > 0) font.setPointSize(options.ErrorLogFontSize);
    feedEdit_->setFont(font);
    urlEdit_->setText(QString::fromStdString(url_));
    urlEdit_->setCursorPosition(0);
    errorEdit_->setText(QString::fromStdString(errorText_));
    errorEdit_->setCursorPosition(0);

    std::ifstream in(feedFile_, std::ios::binary);
    if (!in) {
        showMessage(this, tr("Can't open the RSS feed file: ") + QString::fromStdString(feedFile_));
        return;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    feedText_ = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Shown as text: whatever the download holds, nothing in it is rendered.
    feedEdit_->setPlainText(feedText_);
}

void CRssFeedErrorDlg::onPostInitDialog() {
    feedEdit_->setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = feedEdit_->textCursor();
    cursor.movePosition(QTextCursor::Start);
    feedEdit_->setTextCursor(cursor);
}

void CRssFeedErrorDlg::onViewAsHtml() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!htmlWindow_) {
        // A window of this dialog: usable while the dialog is modal, closed with it.
        htmlWindow_ = new QWidget(this, Qt::Window);
        htmlWindow_->setObjectName(QStringLiteral("feedHtmlWindow"));
        htmlWindow_->setWindowTitle(tr("Downloaded feed"));
        htmlView_ = new QWebEngineView(htmlWindow_);
        htmlView_->setObjectName(QStringLiteral("feedHtmlView"));
        htmlView_->setPage(new FeedTextPage(htmlView_));
        auto* layout = new QVBoxLayout(htmlWindow_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(htmlView_);
        htmlWindow_->resize(size());
    }
    htmlView_->setHtml(fitForPage(feedText_));
    htmlWindow_->show();
    htmlWindow_->raise();
    htmlWindow_->activateWindow();
    QApplication::restoreOverrideCursor();
}

}  // namespace dialogs
