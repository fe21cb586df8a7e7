#include "dialogs/organize/organizeDialogs.h"

#include <QApplication>
#include <QCursor>
#include <QTreeWidget>
#include <QUrl>

#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/reports/channelReportGenerator.h"
#include "channels/channel.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/organize/channelFilterDlg.h"
#include "dialogs/organize/channelReportConfigDlg.h"
#include "dialogs/small/selectChannelDlg.h"
#include "widgets/helpers/desktopServices.h"
#include "app/core/seams.h"
#include "widgets/helpers/dialogWindowOps.h"

namespace dialogs {

namespace {

std::vector<Hotkey> hotkeysOf(const HotkeyTable& table) {
    std::vector<Hotkey> hotkeys;
    for (int i = 0; i < table.getHotkeyCount(); ++i) hotkeys.push_back(table.getHotkey(i));
    return hotkeys;
}

void restoreHotkeys(HotkeyTable& table, const std::vector<Hotkey>& hotkeys) {
    table.clear();
    for (const Hotkey& hotkey : hotkeys) table.appendHotkey(hotkey);
    table.buildAcceleratorTable();
}

}  // namespace

// One list of the global options with its hotkey table, as the organize
// dialogs write it: the rows in row order at OK (the previous contents come
// back when the save fails), or one removal on its own.
template <typename Value>
class StoredList {
public:
    StoredList(std::vector<Value>& list, HotkeyTable& table, void (GlobalOptions::*save)(), const char* saveError)
        : list_(list), table_(table), save_(save), saveError_(saveError) {}

    const std::vector<Value>& values() const { return list_; }
    Hotkey hotkey(int index) const {
        return index >= 0 && index < table_.getHotkeyCount() ? table_.getHotkey(index) : Hotkey();
    }
    // The entry at `index` before the last clear, or null.
    const Value* previous(int index) const {
        return index >= 0 && index < static_cast<int>(backup_.size()) ? &backup_[static_cast<std::size_t>(index)]
                                                                      : nullptr;
    }

    void clear() {
        backup_ = list_;
        hotkeyBackup_ = hotkeysOf(table_);
        list_.clear();
        table_.clear();
    }
    void append(const Value& value, const Hotkey& hotkey) {
        list_.push_back(value);
        table_.appendHotkey(hotkey);
    }
    // Saves what was appended since clear; on failure tells the user and puts
    // the previous contents back.
    bool save(QWidget* parent) {
        if (write(parent)) return true;
        list_ = backup_;
        restoreHotkeys(table_, hotkeyBackup_);
        return false;
    }
    // Takes the entry at `index` and its hotkey slot out and saves; puts both
    // back when the save fails.
    bool remove(QWidget* parent, int index) {
        if (index < 0 || index >= static_cast<int>(list_.size())) return true;
        const Value removed = list_[static_cast<std::size_t>(index)];
        const std::vector<Hotkey> hotkeys = hotkeysOf(table_);
        list_.erase(list_.begin() + index);
        if (index < table_.getHotkeyCount()) table_.erase(index);
        if (write(parent)) return true;
        list_.insert(list_.begin() + index, removed);
        restoreHotkeys(table_, hotkeys);
        return false;
    }

private:
    bool write(QWidget* parent) {
        try {
            (GlobalOptions::instance().*save_)();
            table_.buildAcceleratorTable();
            return true;
        } catch (const std::exception& e) {
            showMessage(parent, QObject::tr(saveError_) + qs(e.what()));
            return false;
        }
    }

    std::vector<Value>& list_;
    HotkeyTable& table_;
    void (GlobalOptions::*save_)();
    const char* saveError_;
    std::vector<Value> backup_;
    std::vector<Hotkey> hotkeyBackup_;
};

// The filters' and reports' dialogs: the stored list, and the dialog's own
// copies of its entries (made at the opening and by the new command), which
// the rows refer to.
template <typename Value>
struct CopiedList {
    struct Copy : HotkeyTableItem {
        Value value;
    };

    explicit CopiedList(StoredList<Value> list) : stored(std::move(list)) {
        for (std::size_t i = 0; i < stored.values().size(); ++i)
            add(stored.values()[i])->storedIndex = static_cast<int>(i);
    }
    Copy* add(const Value& value) {
        auto copy = std::make_unique<Copy>();
        copy->value = value;
        copies.push_back(std::move(copy));
        return copies.back().get();
    }
    static Value& of(HotkeyTableItem* item) { return static_cast<Copy*>(item)->value; }

