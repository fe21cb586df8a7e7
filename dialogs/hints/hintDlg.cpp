#include "dialogs/hints/hintDlg.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/hints/hints.h"

namespace dialogs {

namespace {

QWidget* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(widget)) return widget;
    return nullptr;
}

}  // namespace

CHintDlg::CHintDlg(const std::string& identifier, QWidget* parent)
    : AppDialog(parent ? parent : mainWindow()), identifier_(identifier), hint_(findHint(identifier)) {
    setObjectName(QStringLiteral("hintDialog"));
    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("hintIcon"));
    setControlId(icon_, 218);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("hintText"));
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    setControlId(text_, 219);
    dontShowAgain_ = new QCheckBox(tr("&Don't show me this again"), this);
    dontShowAgain_->setObjectName(QStringLiteral("dontShowAgainCheck"));
    setControlId(dontShowAgain_, 220);

    auto* top = new QHBoxLayout;
    top->addWidget(icon_, 0, Qt::AlignTop);
    top->addWidget(text_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(dontShowAgain_);
    bottom->addStretch(1);
    for (int slot = 0; slot < 3; ++slot) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("hintButton%1").arg(slot + 1));
        setControlId(button, 221 + slot);
        bottom->addWidget(button);
        buttons_[slot] = button;
        connect(button, &QPushButton::clicked, this, [this, slot] {
            if (hint_) endWith(hint_->buttons->slot[slot].answer);
        });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

QString CHintDlg::message() const {
    if (!hint_) return {};
    QString text = QString::fromUtf8(hint_->hintText) + "\n\n" + QString::fromUtf8(hint_->questionText);
    if (text.size() < 100) text.prepend('\n');
    return text;
}

void CHintDlg::initDialog() {
    setWindowTitle(applicationTitle());
    icon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    text_->setText(message());
    if (hint_) {
        for (int slot = 0; slot < 3; ++slot) {
            const HintButton& def = hint_->buttons->slot[slot];
            QPushButton* button = buttons_[slot];
            if (!def.label) {
                // Hidden and disabled, so that no mnemonic reaches it.
                button->hide();
                button->setEnabled(false);
                continue;
            }
            button->setText(tr(def.label));
            button->setDefault(def.answer == hint_->defaultAnswer);
        }
    }
    fitText();
    positionDialog(this);
}

void CHintDlg::fitText() {
    // A word-wrapped label gets no height of its own from the dialog's layout:
    // fix the text's width and reserve the height that width needs, so that
    // every line shows whatever the text's length.
    QLayout* top = layout();
    top->activate();
    const QFontMetrics metrics(text_->font());
    const int widest = metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs, text_->text()).width();
    const int wanted = std::clamp(widest + 4, 320, 440);
    // The button row may need more room than the text does.
    const int besideText =
        icon_->sizeHint().width() + top->spacing() + top->contentsMargins().left() + top->contentsMargins().right();
    const int width = std::max(wanted, layout()->itemAt(1)->sizeHint().width() + top->contentsMargins().left() +
                                           top->contentsMargins().right() - besideText);
    text_->setFixedWidth(width);
    text_->setMinimumHeight(text_->heightForWidth(width));
    top->invalidate();
    top->activate();
    adjustSize();
}

void CHintDlg::onPostInitDialog() {
    if (!hint_) return;
    for (int slot = 0; slot < 3; ++slot)
        if (buttons_[slot]->isDefault()) buttons_[slot]->setFocus(Qt::OtherFocusReason);
}

void CHintDlg::endWith(int answer) {
    switchOff_ = dontShowAgain_->isChecked() ? 1 : 0;
    done(answer);
}

void CHintDlg::reject() { done(IDCANCEL); }

int CHintDlg::DoModal() {
    if (!hint_) return IDCANCEL;
    if (!isHintEnabled(identifier_)) return hint_->answerWhenOff;
    const int answer = runModal(*this);
    if (switchOff_) setHintEnabled(identifier_, false);
    return answer;
}

}  // namespace dialogs
