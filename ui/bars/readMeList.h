#pragma once
// The read-me list: links saved to be read later (feed items and bare
// addresses), on the "Read me" tab of the Workpad, kept in the user's
// config.ini, section "Read-me List":
//   FeedItemId-n, ItemUrl-n, ItemTitle-n, ChannelUrl-n (only with a channel)
// numbered from 0 in list order. Every change that adds or removes an entry
// saves the whole list at once (one rewrite of config.ini).
//
// An entry never keeps a channel pointer: it keeps the channel's file name
// and finds the channel again when it needs it, so a deleted channel leaves
// an entry without a channel. Entries without an address are refused; only
// http, https and mailto addresses and the program's own pages are opened.
// Loading skips an entry whose address is missing and stops where no key of
// entry n is present at all, so one broken entry loses no later ones.
// An add is refused (logged, shown on the status bar) when the address is
// longer than kMaxReadMeAddressLength or the list holds kMaxReadMeEntries.
#include <atomic>
#include <string>

#include "ui/events/uiEvent.h"
#include "widgets/controls/appListCtrl.h"

namespace channels {
class Channel;
}

class CReadMeListWnd : public CAppListCtrl, public UiEventHandler {
    Q_OBJECT
public:
    explicit CReadMeListWnd(QWidget* parent = nullptr);
    ~CReadMeListWnd() override;

    // The file the list lives in (the user's config.ini unless set).
    void setConfigFile(const std::string& file) { configFile_ = file; }
    const std::string& configFile() const;

    // False when nothing could be written (the error is logged).
    virtual bool save();
    virtual void load();
    virtual void removeAll();
    virtual void removeItem(int index);
    // False when refused (no address).
    virtual bool addItem(channels::Channel* channel, const std::string& feedItemId, const std::string& itemUrl,
                         const std::string& itemTitle, bool select);
    virtual int findItem(channels::Channel* channel, const std::string& feedItemId) const;
    virtual int findItemByUrl(const std::string& itemUrl) const;
    virtual void openItem(int index);

    // From the views, balloons and menus; an empty address is refused.
    bool addFeedItem(channels::Channel* channel, const std::string& feedItemId, const std::string& itemUrl,
                     const std::string& itemTitle, bool select);
    bool addUrl(const std::string& url, bool select);

    int getNumItems() const { return rowCount(); }
    // True when the list takes no more entries; safe on any thread.
    bool isFull() const;
    void getItem(int index, channels::Channel** channel, std::string* feedItemId, std::string* itemUrl,
                 std::string* itemTitle) const;

    // The commands of the context menu (32898 open, 32870 copy, 32894 mail,
    // 32901 remove, 32900 remove all); false when the command needs a
    // selection and there is none (the list beeps).
    bool runCommand(int id);

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override { restyle(); }
    std::string getDescription() const override { return "[WorkPad/ReadMeList]"; }

protected:
    bool listItemActivated(int) override { return false; }
    bool listItemOpened(int row) override;
    bool listKeyPressed(int row, int key, int modifiers) override;
    bool listContextMenu(const QPoint& point) override;

private:
    struct Entry;
    Entry* entryAt(int row) const;
    void restyle();
    void removeAndSave(int index);
    void announce(const std::string& title);
    // False (logged and shown) when the list can't take this address.
    bool canAdd(const std::string& url);
    std::string configFile_;
    std::atomic<int> count_{0};
};
