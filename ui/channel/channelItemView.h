#pragma once
// The upper pane of a channel window: the items of the channel's last feed,
// one row each, marked viewed (icon 0), new (1) or unread (2). The rows come
// from a model over a copy of the feed taken at each reload, so a feed that
// the worker replaces meanwhile never changes the rows under the view, and
// a long feed opens at once (rows are made as they are drawn).
#include <QAbstractListModel>
#include <QFont>
#include <QTreeView>
#include <string>
#include <vector>

#include "channels/feed/feed.h"
#include "ui/channel/mdiChildBase.h"
#include "ui/events/uiEvent.h"

class CChannelMdiChildWnd;
class HotRowDelegate;

class ChannelItemModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { kIconRole = Qt::UserRole + 1, kItemIdRole, kItemUrlRole };
    explicit ChannelItemModel(QObject* parent) : QAbstractListModel(parent) {}
    void reset(channels::Channel* channel, std::vector<channels::FeedItem> items);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const channels::FeedItem* item(int row) const;
    void rowChanged(int row);
    void setFonts(const QFont fonts[3]) {
        for (int i = 0; i < 3; ++i) fonts_[i] = fonts[i];
    }

private:
    channels::Channel* channel_ = nullptr;
    std::vector<channels::FeedItem> items_;
    std::vector<QString> titles_;
    QFont fonts_[3];  // plain, new, viewed
};

class CChannelItemView : public QTreeView, public UiEventHandler {
    Q_OBJECT
public:
    CChannelItemView(CChannelMdiChildWnd* frame, channels::Channel* channel, QWidget* parent);
    ~CChannelItemView() override;

    void reload(bool sizeToFit);
    void selectNext();
    void selectPrevious();
    int rowCount() const { return model_->rowCount(); }
    int selectedRow() const;
    void selectRow(int row);
    const channels::FeedItem* getSelectedFeedItem() const { return model_->item(selectedRow()); }
    int findRowByItemId(const std::string& id, int startRow) const;
    int getItemRowHeight() const;
    // The row's icon: 0 viewed, 1 new, 2 unread.
    int rowIcon(int row) const;
    QString rowText(int row) const;
    // The row under the mouse in one-click mode (-1 for none), and the font
    // a row is drawn with (underlined when hot).
    int hotRow() const;
    QFont rowFont(int row) const;
    ChannelItemModel* itemModel() const { return model_; }

    // The item commands: 32869 open, 32880 open in new window, 32870 copy,
    // 32894 mail, 32903 toggle read, 32904 mark all, 32896 to the read-me
    // list. False when the command needs a selection and there is none.
    bool runCommand(int id);
    // Whether those commands are enabled now, and the texts of 32903 and
    // 32904 (which follow the rows); unhandled for other commands.
    ChildCommandState commandState(int id) const;
    // The text of 32903 or 32904 as the menu would show it now.
    QString commandText(int id) const;

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override;
    void onChannelConfigChanged(ChannelConfigChangedUiEvent& e) override;
    void onMarkFeedItemAsViewed(MarkFeedItemAsViewedUiEvent& e) override;
    void onUrlOpened(UrlOpenedUiEvent& e) override;
    std::string getDescription() const override;

signals:
    // The selection or a row's mark changed (the commands' state with it).
    void commandsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildFonts();
    void activateRow(int row);
    bool markAllDirection() const;
    CChannelMdiChildWnd* frame_;
    channels::Channel* channel_;
    ChannelItemModel* model_;
    HotRowDelegate* hotRows_;
};
