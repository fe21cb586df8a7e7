#include "dialogs/small/selectChannelDlg.h"

#include <algorithm>
#include <vector>

#include <QListWidget>
#include <QPushButton>

#include "app/core/programObjects.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "lib/misc/threadSafety.h"

namespace dialogs {

namespace {

constexpr int kListId = 1131;
constexpr int kOkId = 1;
constexpr int kCancelId = 2;

using R = CResizer;
const R::Row kLayout[] = {
    R::row(kCancelId, R::none(), R::absolute(0), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kOkId, R::none(), R::abut(kCancelId, R::kHalfMargin), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kListId, R::absolute(0), R::absolute(0), R::none(), R::absolute(0), R::abut(kOkId, R::kMargin), R::none()),
    R::endRow(),
};

channels::Channel* channelOf(const QListWidgetItem* item) {
    return item ? static_cast<channels::Channel*>(item->data(Qt::UserRole).value<void*>()) : nullptr;
}

}  // namespace

SaveWindowPlacement CSelectChannelDlg::placement;

CSelectChannelDlg::CSelectChannelDlg(channels::Channel* channel, QWidget* parent)
    : AppDialog(parent), channel_(channel) {
    setObjectName(QStringLiteral("selectChannelDialog"));
    setWindowTitle(tr("Select channel"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("channelList"));
    setControlId(list_, kListId);
    list_->setGeometry(15, 15, 250, 200);
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    setControlId(ok_, kOkId);
    ok_->setGeometry(105, 230, 75, 25);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    setControlId(cancel_, kCancelId);
    cancel_->setGeometry(190, 230, 75, 25);
    new ResizerLayout(this, kLayout);
    makeResizable();
    rememberPlacement(&placement);

    connect(ok_, &QPushButton::clicked, this, &CSelectChannelDlg::onOk);
    connect(cancel_, &QPushButton::clicked, this, &CSelectChannelDlg::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, &CSelectChannelDlg::onOk, Qt::QueuedConnection); });
}

void CSelectChannelDlg::initDialog() {
    struct Entry {
        QString name;
        channels::Channel* channel;
    };
    std::vector<Entry> entries;
    if (channels::ChannelManager* manager = getChannelManager()) {
        SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
        for (channels::Channel* each : manager->getChannels())
            entries.push_back({QString::fromStdString(each->getDisplayName()), each});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return QString::localeAwareCompare(a.name.toCaseFolded(), b.name.toCaseFolded()) < 0;
    });
    list_->clear();
    QListWidgetItem* selected = nullptr;
    for (const Entry& entry : entries) {
        auto* item = new QListWidgetItem(entry.name, list_);
        item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(entry.channel)));
        if (channel_ && entry.channel == channel_ && !selected) selected = item;
    }
    if (!selected) selected = list_->item(0);
    if (selected) list_->setCurrentItem(selected);
}

void CSelectChannelDlg::onOk() {
    channels::Channel* chosen = channelOf(list_->currentItem());
    // The list was filled when the picker opened: take the channel only if the
    // manager still has it.
    if (chosen) {
        channels::ChannelManager* manager = getChannelManager();
        bool present = false;
        if (manager) {
            SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
            const auto& all = manager->getChannels();
            present = std::find(all.begin(), all.end(), chosen) != all.end();
        }
        if (!present) chosen = nullptr;
    }
    channel_ = chosen;
    accept();
}

}  // namespace dialogs
