#include "ui/bars/readMeList.h"

#include <QApplication>
#include <QMenu>
#include <QStatusBar>
#include <QUrl>

#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/misc/readMeLimits.h"
#include "app/options/globalOptions.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "widgets/base/messageBox.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "ui/bars/workPad.h"
#include "ui/channel/channelDoc.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/clipboard.h"
#include "widgets/helpers/openers.h"

namespace {
const std::string kSection = "Read-me List";

QColor colorOf(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void hideWorkPad() {
    if (CMainFrame* frame = getMainFrame()) frame->showWorkPad(false);
}
}  // namespace

struct CReadMeListWnd::Entry {
    std::string channelFile;  // empty for a bare address
    std::string feedItemId;
    std::string itemUrl;
    std::string itemTitle;
    channels::Channel* channel() const { return channelFile.empty() ? nullptr : findChannel(channelFile); }
};

CReadMeListWnd::CReadMeListWnd(QWidget* parent) : CAppListCtrl(nullptr, parent) {
    setObjectName(QStringLiteral("readMeList"));
    restyle();
}

CReadMeListWnd::~CReadMeListWnd() {
    for (int row = 0; row < rowCount(); ++row) delete entryAt(row);
}

const std::string& CReadMeListWnd::configFile() const {
    return configFile_.empty() ? programPaths().userConfigFile : configFile_;
}

CReadMeListWnd::Entry* CReadMeListWnd::entryAt(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? static_cast<Entry*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

void CReadMeListWnd::restyle() {
    const GlobalOptions& o = GlobalOptions::instance();
    applyListStyle();
    QFont font;
    if (!o.ReadMeListFontName.empty()) font.setFamily(QString::fromStdString(o.ReadMeListFontName));
    if (o.ReadMeListFontSize > 0) font.setPixelSize(o.ReadMeListFontSize);
    setFont(font);
    QPalette p = palette();
    p.setColor(QPalette::Base, colorOf(o.ReadMeListBgdCol));
    p.setColor(QPalette::Text, colorOf(o.ReadMeListFgdCol));
    setPalette(p);
    viewport()->update();
}

bool CReadMeListWnd::addItem(channels::Channel* channel, const std::string& feedItemId, const std::string& itemUrl,
                             const std::string& itemTitle, bool select) {
    std::string url = itemUrl;
    trimString(url);
    if (url.empty()) return false;
    auto* entry =
        new Entry{channel != nullptr ? channel->getConfigFilename() : std::string(), feedItemId, url, itemTitle};
    std::string text = itemTitle;
    if (channel != nullptr) text += " - [" + channels::getChannelDisplayName(channel) + "]";
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(entry)));
    addTopLevelItem(item);
    count_ = rowCount();
    if (select) {
        selectRow(rowOf(item));
        setFocus();
    }
    return true;
}

int CReadMeListWnd::findItem(channels::Channel* channel, const std::string& feedItemId) const {
    const std::string file = channel != nullptr ? channel->getConfigFilename() : std::string();
    for (int row = 0; row < rowCount(); ++row) {
        const Entry* e = entryAt(row);
        if (compareNoCase(e->feedItemId, feedItemId) == 0 && (channel == nullptr || e->channelFile == file)) return row;
    }
    return -1;
}

int CReadMeListWnd::findItemByUrl(const std::string& itemUrl) const {
    for (int row = 0; row < rowCount(); ++row) {
        if (compareNoCase(entryAt(row)->itemUrl, itemUrl) == 0) return row;
    }
    return -1;
}

void CReadMeListWnd::announce(const std::string& title) {
    if (GlobalOptions::instance().AutoShowWorkPad) {
        if (CMainFrame* frame = getMainFrame()) frame->showWorkPad(true);
    }
    if (CMainFrame* frame = getMainFrame()) {
        frame->statusBar()->showMessage(QString::fromStdString("Added \"" + title + "\""));
    }
}

bool CReadMeListWnd::isFull() const { return count_ >= kMaxReadMeEntries; }