    // The opening's rows: every copy made so far, with its stored hotkey.
    bool getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& atEnd) {
        if (index >= static_cast<int>(copies.size())) {
            atEnd = true;
            return false;
        }
        item = copies[static_cast<std::size_t>(index)].get();
        hotkey = stored.hotkey(index);
        return true;
    }

    // The names of every row but `except`.
    template <typename Name>
    std::vector<std::string> rowNames(const CHotkeyTableDlg& dialog, const HotkeyTableItem* except, Name name) const {
        std::vector<std::string> names;
        for (int row = 0; row < dialog.rowCount(); ++row)
            if (dialog.itemAt(row) != except) names.push_back((of(dialog.itemAt(row)).*name)());
        return names;
    }

    // Runs the entry's dialog on `value`; true, with the result in `value`,
    // at OK.
    template <typename Dialog, typename Result>
    static bool edit(QWidget* parent, Value& value, const std::vector<std::string>& otherNames, Result result) {
        Dialog dialog(value, otherNames, parent);
        if (runModal(dialog) != QDialog::Accepted) return false;
        value = (dialog.*result)();
        return true;
    }

    StoredList<Value> stored;
    std::vector<std::unique_ptr<Copy>> copies;
};

// --- the My Channels list and reports

void applyChannelFilterToMyChannels(const ChannelFilter& filter) {
    if (const auto& apply = dialogWindowOps().applyMyChannelsFilter)
        apply(filter);
    else
        seams::missing("DialogWindowOps::applyMyChannelsFilter");
}

ChannelFilter getMyChannelsFilter() {
    if (const auto& get = dialogWindowOps().getMyChannelsFilter) return get();
    seams::missing("DialogWindowOps::getMyChannelsFilter");
    return ChannelFilter();
}

bool generateChannelReport(QWidget* parent, const ChannelReportConfig& report) {
    std::string outputPath;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        makeChannelReportGenerator(report)->generateReport();
        outputPath = report.getOutputPath();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        showMessage(parent, QObject::tr("Can't generate the channel report.\n\n") + qs(e.what()));
        return false;
    }
    QApplication::restoreOverrideCursor();
    if (!report.getShowResults()) {
        showMessage(parent,
                    QObject::tr("The report has been generated and saved in ") + qs(report.getOutputFilename()));
        return true;
    }
    if (DesktopServices* services = getDesktopServices())
        services->showInSimpleBrowser("Channel report: " + report.getReportName(),
                                      QUrl::fromLocalFile(qs(outputPath)).toString().toStdString(), true);
    return true;
}

// --- favourites

struct COrganizeChannelFavoritesDlg::Favorite : HotkeyTableItem {
    std::string channelFile;  // as the favourites list stores it
};

struct COrganizeChannelFavoritesDlg::Data {
    StoredList<std::string> stored{GlobalOptions::instance().ChannelFavorites,
                                   GlobalOptions::instance().ChannelFavoriteHotkeys,
                                   &GlobalOptions::saveChannelFavorites, "Can't save the new channel favorites:\n\n"};
    std::vector<std::unique_ptr<Favorite>> items;
};

SaveWindowPlacement COrganizeChannelFavoritesDlg::placement;

COrganizeChannelFavoritesDlg::COrganizeChannelFavoritesDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel favorites"), tr("channel favorite"), false, QString(), tr("Channel"),
                       tr("Organize favorites"), 0x2F001},
                      &placement, &GlobalOptions::instance().ChannelFavoriteHotkeys, parent),
      d_(std::make_unique<Data>()) {
    setObjectName(QStringLiteral("organizeFavoritesDialog"));
}

COrganizeChannelFavoritesDlg::~COrganizeChannelFavoritesDlg() = default;

bool COrganizeChannelFavoritesDlg::getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent,
                                           bool& atEnd) {
    const std::vector<std::string>& favorites = d_->stored.values();
    if (index >= static_cast<int>(favorites.size())) {
        atEnd = true;
        return false;
    }
    const std::string& file = favorites[static_cast<std::size_t>(index)];
    if (!findChannel(file)) return false;
    auto favorite = std::make_unique<Favorite>();
    favorite->channelFile = file;
    favorite->storedIndex = index;
    item = favorite.get();
    d_->items.push_back(std::move(favorite));
    hotkey = d_->stored.hotkey(index);
    isCurrent = index == 0;
    return true;
}

