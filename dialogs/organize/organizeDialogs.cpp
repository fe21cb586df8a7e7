#include "dialogs/organize/organizeDialogs.h"

#include <QApplication>
#include <QCursor>
#include <QTreeWidget>
#include <QUrl>

#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/reports/channelReportGenerator.h"
#include "channels/channel.h"
#include "dialogs/base/messageBox.h"
#include "dialogs/base/windowPlacement.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/organize/channelFilterDlg.h"
#include "dialogs/organize/channelReportConfigDlg.h"
#include "dialogs/small/selectChannelDlg.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/helpers/desktopServices.h"

namespace dialogs {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

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

Hotkey storedHotkey(const HotkeyTable& table, int index) {
  return index >= 0 && index < table.getHotkeyCount() ? table.getHotkey(index) : Hotkey();
}

// Saves one list of the global options and rebuilds its accelerators; on
// failure tells the user ("<what>" and the reason) and gives false.
template <typename Save>
bool saveList(QWidget* parent, const char* what, HotkeyTable& table, Save save) {
  try {
    save();
    table.buildAcceleratorTable();
    return true;
  } catch (const std::exception& e) {
    showMessage(parent, QObject::tr(what) + qs(e.what()));
    return false;
  }
}

// Takes the stored item at `index` (and its hotkey slot) out of a list and
// saves it; puts both back when the save fails.
template <typename List, typename Save>
bool storeRemovalFrom(QWidget* parent, const char* what, List& list, HotkeyTable& table, int index, Save save) {
  if (index < 0 || index >= static_cast<int>(list.size())) return true;
  const auto removed = list[static_cast<std::size_t>(index)];
  const std::vector<Hotkey> hotkeys = hotkeysOf(table);
  list.erase(list.begin() + index);
  if (index < table.getHotkeyCount()) table.erase(index);
  if (saveList(parent, what, table, save)) return true;
  list.insert(list.begin() + index, removed);
  restoreHotkeys(table, hotkeys);
  return false;
}

}  // namespace

// --- the My Channels list and reports

void applyChannelFilterToMyChannels(const ChannelFilter& filter) {
  CWorkspaceBar* bar = getWorkspaceBar();
  if (!bar || !bar->getMyChannelsWnd()) return;
  bar->getMyChannelsWnd()->setChannelFilter(filter);
  bar->activateMyChannelsTab();
}

ChannelFilter getMyChannelsFilter() {
  CWorkspaceBar* bar = getWorkspaceBar();
  return bar && bar->getMyChannelsWnd() ? bar->getMyChannelsWnd()->getChannelFilter() : ChannelFilter();
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
    showMessage(parent, QObject::tr("The report has been generated and saved in ") + qs(report.getOutputFilename()));
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

SaveWindowPlacement COrganizeChannelFavoritesDlg::placement;

COrganizeChannelFavoritesDlg::COrganizeChannelFavoritesDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel favorites"), tr("channel favorite"), false, QString(), tr("Channel"),
                       tr("Organize favorites"), 0x2F001},
                      &placement, &GlobalOptions::instance().ChannelFavoriteHotkeys, parent) {
  setObjectName(QStringLiteral("organizeFavoritesDialog"));
}

COrganizeChannelFavoritesDlg::~COrganizeChannelFavoritesDlg() = default;

bool COrganizeChannelFavoritesDlg::getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent,
                                           bool& atEnd) {
  const GlobalOptions& options = GlobalOptions::instance();
  if (index >= static_cast<int>(options.ChannelFavorites.size())) {
    atEnd = true;
    return false;
  }
  const std::string& file = options.ChannelFavorites[static_cast<std::size_t>(index)];
  if (!findChannel(file)) return false;
  auto favorite = std::make_unique<Favorite>();
  favorite->channelFile = file;
  favorite->storedIndex = index;
  item = favorite.get();
  items_.push_back(std::move(favorite));
  hotkey = storedHotkey(options.ChannelFavoriteHotkeys, index);
  isCurrent = index == 0;
  return true;
}

QString COrganizeChannelFavoritesDlg::getItemText(HotkeyTableItem* item) {
  const auto* favorite = static_cast<Favorite*>(item);
  const channels::Channel* channel = findChannel(favorite->channelFile);
  return qs(channel ? channel->getDisplayName() : favorite->channelFile);
}

void COrganizeChannelFavoritesDlg::clearItems() {
  GlobalOptions& options = GlobalOptions::instance();
  backup_ = options.ChannelFavorites;
  hotkeyBackup_ = hotkeysOf(options.ChannelFavoriteHotkeys);
  options.ChannelFavorites.clear();
  options.ChannelFavoriteHotkeys.clear();
}

void COrganizeChannelFavoritesDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool) {
  GlobalOptions& options = GlobalOptions::instance();
  options.ChannelFavorites.push_back(static_cast<Favorite*>(item)->channelFile);
  options.ChannelFavoriteHotkeys.appendHotkey(hotkey);
}

