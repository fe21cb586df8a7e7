#pragma once
// The monitor window of one attached hook instance: the channel's name as
// its caption, the time of the last fetch, and the channel's current items,
// those the user has viewed drawn light and in italics (or left out). Its
// context menu, a double click, Space or Enter ask the main program's main
// window to open an item, update the channel or show its properties. It
// reads everything from the channel's file and writes no file.
#include <QDialog>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "hooks/watchpane/watchpane.h"

class QAction;
class QLabel;

namespace watchpane {

struct FeedItemInfo {
    std::string id;
    std::string url;
    std::string title;
};

// Identifiers compared character by character on their upper-case forms.
struct LessUpperCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

class CMonitorWindow;

class CFeedItemListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CFeedItemListBox(CMonitorWindow* owner);
    // Draws one entry (through the list's delegate).
    void drawItem(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CMonitorWindow* owner_;
};

class CMonitorWindow : public QDialog {
    Q_OBJECT
public:
    // Command identifiers of the item context menu.
    enum Command { OpenItem = 32771, CloseWindow = 32773, Properties = 32774, UpdateNow = 32775 };

    CMonitorWindow(std::uintptr_t channelCookie, std::uintptr_t hookCookie, const std::string& requestFile);
    ~CMonitorWindow() override;

    // Builds the controls and enters the window in the window table.
    void create();
    // Flags, caption and stacking from a request's parameters.
    void configure(const std::string& requestFile);
    // Reloads everything shown / the viewed identifiers only.
    void loadFeedItems();
    void loadViewedFeedItemIds();
    void setCaption(const std::string& caption);
    void bringToFront();
    bool hidesReadItems() const { return hideReadItems_; }
    // Leaves the window table and goes (deleted once control returns to
    // the event loop, never inside one of its own handlers).
    void destroyWindow();

    // The window lock and what it guards, for the list's drawing.
    SwitchableLock& lock() { return lock_; }
    bool drawingDisabled() const { return drawingDisabled_; }
    bool isViewed(const std::string& id) const { return viewedIds_.count(id) != 0; }
    const FeedItemInfo* itemAt(int itemIndex) const;

    void onOpenItem();
    void onUpdateNow();
    void onOpenProperties();
    void onCloseWindow();
    void onDblclkFeedItems();
    // Queues a command as a menu choice would.
    void postCommand(int command);
    // Escape: the window goes.
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    int selectedRow() const;
    void runCommand(int command);
    void updateCommandStates();
    void applyViewedLook();

    CFeedItemListBox* list_ = nullptr;
    QLabel* lastUpdated_ = nullptr;
    QAction* openItemAction_ = nullptr;
    QAction* updateNowAction_ = nullptr;
    QAction* propertiesAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    std::uintptr_t channelCookie_;
    std::uintptr_t hookCookie_;
    std::string channelFile_;
    SwitchableLock lock_;
    bool hideReadItems_ = false;
    bool alwaysOnTop_ = false;
    std::vector<FeedItemInfo> items_;
    std::set<std::string, LessUpperCase> viewedIds_;
    bool drawingDisabled_ = false;
    bool destroyed_ = false;
};

}  // namespace watchpane