QString COrganizeChannelFavoritesDlg::getItemText(HotkeyTableItem* item) {
    const auto* favorite = static_cast<Favorite*>(item);
    const channels::Channel* channel = findChannel(favorite->channelFile);
    return qs(channel ? channel->getDisplayName() : favorite->channelFile);
}

void COrganizeChannelFavoritesDlg::clearItems() { d_->stored.clear(); }

void COrganizeChannelFavoritesDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool) {
    d_->stored.append(static_cast<Favorite*>(item)->channelFile, hotkey);
}

bool COrganizeChannelFavoritesDlg::saveItems() { return d_->stored.save(this); }

bool COrganizeChannelFavoritesDlg::editItem(HotkeyTableItem* item) {
    channels::Channel* channel = findChannel(static_cast<Favorite*>(item)->channelFile);
    if (!channel) {
        QApplication::beep();
        return false;
    }
    return openChannelProperties(this, channel, nullptr) == QDialog::Accepted;
}

COrganizeChannelFavoritesDlg::Favorite* COrganizeChannelFavoritesDlg::favoriteFor(const std::string& channelFile) {
    const channels::Channel* channel = findChannel(channelFile);
    for (const auto& each : d_->items)
        if (channel && findChannel(each->channelFile) == channel) return each.get();
    auto favorite = std::make_unique<Favorite>();
    favorite->channelFile = channelFile;
    d_->items.push_back(std::move(favorite));
    return d_->items.back().get();
}

bool COrganizeChannelFavoritesDlg::newItem(HotkeyTableItem*& item) {
    CSelectChannelDlg picker(nullptr, this);
    if (runModal(picker) != QDialog::Accepted || !picker.getChannel()) return false;
    item = favoriteFor(picker.getChannel()->getConfigFilename());
    return true;
}

void COrganizeChannelFavoritesDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = false; }

// --- filters

struct COrganizeChannelFiltersDlg::Data : CopiedList<ChannelFilter> {
    Data()
        : CopiedList({GlobalOptions::instance().ChannelFilters, GlobalOptions::instance().ChannelFilterHotkeys,
                      &GlobalOptions::saveChannelFilters, "Can't save the new channel filters:\n\n"}) {}
};

SaveWindowPlacement COrganizeChannelFiltersDlg::placement;

COrganizeChannelFiltersDlg::COrganizeChannelFiltersDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel filters"), tr("channel filter"), true, tr("&Clear"), tr("Filter"),
                       tr("Organize channel filters"), 0x2F003},
                      &placement, &GlobalOptions::instance().ChannelFilterHotkeys, parent),
      d_(std::make_unique<Data>()),
      applied_(getMyChannelsFilter()) {
    setObjectName(QStringLiteral("organizeFiltersDialog"));
}

COrganizeChannelFiltersDlg::~COrganizeChannelFiltersDlg() = default;

ChannelFilter* COrganizeChannelFiltersDlg::getSelectedFilter() const {
    std::vector<ChannelFilter>& stored = GlobalOptions::instance().ChannelFilters;
    return selectedIndex_ >= 0 && selectedIndex_ < static_cast<int>(stored.size())
               ? &stored[static_cast<std::size_t>(selectedIndex_)]
               : nullptr;
}

bool COrganizeChannelFiltersDlg::getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent,
                                         bool& atEnd) {
    if (!d_->getItem(index, item, hotkey, atEnd)) return false;
    isCurrent = Data::of(item).isEqual(applied_, true);
    return true;
}

QString COrganizeChannelFiltersDlg::getItemText(HotkeyTableItem* item) { return qs(Data::of(item).getFilterName()); }

void COrganizeChannelFiltersDlg::clearItems() {
    d_->stored.clear();
    selectedIndex_ = -1;
}

void COrganizeChannelFiltersDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) {
    if (isCurrent) selectedIndex_ = static_cast<int>(d_->stored.values().size());
    d_->stored.append(Data::of(item), hotkey);
}

bool COrganizeChannelFiltersDlg::saveItems() {
    if (d_->stored.save(this)) return true;
    selectedIndex_ = -1;
    return false;
}

bool COrganizeChannelFiltersDlg::editItem(HotkeyTableItem* item) {
    return Data::edit<CChannelFilterDlg>(this, Data::of(item), d_->rowNames(*this, item, &ChannelFilter::getFilterName),
                                         &CChannelFilterDlg::getFilter);
}

