#pragma once
// The quick-access entries of the tray menu: for each channel whose desktop
// settings ask for it, the channel and the items of its last fetched feed,
// inline or in a sub-menu per channel. The menu is rebuilt each time it is
// shown; every entry carries a handler (found by its command identifier)
// that acts when the entry is chosen.
//
//   QMenu menu;                        // the fixed items first
//   buildTrayMenu(&menu);              // entries above them, 5000 upward
//   onTrayMenuCommand(5003);           // what choosing entry 5003 does
//
// Identifiers stay within 5000..5999 (the range the tray routes here):
// entries past its end are left out and a last, disabled entry says how
// many more there are. Handlers keep a channel's cookie and a copy of the
// item, never the channel's address: a channel deleted while the menu is
// open is not found and its entries do nothing.
//
// User-interface thread only.
#include <cstdint>
#include <memory>
#include <string>

#include "app/core/commandIds.h"
#include "channels/feed/feed.h"

class QMenu;

namespace ui {

class MenuItemHandler {
public:
    explicit MenuItemHandler(std::string text) : text_(std::move(text)) {}
    virtual ~MenuItemHandler() = default;
    const std::string& getText() const { return text_; }
    virtual void onSelected() = 0;

private:
    std::string text_;
};

// One item of a channel's last feed: opens it in the channel's window.
class FeedItemMenuItemHandler : public MenuItemHandler {
public:
    FeedItemMenuItemHandler(std::uintptr_t channel, channels::FeedItem item)
        : MenuItemHandler(std::string(item.getTitle())), channel_(channel), item_(std::move(item)) {}
    void onSelected() override;
    const channels::FeedItem& getFeedItem() const { return item_; }

private:
    std::uintptr_t channel_;
    channels::FeedItem item_;
};

// A channel (or a channel's sub-menu label): opens the channel's window on
// its summary page.
class ChannelMenuItemHandler : public MenuItemHandler {
public:
    ChannelMenuItemHandler(std::string text, std::uintptr_t channel, std::shared_ptr<const channels::Feed> feed)
        : MenuItemHandler(std::move(text)), channel_(channel), feed_(std::move(feed)) {}
    void onSelected() override;
    // The feed snapshot of the entry; null for a sub-menu label.
    const channels::Feed* getFeed() const { return feed_.get(); }

private:
    std::uintptr_t channel_;
    std::shared_ptr<const channels::Feed> feed_;
};

struct TrayMenuBuild {
    int entries = 0;  // entries given an identifier
    int leftOut = 0;  // entries past the end of the range
};

// Adds the entries above the menu's present items (each channel's block
// above the previous one, each ending in a separator). Handlers and
// snapshots of the previous build are dropped first.
TrayMenuBuild buildTrayMenu(QMenu* trayMenu);
// Runs the handler of the entry; an unknown identifier does nothing.
void onTrayMenuCommand(int id);
const MenuItemHandler* findTrayMenuHandler(int id);
// Drops the handlers, snapshots and sub-menus of the last build.
void clearTrayMenu();

}  // namespace ui
