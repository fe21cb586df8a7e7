#include "dialogs/hooks/channelHooksPage.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/hooks/channelHook.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/hooks/channelHookSheet.h"
#include "lib/misc/threadSafety.h"

namespace dialogs {

namespace {

class DeferredHookRelease : public QObject {
public:
    explicit DeferredHookRelease(channels::ChannelHook* hook) : hook_(hook) {}
    ~DeferredHookRelease() override { channels::ChannelHook::releaseReference(hook_); }

private:
    channels::ChannelHook* hook_;
};

bool contains(const std::vector<channels::ChannelHook*>& list, channels::ChannelHook* hook) {
    return std::find(list.begin(), list.end(), hook) != list.end();
}

}  // namespace

void releaseChannelHookLater(channels::ChannelHook* hook) {
    if (!hook) return;
    if (!QCoreApplication::instance()) {
        channels::ChannelHook::releaseReference(hook);
        return;
    }
    // A deferred delete runs only once control is back in the loop that is
    // running now, never in a loop nested inside the current call.
    auto* release = new DeferredHookRelease(hook);
    release->moveToThread(QCoreApplication::instance()->thread());
    release->deleteLater();
}

ChannelHooksEditListBox::ChannelHooksEditListBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("hooksList"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("hooksListBox"));
    newButton_ = new QPushButton(tr("New"), this);
    newButton_->setObjectName(QStringLiteral("newHookButton"));
    deleteButton_ = new QPushButton(tr("Delete"), this);
    deleteButton_->setObjectName(QStringLiteral("deleteHookButton"));
    upButton_ = new QPushButton(tr("Up"), this);
    upButton_->setObjectName(QStringLiteral("upHookButton"));
    downButton_ = new QPushButton(tr("Down"), this);
    downButton_->setObjectName(QStringLiteral("downHookButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(tr("Channel hooks"), this), 1);
    for (QPushButton* button : {newButton_, deleteButton_, upButton_, downButton_}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(list_, 1);

    connect(newButton_, &QPushButton::clicked, this, &ChannelHooksEditListBox::newRequested);
    connect(deleteButton_, &QPushButton::clicked, this, &ChannelHooksEditListBox::deleteRequested);
    connect(upButton_, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        updateButtons();
        emit selectionChanged();
    });
    // A double click on a row (not on the empty area below the rows).
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { emit propertiesRequested(); });
    list_->installEventFilter(this);
    updateButtons();
}

bool ChannelHooksEditListBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space && selectedRow() >= 0) {
        emit propertiesRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ChannelHooksEditListBox::updateButtons() {
    const int row = selectedRow();
    deleteButton_->setEnabled(row >= 0);
    upButton_->setEnabled(row > 0);
    downButton_->setEnabled(row >= 0 && row + 1 < count());
}

int ChannelHooksEditListBox::count() const { return list_->count(); }

channels::ChannelHook* ChannelHooksEditListBox::hook(int row) const {
    const QListWidgetItem* item = list_->item(row);
    return item ? reinterpret_cast<channels::ChannelHook*>(item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

QString ChannelHooksEditListBox::rowText(int row) const {
    const QListWidgetItem* item = list_->item(row);
    return item ? item->text() : QString();
}

void ChannelHooksEditListBox::setRowText(int row, const QString& text) {
    if (QListWidgetItem* item = list_->item(row)) item->setText(text);
}

int ChannelHooksEditListBox::selectedRow() const {
    QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->row(item) : -1;
}

void ChannelHooksEditListBox::selectRow(int row) {
    if (QListWidgetItem* item = list_->item(row)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
    updateButtons();
}

int ChannelHooksEditListBox::addRow(channels::ChannelHook* hook) {
    auto* item = new QListWidgetItem(qs(hook->getDisplayName()));
    item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(hook)));
    list_->addItem(item);
    updateButtons();
    return list_->row(item);
}

void ChannelHooksEditListBox::removeRow(int row) {
    delete list_->takeItem(row);
    updateButtons();
}

void ChannelHooksEditListBox::moveSelected(int step) {
    const int row = selectedRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= count()) return;
    QListWidgetItem* item = list_->takeItem(row);
    list_->insertItem(target, item);
    selectRow(target);
}

CChannelHooksPropPage::CChannelHooksPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Hooks"));
    setObjectName(QStringLiteral("channelHooksPage"));
    list_ = new ChannelHooksEditListBox(this);
    propertiesButton_ = new QPushButton(tr("&Properties"), this);
    propertiesButton_->setObjectName(QStringLiteral("propertiesButton"));
    auto* text = new QLabel(tr("Channel hooks are small programs that hook into the flow of information for each "
                               "channel. They can perform actions such as send an email or SMS message when new items "
                               "are found or save links in a database."),
                            this);
    text->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(propertiesButton_, 0, Qt::AlignRight);
    layout->addWidget(text);

    connect(list_, &ChannelHooksEditListBox::newRequested, this, [this] { onNew(); });
    connect(list_, &ChannelHooksEditListBox::deleteRequested, this, [this] { onDelete(); });
    connect(list_, &ChannelHooksEditListBox::propertiesRequested, this, [this] { postProperties(); });
    connect(list_, &ChannelHooksEditListBox::selectionChanged, this,
            [this] { propertiesButton_->setEnabled(list_->selectedRow() >= 0); });
    connect(propertiesButton_, &QPushButton::clicked, this, [this] { onProperties(); });
}