bool COrganizeChannelFavoritesDlg::saveItems() {
  GlobalOptions& options = GlobalOptions::instance();
  if (saveList(this, "Can't save the new channel favorites:\n\n", options.ChannelFavoriteHotkeys,
               [&] { options.saveChannelFavorites(); }))
    return true;
  options.ChannelFavorites = backup_;
  restoreHotkeys(options.ChannelFavoriteHotkeys, hotkeyBackup_);
  return false;
}

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
  for (const auto& each : items_)
    if (channel && findChannel(each->channelFile) == channel) return each.get();
  auto favorite = std::make_unique<Favorite>();
  favorite->channelFile = channelFile;
  items_.push_back(std::move(favorite));
  return items_.back().get();
}

bool COrganizeChannelFavoritesDlg::newItem(HotkeyTableItem*& item) {
  CSelectChannelDlg picker(nullptr, this);
  if (runModal(picker) != QDialog::Accepted || !picker.getChannel()) return false;
  item = favoriteFor(picker.getChannel()->getConfigFilename());
  return true;
}

void COrganizeChannelFavoritesDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = false; }

// --- filters

struct COrganizeChannelFiltersDlg::Filter : HotkeyTableItem {
  ChannelFilter filter;
};

SaveWindowPlacement COrganizeChannelFiltersDlg::placement;

COrganizeChannelFiltersDlg::COrganizeChannelFiltersDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel filters"), tr("channel filter"), true, tr("&Clear"), tr("Filter"),
                       tr("Organize channel filters"), 0x2F003},
                      &placement, &GlobalOptions::instance().ChannelFilterHotkeys, parent),
      applied_(getMyChannelsFilter()) {
  setObjectName(QStringLiteral("organizeFiltersDialog"));
  const std::vector<ChannelFilter>& stored = GlobalOptions::instance().ChannelFilters;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    auto filter = std::make_unique<Filter>();
    filter->filter = stored[i];
    filter->storedIndex = static_cast<int>(i);
    items_.push_back(std::move(filter));
  }
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
  if (index >= static_cast<int>(items_.size())) {
    atEnd = true;
    return false;
  }
  Filter* filter = items_[static_cast<std::size_t>(index)].get();
  item = filter;
  hotkey = storedHotkey(GlobalOptions::instance().ChannelFilterHotkeys, index);
  isCurrent = filter->filter.isEqual(applied_, true);
  return true;
}

QString COrganizeChannelFiltersDlg::getItemText(HotkeyTableItem* item) {
  return qs(static_cast<Filter*>(item)->filter.getFilterName());
}

void COrganizeChannelFiltersDlg::clearItems() {
  GlobalOptions& options = GlobalOptions::instance();
  backup_ = options.ChannelFilters;
  hotkeyBackup_ = hotkeysOf(options.ChannelFilterHotkeys);
  options.ChannelFilters.clear();
  options.ChannelFilterHotkeys.clear();
  selectedIndex_ = -1;
}

void COrganizeChannelFiltersDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) {
  GlobalOptions& options = GlobalOptions::instance();
  if (isCurrent) selectedIndex_ = static_cast<int>(options.ChannelFilters.size());
  options.ChannelFilters.push_back(static_cast<Filter*>(item)->filter);
  options.ChannelFilterHotkeys.appendHotkey(hotkey);
}

bool COrganizeChannelFiltersDlg::saveItems() {
  GlobalOptions& options = GlobalOptions::instance();
  if (saveList(this, "Can't save the new channel filters:\n\n", options.ChannelFilterHotkeys,
               [&] { options.saveChannelFilters(); }))
    return true;
  options.ChannelFilters = backup_;
  restoreHotkeys(options.ChannelFilterHotkeys, hotkeyBackup_);
  selectedIndex_ = -1;
  return false;
}

std::vector<std::string> COrganizeChannelFiltersDlg::getItemNames(const HotkeyTableItem* except) const {
  std::vector<std::string> names;
  for (int row = 0; row < rowCount(); ++row)
    if (itemAt(row) != except) names.push_back(static_cast<Filter*>(itemAt(row))->filter.getFilterName());
  return names;
}

bool COrganizeChannelFiltersDlg::editItem(HotkeyTableItem* item) {
  auto* filter = static_cast<Filter*>(item);
  CChannelFilterDlg dialog(filter->filter, getItemNames(item), this);
  if (runModal(dialog) != QDialog::Accepted) return false;
  filter->filter = dialog.getFilter();
  return true;
}

bool COrganizeChannelFiltersDlg::newItem(HotkeyTableItem*& item) {
  CChannelFilterDlg dialog(ChannelFilter(), getItemNames(nullptr), this);
  if (runModal(dialog) != QDialog::Accepted) return false;
  auto filter = std::make_unique<Filter>();
  filter->filter = dialog.getFilter();
  item = filter.get();
  items_.push_back(std::move(filter));
  return true;
}

void COrganizeChannelFiltersDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = true; }

