#include "ui/frame/outputBar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QPlainTextEdit>

namespace {

COutputBar* g_outputBar = nullptr;

QPlainTextEdit* makeLog(QWidget* parent, const char* name, const COutputBar::LogLook& look) {
    auto* control = new QPlainTextEdit(parent);
    control->setObjectName(name);
    control->setReadOnly(true);
    control->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Keep maxMsgs lines and the empty line after the last line break.
    if (look.maxMsgs >= 0) control->setMaximumBlockCount(look.maxMsgs + 1);
    control->setContextMenuPolicy(Qt::NoContextMenu);
    if (!look.fontName.isEmpty() || look.fontSize > 0) {
        QFont font = control->font();
        if (!look.fontName.isEmpty()) font.setFamily(look.fontName);
        if (look.fontSize > 0) font.setPointSize(look.fontSize);
        control->setFont(font);
    }
    if (look.background.isValid()) {
        QPalette palette = control->palette();
        palette.setColor(QPalette::Base, look.background);
        control->setPalette(palette);
    }
    return control;
}

}  // namespace

COutputBar* getOutputBar() { return g_outputBar; }

COutputBar::COutputBar(QWidget* parent) : QDockWidget(QStringLiteral("Logs"), parent) {
    setObjectName(QStringLiteral("outputBar"));
    g_outputBar = this;
}

COutputBar::~COutputBar() {
    if (g_outputBar == this) g_outputBar = nullptr;
}

bool COutputBar::create(const std::string& logsDir, const LogLook& activity, const LogLook& errors) {
    activityLook_ = activity;
    errorLook_ = errors;
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("logTabs"));
    activity_ = makeLog(tabs_, "activityLog", activity);
    errors_ = makeLog(tabs_, "errorLog", errors);
    tabs_->addTab(activity_, QStringLiteral("Activity"));
    tabs_->addTab(errors_, QStringLiteral("Errors"));
    setWidget(tabs_);
    // A right click anywhere in the bar shows nothing.
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(tabs_), activity_->viewport(),
                       errors_->viewport(), static_cast<QWidget*>(activity_), static_cast<QWidget*>(errors_)}) {
        w->installEventFilter(this);
    }
    activityFile_.open(logsDir + "/OrvanActivity.log", std::ios::binary | std::ios::trunc);
    errorFile_.open(logsDir + "/OrvanError.log", std::ios::binary | std::ios::trunc);
    return activityFile_.is_open() && errorFile_.is_open();
}

bool COutputBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick ||
        event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
    }
    if (event->type() == QEvent::ContextMenu) return true;
    return QDockWidget::eventFilter(watched, event);
}

void COutputBar::addActivityMessage(const std::string& text) { append(activity_, activityFile_, text); }

void COutputBar::addErrorMessage(const std::string& text) { append(errors_, errorFile_, text); }

void COutputBar::showActivityTab() {
    if (tabs_ != nullptr) tabs_->setCurrentIndex(0);
}

void COutputBar::showErrorsTab() {
    if (tabs_ != nullptr) tabs_->setCurrentIndex(1);
}

void COutputBar::append(QPlainTextEdit* control, std::ofstream& file, const std::string& text) {
    if (control != nullptr) {
        QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        shown.remove(QLatin1Char('\r'));
        QTextCursor cursor(control->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(shown);
        control->verticalScrollBar()->setValue(control->verticalScrollBar()->maximum());
    }
    if (file.is_open()) {
        file << text;
        file.flush();
    }
}