bool CReadMeListWnd::canAdd(const std::string& url) {
    std::string text;
    if (url.size() > kMaxReadMeAddressLength)
        text = "The address is too long for the read-me list (at most " + std::to_string(kMaxReadMeAddressLength) +
               " bytes).";
    else if (isFull())
        text = "The read-me list is full (" + std::to_string(kMaxReadMeEntries) +
               " entries). Open or remove some entries first.";
    else
        return true;
    ORVAN_LOG_ANY() << "Read-me list: " << text << std::endl;
    if (CMainFrame* frame = getMainFrame()) frame->statusBar()->showMessage(QString::fromStdString(text));
    return false;
}

bool CReadMeListWnd::addFeedItem(channels::Channel* channel, const std::string& feedItemId, const std::string& itemUrl,
                                 const std::string& itemTitle, bool select) {
    const int row = findItem(channel, feedItemId);
    if (row >= 0 && !feedItemId.empty()) {
        selectRow(row);
    } else {
        if (!canAdd(itemUrl) || !addItem(channel, feedItemId, itemUrl, itemTitle, select)) return false;
        save();
    }
    announce(itemTitle);
    return true;
}

bool CReadMeListWnd::addUrl(const std::string& url, bool select) {
    std::string trimmed = url;
    trimString(trimmed);
    const int row = findItemByUrl(trimmed);
    if (row >= 0) {
        selectRow(row);
    } else {
        if (!canAdd(trimmed) || !addItem(nullptr, "", trimmed, trimmed, select)) return false;
        save();
    }
    announce(trimmed);
    return true;
}

void CReadMeListWnd::getItem(int index, channels::Channel** channel, std::string* feedItemId, std::string* itemUrl,
                             std::string* itemTitle) const {
    const Entry* e = entryAt(index);
    if (e == nullptr) return;
    if (channel != nullptr) *channel = e->channel();
    if (feedItemId != nullptr) *feedItemId = e->feedItemId;
    if (itemUrl != nullptr) *itemUrl = e->itemUrl;
    if (itemTitle != nullptr) *itemTitle = e->itemTitle;
}

bool CReadMeListWnd::save() {
    const std::string& file = configFile();
    platform::profile::WriteBatch batch(file);
    bool ok = tools::deleteIniSection(file, kSection);
    for (int row = 0; row < rowCount(); ++row) {
        const Entry* e = entryAt(row);
        const std::string n = std::to_string(row);
        ok = tools::writeIniString(file, kSection, "FeedItemId-" + n, e->feedItemId) && ok;
        ok = tools::writeIniString(file, kSection, "ItemUrl-" + n, e->itemUrl) && ok;
        ok = tools::writeIniString(file, kSection, "ItemTitle-" + n, e->itemTitle) && ok;
        if (channels::Channel* channel = e->channel()) {
            ok = tools::writeIniString(file, kSection, "ChannelUrl-" + n, channel->getSourceUrl()) && ok;
        }
    }
    return batch.commit() && ok;
}

void CReadMeListWnd::load() {
    removeAll();
    const std::string& file = configFile();
    const std::vector<std::string> keys = tools::getIniKeyNames(file, kSection);
    auto has = [&](const std::string& key) {
        for (const std::string& k : keys) {
            if (compareNoCase(k, key) == 0) return true;
        }
        return false;
    };
    channels::ChannelManager* manager = getChannelManager();
    for (int n = 0;; ++n) {
        const std::string s = std::to_string(n);
        if (!has("ItemUrl-" + s) && !has("FeedItemId-" + s) && !has("ItemTitle-" + s) && !has("ChannelUrl-" + s)) break;
        const std::string url = tools::getIniString(file, kSection, "ItemUrl-" + s, "", true);
        if (url.empty()) continue;  // a broken entry; the ones after it still count
        const std::string id = tools::getIniString(file, kSection, "FeedItemId-" + s, "", false);
        const std::string channelUrl = tools::getIniString(file, kSection, "ChannelUrl-" + s, "", false);
        const std::string title = tools::getIniString(file, kSection, "ItemTitle-" + s, "", false);
        channels::Channel* channel =
            manager != nullptr && !channelUrl.empty() ? manager->findChannel(channelUrl) : nullptr;
        addItem(channel, id, url, title, false);
    }
}

