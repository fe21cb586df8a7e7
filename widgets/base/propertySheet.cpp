#include "widgets/base/propertySheet.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "widgets/base/windowPlacement.h"

namespace dialogs {

PropertyPage::PropertyPage(QWidget* parent) : QWidget(parent) {}

void PropertyPage::initialiseOnce() {
    if (initialised_) return;
    initialised_ = true;
    initDialog();
    if (sheet_) sheet_->keepEnterForDefault(this);
    QMetaObject::invokeMethod(
        this, [this] { onPostInitDialog(); }, Qt::QueuedConnection);
}

PropertySheet::PropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : AppDialog(parent), firstPage_(firstPage) {
    setWindowTitle(caption);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, [this] { onOk(); });
    connect(cancel_, &QPushButton::clicked, this, &PropertySheet::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::onTabChanged);
}

void PropertySheet::addPage(PropertyPage* page) {
    page->sheet_ = this;
    pages_.push_back(page);
    switching_ = true;  // the first tab added becomes current: not an activation
    tabs_->addTab(page, page->windowTitle());
    switching_ = false;
}

PropertyPage* PropertySheet::page(int index) const {
    return index >= 0 && index < pageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

PropertyPage* PropertySheet::activePage() const { return page(current_); }

int PropertySheet::activeIndex() const { return current_ >= 0 ? current_ : firstPage_; }

bool PropertySheet::setActivePage(int index) {
    if (!page(index)) return false;
    if (current_ < 0) {
        firstPage_ = index;
        return true;
    }
    switchTo(index, true);
    return current_ == index;
}

bool PropertySheet::setActivePage(PropertyPage* wanted) {
    const auto it = std::find(pages_.begin(), pages_.end(), wanted);
    return it != pages_.end() && setActivePage(static_cast<int>(it - pages_.begin()));
}

void PropertySheet::keepEnterForDefault(QWidget* root) {
    // A focused push button takes Enter for itself when it is an auto-default
    // one (the default for buttons in a dialog): in a sheet Enter belongs to
    // its default button (OK, Next, Finish) whatever has the focus, so only the
    // default buttons keep the behaviour. Space still presses a focused button.
    for (QPushButton* button : root->findChildren<QPushButton*>())
        if (button->window() == this && !button->isDefault()) button->setAutoDefault(false);
}

void PropertySheet::initDialog() {
    keepEnterForDefault(this);
    if (pages_.empty()) return;
    // Every page's tab stays in sight: the sheet is at least as wide as its tab row.
    // An explicit minimum replaces the pages' own: keep theirs when wider.
    tabs_->setMinimumWidth(
        std::max({tabs_->minimumWidth(), tabs_->tabBar()->sizeHint().width() + 8, tabs_->minimumSizeHint().width()}));
    const int first = page(firstPage_) ? firstPage_ : 0;
    switching_ = true;
    tabs_->setCurrentIndex(first);
    switching_ = false;
    current_ = first;
    pages_[static_cast<size_t>(first)]->initialiseOnce();
    pages_[static_cast<size_t>(first)]->onSetActive();
}

void PropertySheet::onTabChanged(int index) {
    if (switching_ || current_ < 0 || index == current_) return;
    const int wanted = index;
    // The tab bar has already switched: put it back, then switch properly.
    switching_ = true;
    tabs_->setCurrentIndex(current_);
    switching_ = false;
    switchTo(wanted, true);
}

void PropertySheet::switchTo(int index, bool askCurrent) {
    PropertyPage* next = page(index);
    if (!next || index == current_) return;
    if (askCurrent && activePage() && !activePage()->onKillActive()) return;
    const int previous = current_;
    switching_ = true;
    tabs_->setCurrentIndex(index);
    switching_ = false;
    current_ = index;
    next->initialiseOnce();
    if (isVisible()) keepRoomForWrappedText(this);
    if (!next->onSetActive() && previous >= 0) {
        switching_ = true;
        tabs_->setCurrentIndex(previous);
        switching_ = false;
        current_ = previous;
    }
}

void PropertySheet::onOk() {
    if (PropertyPage* active = activePage(); active && !active->onKillActive()) return;
    for (size_t i = 0; i < pages_.size(); ++i) {
        PropertyPage* candidate = pages_[i];
        if (!candidate->isInitialised() || candidate->onApply()) continue;
        // The page has shown its message and focused its control: bring it up.
        switchTo(static_cast<int>(i), false);
        if (QWidget* focus = candidate->focusWidget()) focus->setFocus(Qt::OtherFocusReason);
        return;
    }
    accept();
}

void PropertySheet::reject() {
    for (PropertyPage* each : pages_)
        if (each->isInitialised()) each->onCancel();
    AppDialog::reject();
}

}  // namespace dialogs