bool COrganizeChannelFiltersDlg::newItem(HotkeyTableItem*& item) {
    ChannelFilter filter;
    if (!Data::edit<CChannelFilterDlg>(this, filter, d_->rowNames(*this, nullptr, &ChannelFilter::getFilterName),
                                       &CChannelFilterDlg::getFilter))
        return false;
    item = d_->add(filter);
    return true;
}

void COrganizeChannelFiltersDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = true; }

bool COrganizeChannelFiltersDlg::storeRemoval(HotkeyTableItem* item) {
    return d_->stored.remove(this, item->storedIndex);
}

void COrganizeChannelFiltersDlg::applyItem(HotkeyTableItem* item) { applyChannelFilterToMyChannels(Data::of(item)); }

void COrganizeChannelFiltersDlg::onExtraButton(int) {
    applyChannelFilterToMyChannels(ChannelFilter());
    list()->clearSelection();
}

// --- reports

struct COrganizeChannelReportsDlg::Data : CopiedList<ChannelReportConfig> {
    Data()
        : CopiedList({GlobalOptions::instance().ChannelReportConfigs, GlobalOptions::instance().ChannelReportHotkeys,
                      &GlobalOptions::saveChannelReportConfigs, "Can't save the new channel reports:\n\n"}) {}
};

SaveWindowPlacement COrganizeChannelReportsDlg::placement;

COrganizeChannelReportsDlg::COrganizeChannelReportsDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel reports"), tr("channel report"), false, QString(), tr("Report"),
                       tr("Organize channel reports"), 0x2F002},
                      &placement, &GlobalOptions::instance().ChannelReportHotkeys, parent),
      d_(std::make_unique<Data>()) {
    setObjectName(QStringLiteral("organizeReportsDialog"));
}

COrganizeChannelReportsDlg::~COrganizeChannelReportsDlg() = default;

bool COrganizeChannelReportsDlg::getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool&, bool& atEnd) {
    return d_->getItem(index, item, hotkey, atEnd);
}

QString COrganizeChannelReportsDlg::getItemText(HotkeyTableItem* item) { return qs(Data::of(item).getReportName()); }

void COrganizeChannelReportsDlg::clearItems() { d_->stored.clear(); }

void COrganizeChannelReportsDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool) {
    ChannelReportConfig report = Data::of(item);
    // The dialog's copy may be older than the stored report's last generation
    // (the timer generates due reports while the dialog is open).
    if (const ChannelReportConfig* stored = d_->stored.previous(item->storedIndex))
        report.setLastUpdateTimeNow(stored->getLastUpdateTime());
    d_->stored.append(report, hotkey);
}

bool COrganizeChannelReportsDlg::saveItems() { return d_->stored.save(this); }

bool COrganizeChannelReportsDlg::editItem(HotkeyTableItem* item) {
    return Data::edit<CChannelReportConfigDlg>(this, Data::of(item),
                                               d_->rowNames(*this, item, &ChannelReportConfig::getReportName),
                                               &CChannelReportConfigDlg::getReportConfig);
}

bool COrganizeChannelReportsDlg::newItem(HotkeyTableItem*& item) {
    ChannelReportConfig report;
    if (!Data::edit<CChannelReportConfigDlg>(this, report,
                                             d_->rowNames(*this, nullptr, &ChannelReportConfig::getReportName),
                                             &CChannelReportConfigDlg::getReportConfig))
        return false;
    item = d_->add(report);
    return true;
}

void COrganizeChannelReportsDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = true; }

bool COrganizeChannelReportsDlg::storeRemoval(HotkeyTableItem* item) {
    return d_->stored.remove(this, item->storedIndex);
}

bool COrganizeChannelReportsDlg::canClose(HotkeyTableItem* item) {
    if (!item) {
        showMessage(this, tr("Please choose a report to generate."));
        return false;
    }
    generateChannelReport(this, Data::of(item));
    return true;
}

// --- the commands

bool organizeChannelFavorites(QWidget* parent) {
    COrganizeChannelFavoritesDlg dialog(parent);
    return runModal(dialog) == QDialog::Accepted;
}

bool organizeChannelFilters(QWidget* parent) {
    COrganizeChannelFiltersDlg dialog(parent);
    if (runModal(dialog) != QDialog::Accepted) return false;
    if (const ChannelFilter* chosen = dialog.getSelectedFilter()) applyChannelFilterToMyChannels(*chosen);
    return true;
}

bool organizeChannelReports(QWidget* parent) {
    COrganizeChannelReportsDlg dialog(parent);
    return runModal(dialog) == QDialog::Accepted;
}

}  // namespace dialogs