void CReadMeListWnd::removeAll() {
    while (rowCount() > 0) removeItem(0);
}

void CReadMeListWnd::removeItem(int index) {
    QTreeWidgetItem* item = rowItem(index);
    if (item == nullptr) return;
    delete entryAt(index);
    delete item;
    count_ = rowCount();
    if (rowCount() > 0) selectRow(std::min(index, rowCount() - 1));
}

void CReadMeListWnd::removeAndSave(int index) {
    removeItem(index);
    if (GlobalOptions::instance().AutoHideWorkPad && rowCount() == 0) hideWorkPad();
    save();
}

void CReadMeListWnd::openItem(int index) {
    const Entry* e = entryAt(index);
    if (e == nullptr) return;
    const QUrl url(QString::fromStdString(e->itemUrl));
    if (!isOpenableUrl(url)) {
        showDesktopMessage(this, "This link can't be opened: " + e->itemUrl);
        return;
    }
    CChannelDoc* doc = CChannelDoc::openChannelDoc(e->channel(), true);
    if (doc != nullptr) {
        doc->activateFrame(false);
        doc->navigate(e->itemUrl);
    } else if (DesktopServices* services = getDesktopServices()) {
        services->showInSimpleBrowser(e->itemTitle, e->itemUrl, true);
    }
    if (GlobalOptions::instance().AutoHideWorkPad) hideWorkPad();
    removeAndSave(index);
}

bool CReadMeListWnd::listItemOpened(int row) {
    openItem(row);
    return true;
}

bool CReadMeListWnd::listKeyPressed(int row, int key, int modifiers) {
    if (row < 0) return false;
    if (key == 13 || key == 32) {
        openItem(row);
        return true;
    }
    if (key == 46) {
        runCommand((modifiers & 2) != 0 ? kCmdReadMeRemoveAll : kCmdReadMeRemoveItem);
        return true;
    }
    return false;
}

bool CReadMeListWnd::runCommand(int id) {
    const int row = selectedRow();
    const Entry* e = entryAt(row);
    if (id == kCmdReadMeRemoveAll) {
        if (rowCount() == 0) return false;
        if (dialogs::CHintDlg("ConfirmRemoveAllFromReadMe", this).DoModal() != dialogs::IDOK) return true;
        setFocus();
        removeAll();
        if (GlobalOptions::instance().AutoHideWorkPad) hideWorkPad();
        save();
        return true;
    }
    if (e == nullptr) {
        QApplication::beep();
        return false;
    }
    switch (id) {
        case kCmdReadMeOpenItem:
            openItem(row);
            break;
        case kCmdCopyUrl:
            copyToClipboard(this, e->itemUrl);
            break;
        case kCmdEmailUrl:
            emailUrl(e->itemUrl);
            break;
        case kCmdReadMeRemoveItem:
            if (dialogs::CHintDlg("ConfirmRemoveFromReadMe", this).DoModal() == dialogs::IDOK) {
                setFocus();
                removeAndSave(row);
            }
            break;
        default:
            return false;
    }
    return true;
}

bool CReadMeListWnd::listContextMenu(const QPoint& point) {
    QMenu menu(this);
    const bool selected = selectedRow() >= 0;
    const std::pair<int, const char*> items[] = {{kCmdReadMeOpenItem, "&Open item"},
                                                 {kCmdCopyUrl, "&Copy URL"},
                                                 {kCmdEmailUrl, "&Email URL"},
                                                 {kCmdReadMeRemoveItem, "&Remove item"},
                                                 {kCmdReadMeRemoveAll, "Remove &all"}};
    for (const auto& [id, text] : items) {
        QAction* a = menu.addAction(QString::fromUtf8(text));
        a->setEnabled(id == kCmdReadMeRemoveAll ? rowCount() > 0 : selected);
        connect(a, &QAction::triggered, this, [this, id = id] { runCommand(id); });
    }
    if (CMainFrame* frame = getMainFrame()) {
        if (QAction* clip = frame->getCommand(kCmdAddFromClipboard)) {
            frame->updateCommandUi(kCmdAddFromClipboard);
            menu.addSeparator();
            menu.addAction(clip);
        }
    }
    menu.exec(point);
    return true;
}
