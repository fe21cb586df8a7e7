#include "ui/channel/browserToolbar.h"

#include <QAction>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include "app/core/commandIds.h"
#include "tools/files.h"
#include "tools/tempFile.h"
#include "widgets/controls/appListCtrl.h"

namespace {
constexpr int kMargin = 2;

// The folder of the program's temporary files, learned once.
const std::string& temporaryFolder() {
    static const std::string folder = [] {
        try {
            tools::TempFile probe;
            return tools::getDirectoryOf(probe.getFilename());
        } catch (const std::exception&) {
            return std::string();
        }
    }();
    return folder;
}

// The local file an address names, or "".
std::string localPathOf(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url));
    if (parsed.scheme().compare(QStringLiteral("file"), Qt::CaseInsensitive) == 0) {
        return parsed.toLocalFile().toStdString();
    }
    if (parsed.scheme().size() <= 1 && tools::isFile(url)) return url;
    return {};
}

// Enter goes to the address; Escape gives the focus back to the owner.
class UrlEdit : public QLineEdit {
public:
    UrlEdit(CBrowserToolbarParent* owner, QWidget* parent) : QLineEdit(parent), owner_(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            owner_->onBrowserEscape();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    CBrowserToolbarParent* owner_;
};

QToolButton* makeButton(QAction* action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}
}  // namespace

CBrowserToolbar::CBrowserToolbar(CBrowserToolbarParent* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setObjectName(QStringLiteral("browserToolbar"));
    back_ = new QAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"), this);
    forward_ = new QAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"), this);
    go_ = new QAction(style()->standardIcon(QStyle::SP_ArrowRight), QStringLiteral("Go"), this);
    for (auto [action, id] :
         {std::pair{back_, kCmdBrowserBack}, {forward_, kCmdBrowserForward}, {go_, kCmdBrowserGo}}) {
        action->setProperty("commandId", id);
        connect(action, &QAction::triggered, this, [this, id = id] { runCommand(id); });
    }
    backButton_ = makeButton(back_, this);
    forwardButton_ = makeButton(forward_, this);
    goButton_ = makeButton(go_, this);
    goButton_->setObjectName(QStringLiteral("goButton"));
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    reset();
}

void CBrowserToolbar::reset() {
    delete urlEdit_;
    urlEdit_ = nullptr;
    onReset();
}

void CBrowserToolbar::onReset() {
    if (urlEdit_ == nullptr) {
        urlEdit_ = new UrlEdit(owner_, this);
        urlEdit_->setObjectName(QStringLiteral("urlEdit"));
        urlEdit_->setProperty("commandId", kCmdBrowserAddress);
        connect(urlEdit_, &QLineEdit::returnPressed, this, [this] { goToUrl(); });
        urlEdit_->show();
    }
    updateGeometry();
    layoutUrlBox();
}

bool CBrowserToolbar::isToolbarCommand(int id) {
    return id == kCmdBrowserBack || id == kCmdBrowserForward || id == kCmdBrowserGo;
}

bool CBrowserToolbar::runCommand(int id) {
    switch (id) {
        case kCmdBrowserBack:
            owner_->onBrowserGoBack();
            return true;
        case kCmdBrowserForward:
            owner_->onBrowserGoForward();
            return true;
        case kCmdBrowserGo:
            goToUrl();
            return true;
        default:
            return false;
    }
}

void CBrowserToolbar::goToUrl() {
    if (urlEdit_ == nullptr) return;
    std::string url = urlEdit_->text().toStdString();
    trimString(url);
    if (!url.empty()) owner_->onBrowserNavigate(url);
}

void CBrowserToolbar::setUrl(const std::string& url) {
    if (urlEdit_ == nullptr) return;
    const std::string& temp = temporaryFolder();
    const std::string local = localPathOf(url);
    const bool ownPage = !local.empty() && !temp.empty() && tools::isFileInDirectory(local, temp);
    urlEdit_->setText(ownPage ? QString() : QString::fromStdString(url));
}

std::string CBrowserToolbar::getUrl() const {
    return urlEdit_ != nullptr ? urlEdit_->text().toStdString() : std::string();
}

QSize CBrowserToolbar::sizeHint() const {
    int h = std::max({backButton_->sizeHint().height(), goButton_->sizeHint().height(),
                      urlEdit_ != nullptr ? urlEdit_->sizeHint().height() : 0});
    const int w =
        backButton_->sizeHint().width() + forwardButton_->sizeHint().width() + goButton_->sizeHint().width() + 120;
    return {w, h + 2 * kMargin};
}

void CBrowserToolbar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutUrlBox();
}

void CBrowserToolbar::layoutUrlBox() {
    const int inner = height() - 2 * kMargin;
    int x = kMargin;
    for (QToolButton* button : {backButton_, forwardButton_}) {
        const int w = button->sizeHint().width();
        button->setGeometry(x, kMargin, w, inner);
        x += w;
    }
    separator_->setGeometry(x + 2, kMargin, 4, inner);
    x += 8;
    const int q = height() / 4;
    const int goWidth = goButton_->sizeHint().width();
    const int goLeft = width() - q - goWidth;
    goButton_->setGeometry(goLeft, kMargin, goWidth, inner);
    if (urlEdit_ != nullptr) urlEdit_->setGeometry(x, kMargin, std::max(goLeft - q / 2 - x, 0), inner);
}