bool COrganizeChannelFiltersDlg::storeRemoval(HotkeyTableItem* item) {
  GlobalOptions& options = GlobalOptions::instance();
  return storeRemovalFrom(this, "Can't save the new channel filters:\n\n", options.ChannelFilters,
                          options.ChannelFilterHotkeys, item->storedIndex, [&] { options.saveChannelFilters(); });
}

void COrganizeChannelFiltersDlg::applyItem(HotkeyTableItem* item) {
  applyChannelFilterToMyChannels(static_cast<Filter*>(item)->filter);
}

void COrganizeChannelFiltersDlg::onExtraButton(int) {
  applyChannelFilterToMyChannels(ChannelFilter());
  list()->clearSelection();
}

// --- reports

struct COrganizeChannelReportsDlg::Report : HotkeyTableItem {
  ChannelReportConfig report;
};

SaveWindowPlacement COrganizeChannelReportsDlg::placement;

COrganizeChannelReportsDlg::COrganizeChannelReportsDlg(QWidget* parent)
    : CHotkeyTableDlg({tr("channel reports"), tr("channel report"), false, QString(), tr("Report"),
                       tr("Organize channel reports"), 0x2F002},
                      &placement, &GlobalOptions::instance().ChannelReportHotkeys, parent) {
  setObjectName(QStringLiteral("organizeReportsDialog"));
  const std::vector<ChannelReportConfig>& stored = GlobalOptions::instance().ChannelReportConfigs;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    auto report = std::make_unique<Report>();
    report->report = stored[i];
    report->storedIndex = static_cast<int>(i);
    items_.push_back(std::move(report));
  }
}

COrganizeChannelReportsDlg::~COrganizeChannelReportsDlg() = default;

bool COrganizeChannelReportsDlg::getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool&, bool& atEnd) {
  if (index >= static_cast<int>(items_.size())) {
    atEnd = true;
    return false;
  }
  item = items_[static_cast<std::size_t>(index)].get();
  hotkey = storedHotkey(GlobalOptions::instance().ChannelReportHotkeys, index);
  return true;
}

QString COrganizeChannelReportsDlg::getItemText(HotkeyTableItem* item) {
  return qs(static_cast<Report*>(item)->report.getReportName());
}

void COrganizeChannelReportsDlg::clearItems() {
  GlobalOptions& options = GlobalOptions::instance();
  backup_ = options.ChannelReportConfigs;
  hotkeyBackup_ = hotkeysOf(options.ChannelReportHotkeys);
  options.ChannelReportConfigs.clear();
  options.ChannelReportHotkeys.clear();
}

void COrganizeChannelReportsDlg::addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool) {
  GlobalOptions& options = GlobalOptions::instance();
  options.ChannelReportConfigs.push_back(static_cast<Report*>(item)->report);
  options.ChannelReportHotkeys.appendHotkey(hotkey);
}

bool COrganizeChannelReportsDlg::saveItems() {
  GlobalOptions& options = GlobalOptions::instance();
  if (saveList(this, "Can't save the new channel reports:\n\n", options.ChannelReportHotkeys,
               [&] { options.saveChannelReportConfigs(); }))
    return true;
  options.ChannelReportConfigs = backup_;
  restoreHotkeys(options.ChannelReportHotkeys, hotkeyBackup_);
  return false;
}

std::vector<std::string> COrganizeChannelReportsDlg::getItemNames(const HotkeyTableItem* except) const {
  std::vector<std::string> names;
  for (int row = 0; row < rowCount(); ++row)
    if (itemAt(row) != except) names.push_back(static_cast<Report*>(itemAt(row))->report.getReportName());
  return names;
}

bool COrganizeChannelReportsDlg::editItem(HotkeyTableItem* item) {
  auto* report = static_cast<Report*>(item);
  CChannelReportConfigDlg dialog(report->report, getItemNames(item), this);
  if (runModal(dialog) != QDialog::Accepted) return false;
  report->report = dialog.getReportConfig();
  return true;
}

bool COrganizeChannelReportsDlg::newItem(HotkeyTableItem*& item) {
  CChannelReportConfigDlg dialog(ChannelReportConfig(), getItemNames(nullptr), this);
  if (runModal(dialog) != QDialog::Accepted) return false;
  auto report = std::make_unique<Report>();
  report->report = dialog.getReportConfig();
  item = report.get();
  items_.push_back(std::move(report));
  return true;
}

void COrganizeChannelReportsDlg::removeItem(HotkeyTableItem*, bool& storeNow) { storeNow = true; }

bool COrganizeChannelReportsDlg::storeRemoval(HotkeyTableItem* item) {
  GlobalOptions& options = GlobalOptions::instance();
  return storeRemovalFrom(this, "Can't save the new channel reports:\n\n", options.ChannelReportConfigs,
                          options.ChannelReportHotkeys, item->storedIndex,
                          [&] { options.saveChannelReportConfigs(); });
}

bool COrganizeChannelReportsDlg::canClose(HotkeyTableItem* item) {
  if (!item) {
    showMessage(this, tr("Please choose a report to generate."));
    return false;
  }
  generateChannelReport(this, static_cast<Report*>(item)->report);
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
