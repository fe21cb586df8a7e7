#pragma once
// The organize dialogs of the favourites, the channel filters and the
// channel reports, and what the main window runs them with.
//
//   dialogs::organizeChannelFavorites(frame);   // command 32960
//   dialogs::organizeChannelFilters(frame);     // 32962: OK applies the chosen filter to My Channels
//   dialogs::organizeChannelReports(frame);     // 32968: OK generates the chosen report
//
// Filters and reports are edited as copies of the global options' lists and
// stored at OK; a removal is stored at once. Favourites are stored at OK
// only.
#include <memory>
#include <string>
#include <vector>

#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "dialogs/organize/hotkeyTableDlg.h"

namespace dialogs {

// Runs the dialogs modally over `parent`; true when closed with OK.
bool organizeChannelFavorites(QWidget* parent);
bool organizeChannelFilters(QWidget* parent);
bool organizeChannelReports(QWidget* parent);

// Makes the filter the My Channels list's filter and activates its tab (no
// Control Center: nothing happens).
void applyChannelFilterToMyChannels(const ChannelFilter& filter);
// The filter the My Channels list shows now (a default filter without a
// Control Center).
ChannelFilter getMyChannelsFilter();

// Generates one report now, with the wait cursor: a failure is shown as
// "Can't generate the channel report." and the reason; a report that is not
// to be shown is announced with where it was saved; one that is opens in the
// simple-browser window "Channel report: <name>". False when it failed.
bool generateChannelReport(QWidget* parent, const ChannelReportConfig& report);

class COrganizeChannelFavoritesDlg : public CHotkeyTableDlg {
    Q_OBJECT

public:
    explicit COrganizeChannelFavoritesDlg(QWidget* parent = nullptr);
    ~COrganizeChannelFavoritesDlg() override;

    static SaveWindowPlacement placement;

protected:
    bool getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent, bool& atEnd) override;
    QString getItemText(HotkeyTableItem* item) override;
    void clearItems() override;
    void addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) override;
    bool saveItems() override;
    bool editItem(HotkeyTableItem* item) override;
    bool newItem(HotkeyTableItem*& item) override;
    void removeItem(HotkeyTableItem* item, bool& storeNow) override;

private:
    struct Favorite;
    struct Data;
    Favorite* favoriteFor(const std::string& channelFile);
    std::unique_ptr<Data> d_;
};

class COrganizeChannelFiltersDlg : public CHotkeyTableDlg {
    Q_OBJECT

public:
    explicit COrganizeChannelFiltersDlg(QWidget* parent = nullptr);
    ~COrganizeChannelFiltersDlg() override;

    // After OK: the stored filter of the row that was selected, or null.
    ChannelFilter* getSelectedFilter() const;

    static SaveWindowPlacement placement;

protected:
    bool getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent, bool& atEnd) override;
    QString getItemText(HotkeyTableItem* item) override;
    void clearItems() override;
    void addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) override;
    bool saveItems() override;
    bool editItem(HotkeyTableItem* item) override;
    bool newItem(HotkeyTableItem*& item) override;
    void removeItem(HotkeyTableItem* item, bool& storeNow) override;
    bool storeRemoval(HotkeyTableItem* item) override;
    void applyItem(HotkeyTableItem* item) override;
    void onExtraButton(int code) override;

private:
    struct Data;
    std::unique_ptr<Data> d_;
    ChannelFilter applied_;   // what My Channels showed at the opening
    int selectedIndex_ = -1;  // in the stored list
};

class COrganizeChannelReportsDlg : public CHotkeyTableDlg {
    Q_OBJECT

public:
    explicit COrganizeChannelReportsDlg(QWidget* parent = nullptr);
    ~COrganizeChannelReportsDlg() override;

    static SaveWindowPlacement placement;

protected:
    bool getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent, bool& atEnd) override;
    QString getItemText(HotkeyTableItem* item) override;
    void clearItems() override;
    void addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) override;
    bool saveItems() override;
    bool editItem(HotkeyTableItem* item) override;
    bool newItem(HotkeyTableItem*& item) override;
    void removeItem(HotkeyTableItem* item, bool& storeNow) override;
    bool storeRemoval(HotkeyTableItem* item) override;
    bool canClose(HotkeyTableItem* item) override;

private:
    struct Data;
    std::unique_ptr<Data> d_;
};

}  // namespace dialogs
