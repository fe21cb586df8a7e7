#include "ui/channel/browserToolbar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "ui/widgets/appListCtrl.h"

namespace {
// Escape in the address box goes to the owner.
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
}  // namespace

CBrowserToolbar::CBrowserToolbar(CBrowserToolbarParent* owner, QWidget* parent)
    : QToolBar(parent), owner_(owner), urlEdit_(new UrlEdit(owner, this)) {
    setObjectName(QStringLiteral("browserToolbar"));
    back_ = addAction(QStringLiteral("Back"), this, [this] { owner_->onBrowserGoBack(); });
    forward_ = addAction(QStringLiteral("Forward"), this, [this] { owner_->onBrowserGoForward(); });
    addWidget(new QLabel(QStringLiteral(" Address "), this));
    urlEdit_->setObjectName(QStringLiteral("urlEdit"));
    addWidget(urlEdit_);
    connect(urlEdit_, &QLineEdit::returnPressed, this, [this] {
        std::string url = urlEdit_->text().toStdString();
        trimString(url);
        if (!url.empty()) owner_->onBrowserNavigate(url);
    });
}

void CBrowserToolbar::setUrl(const std::string& url) { urlEdit_->setText(QString::fromStdString(url)); }

std::string CBrowserToolbar::getUrl() const { return urlEdit_->text().toStdString(); }