CChannelHooksPropPage::~CChannelHooksPropPage() {
    for (channels::ChannelHook* hook : droppedBySettings_) releaseChannelHookLater(hook);
    for (channels::ChannelHook* hook : held_) releaseChannelHookLater(hook);
}

std::string& CChannelHooksPropPage::rememberedHookDirectory() {
    static std::string directory;
    return directory;
}

void CChannelHooksPropPage::initDialog() {
    int rowToOpen = -1;
    if (channel_) {
        const channels::ChannelSettings& settings = channel_->getChannelSettings();
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        for (channels::ChannelHook* hook : settings.getChannelHooks()) {
            hook->addReference();
            held_.push_back(hook);
            const int row = list_->addRow(hook);
            if (hook == hookToOpen_) rowToOpen = row;
        }
    }
    propertiesButton_->setEnabled(false);
    if (rowToOpen >= 0) {
        list_->selectRow(rowToOpen);
        postProperties();
    }
}

void CChannelHooksPropPage::postProperties() {
    QMetaObject::invokeMethod(
        this, [this] { onProperties(); }, Qt::QueuedConnection);
}

void CChannelHooksPropPage::onNew() {
    OpenFileBrowserDlg browser(this, tr("Channel hook"),
                               {{tr("Channel hooks (*.hook)"), "*.hook"}, {tr("All files"), "*.*"}},
                               &rememberedHookDirectory());
    browser.setDefaultExtension(QStringLiteral("hook"));
    std::string path;
    if (browser.browse(path)) attachHook(qs(path));
}

bool CChannelHooksPropPage::attachHook(const QString& hookFile) {
    std::unique_ptr<channels::ChannelHook> hook;
    try {
        hook = channels::createChannelHook(ss(hookFile));
        hook->loadConfig(ss(hookFile));
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't load the channel hook.\n\n") + qs(e.what()));
        return false;
    }
    held_.push_back(hook.get());
    list_->selectRow(list_->addRow(hook.release()));
    postProperties();
    return true;
}

void CChannelHooksPropPage::onDelete() {
    const int row = list_->selectedRow();
    if (row < 0) return;
    // The page keeps its reference until it goes.
    list_->removeRow(row);
    propertiesButton_->setEnabled(list_->selectedRow() >= 0);
}

void CChannelHooksPropPage::onProperties() {
    const int row = list_->selectedRow();
    channels::ChannelHook* hook = list_->hook(row);
    if (!hook) {
        QApplication::beep();
        return;
    }
    CChannelHookPropSheet sheet(hook, this, 1);
    if (runModal(sheet) == QDialog::Accepted) list_->setRowText(row, qs(hook->getDisplayName()));
    list_->list()->setFocus();
}

bool CChannelHooksPropPage::onApply() {
    if (!channel_) return CAppPropertyPage::onApply();
    std::vector<channels::ChannelHook*> wanted;
    for (int row = 0; row < list_->count(); ++row) wanted.push_back(list_->hook(row));
    channels::ChannelSettings& settings = channel_->getChannelSettings();
    std::vector<channels::ChannelHook*> current;
    {
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        current = settings.getChannelHooks();
    }
    try {
        // The hooks hear of the change outside the settings' lock (see
        // ChannelSettings::setChannelHooks).
        settings.setChannelHooks(wanted);
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
        return false;
    }
    // The settings own one reference of each hook they hold.
    for (channels::ChannelHook* hook : wanted)
        if (!contains(current, hook)) hook->addReference();
    for (channels::ChannelHook* hook : current)
        if (!contains(wanted, hook)) droppedBySettings_.push_back(hook);
    try {
        settings.save(channel_->getConfigFilename());
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
        return false;
    }
    return CAppPropertyPage::onApply();
}

}  // namespace dialogs
