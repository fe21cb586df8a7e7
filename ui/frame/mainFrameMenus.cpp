// The main frame's menus and toolbars, and the menu items filled in when a
// menu opens: favourites, user tools, the current channel's categories and
// hook commands, the toolbars, the channel filters and reports.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <set>

#include "app/core/branding.h"
#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/options/userTool.h"
#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/hooks/channelHook.h"
#include "lib/misc/threadSafety.h"
#include "ui/frame/mainFrame.h"

namespace {

const char* const kDynamicItem = "dynamicItem";

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Names from the user's data shown as menu texts: "&" is no mnemonic there.
QString plainMenuText(const std::string& text) { return qs(text).replace(QLatin1Char('&'), QStringLiteral("&&")); }

// The text of a dynamic item with its hotkey, shown after a tab.
QString withHotkey(const QString& text, const HotkeyTable& table, std::size_t index) {
    if (static_cast<int>(index) >= table.getHotkeyCount()) return text;
    const Hotkey& hotkey = table.getHotkey(static_cast<int>(index));
    if (!hotkey.isValid()) return text;
    return text + QLatin1Char('\t') + qs(hotkey.toString());
}

// The character after every "&" of a text (upper-cased), "&&" excepted.
void addMnemonics(const QString& text, std::set<QChar>& used) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        used.insert(text[i + 1].toUpper());
    }
}

// Items of `menu` that the last build added: removed, and deleted unless
// they are commands of the frame's table.
void removeDynamicItems(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (!action->property(kDynamicItem).toBool()) continue;
        menu->removeAction(action);
        if (!action->property("commandId").isValid()) {
            if (QMenu* sub = action->menu()) {
                sub->deleteLater();
            } else {
                action->deleteLater();
            }
        }
    }
}

QAction* markDynamic(QAction* action) {
    action->setProperty(kDynamicItem, true);
    return action;
}

QAction* insertSeparatorBefore(QMenu* menu, QAction* before) {
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    markDynamic(separator);
    menu->insertAction(before, separator);
    return separator;
}

// The action that follows `action` in the menu, or null at the end.
QAction* actionAfter(QMenu* menu, QAction* action) {
    const QList<QAction*> actions = menu->actions();
    const int index = actions.indexOf(action);
    return index >= 0 && index + 1 < actions.size() ? actions[index + 1] : nullptr;
}

}  // namespace

QMenu* CMainFrame::getMenu(const QString& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

void CMainFrame::buildMenus() {
    QMenuBar* bar = menuBar();
    const auto menu = [this, bar](const QString& title, const QString& name) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(name.toLower() + QStringLiteral("Menu"));
        menus_[name] = m;
        connect(m, &QMenu::aboutToShow, this, [this, m] { onShowPopupMenu(m); });
        return m;
    };
    const auto add = [this](QMenu* m, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0) {
                m->addSeparator();
            } else if (QAction* action = getCommand(id)) {
                m->addAction(action);
            }
        }
    };
    add(menu(QStringLiteral("&File"), QStringLiteral("File")),
        {kCmdNewChannel, kCmdOpen, kCmdOpenNextChannel, kCmdClose, 0, kCmdDeleteChannel, 0, kCmdExit});
    add(menu(QStringLiteral("&Edit"), QStringLiteral("Edit")),
        {kCmdProperties, kCmdUpdateNow, kCmdViewLastFeed, kCmdMarkActiveChannelRead, 0, kCmdShowSummary,
         kCmdShowItemPane, kCmdShowNavBar, 0, kCmdNextItem, kCmdPreviousItem, kCmdAddToReadMeList,
         kCmdHookCommandsPlaceholder});
    QMenu* view = menu(QStringLiteral("&View"), QStringLiteral("View"));
    add(view, {kCmdShowMyChannels, kCmdShowPlugins, 0, kCmdOrganizeFilters, kCmdOrganizeReports, 0, kCmdShowActivityLog,
               kCmdShowErrorLog, 0, kCmdToggleControlCenter, kCmdToggleLogs, kCmdToggleWorkpad});
    QMenu* toolbars = view->addMenu(QStringLiteral("&Toolbars"));
    toolbars->setObjectName(QStringLiteral("toolbarsMenu"));
    menus_[QStringLiteral("Toolbars")] = toolbars;
    connect(toolbars, &QMenu::aboutToShow, this, [this, toolbars] { onShowPopupMenu(toolbars); });
    add(toolbars, {kCmdToolbarsPlaceholder});
    add(view, {kCmdToggleCaptionBar, kCmdToggleStatusBar});
    add(menu(QStringLiteral("Fa&vorites"), QStringLiteral("Favorites")), {kCmdOrganizeFavorites});
    add(menu(QStringLiteral("&Tools"), QStringLiteral("Tools")), {kCmdOptions, kCmdCustomize});
    add(menu(QStringLiteral("&Window"), QStringLiteral("Window")),
        {kCmdCascade, kCmdTile, kCmdArrangeIcons, kCmdClose, kCmdCloseAll, 0, kCmdWindowList});
    add(menu(QStringLiteral("&Help"), QStringLiteral("Help")),
        {kCmdHelpContents, 0, kCmdForums, kCmdFaq, kCmdWelcomePage, kCmdLicence, 0, kCmdAbout});
    for (int id : {kCmdToolbarsPlaceholder, kCmdCategoriesPlaceholder, kCmdHookCommandsPlaceholder}) {
        if (QAction* placeholder = getCommand(id)) placeholder->setVisible(false);
    }
}

void CMainFrame::buildToolBars() {
    const auto add = [this](QToolBar* bar, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0) {
                bar->addSeparator();
            } else if (QAction* action = getCommand(id)) {
                bar->addAction(action);
            }
        }
    };
    add(channelsToolBar_, {kCmdNewChannel, kCmdOpen, kCmdUpdateNow, kCmdProperties, kCmdDeleteChannel, 0});
    // The filter and report buttons open their dialogs; their arrows list
    // the filters and reports.
    const auto dropDown = [this](QToolBar* bar, int id, const QString& name) {
        QAction* action = getCommand(id);
        if (action == nullptr) return;
        auto* menu = new QMenu(bar);
        menu->setObjectName(name.toLower() + QStringLiteral("Menu"));
        menus_[name] = menu;
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { onShowPopupMenu(menu); });
        auto* button = new QToolButton(bar);
        button->setObjectName(name.toLower() + QStringLiteral("Button"));
        button->setDefaultAction(action);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        bar->addWidget(button);
    };
    dropDown(channelsToolBar_, kCmdOrganizeFilters, QStringLiteral("Filters"));
    dropDown(channelsToolBar_, kCmdOrganizeReports, QStringLiteral("Reports"));
    add(generalToolBar_, {kCmdShowMyChannels, kCmdShowPlugins, 0, kCmdToggleControlCenter, kCmdToggleLogs,
                          kCmdToggleWorkpad, 0, kCmdOptions});
}

void CMainFrame::onShowPopupMenu(QMenu* menu) {
    if (menu == nullptr) return;
    // Each build starts from the fixed items; the tables of the dynamic
    // items that this menu shows are filled anew.
    removeDynamicItems(menu);
    const QList<QAction*> actions = menu->actions();
    const auto holds = [&actions, this](int id) {
        QAction* action = getCommand(id);
        return action != nullptr && actions.contains(action);
    };
    if (holds(kCmdOrganizeFavorites)) fillFavoritesMenu(menu);
    if (holds(kCmdCategoriesPlaceholder)) fillCategoriesPlaceholder(menu, getCommand(kCmdCategoriesPlaceholder));
    if (holds(kCmdHookCommandsPlaceholder)) fillHookCommandsPlaceholder(menu, getCommand(kCmdHookCommandsPlaceholder));
    if (holds(kCmdOptions)) fillToolsMenu(menu);
    if (holds(kCmdToolbarsPlaceholder)) fillToolbarsMenu(menu);
    GlobalOptions& options = GlobalOptions::instance();
    if (menu == getMenu(QStringLiteral("Filters"))) {
        for (std::size_t i = 0; i < options.ChannelFilters.size() && i < kCmdRangeSize; ++i) {
            QAction* action = getCommand(kCmdFirstChannelFilter + static_cast<int>(i));
            action->setText(
                withHotkey(plainMenuText(options.ChannelFilters[i].getFilterName()), options.ChannelFilterHotkeys, i));
            menu->addAction(markDynamic(action));
        }
    }
    if (menu == getMenu(QStringLiteral("Reports"))) {
        for (std::size_t i = 0; i < options.ChannelReportConfigs.size() && i < kCmdRangeSize; ++i) {
            QAction* action = getCommand(kCmdFirstChannelReport + static_cast<int>(i));
            action->setText(withHotkey(plainMenuText(options.ChannelReportConfigs[i].getReportName()),
                                       options.ChannelReportHotkeys, i));
            menu->addAction(markDynamic(action));
        }
    }
    updateCommandUi();
}

void CMainFrame::fillFavoritesMenu(QMenu* menu) {
    GlobalOptions& options = GlobalOptions::instance();
    if (options.ChannelFavorites.empty()) return;
    markDynamic(menu->addSeparator());
    std::set<QChar> used;
    for (std::size_t i = 0; i < options.ChannelFavorites.size() && i < kCmdRangeSize; ++i) {
        channels::Channel* channel = findChannel(options.ChannelFavorites[i]);
        if (channel == nullptr) continue;
        std::string name = channel->getDisplayName();
        if (name.empty()) name = channel->getSourceUrl();
        QString text = plainMenuText(name);
        const QChar first = text.isEmpty() ? QChar() : text[0].toUpper();
        if (first.isLetterOrNumber() && used.count(first) == 0) {
            text.prepend(QLatin1Char('&'));
            used.insert(first);
        }
        QAction* action = getCommand(kCmdFirstFavorite + static_cast<int>(i));
        action->setText(withHotkey(text, options.ChannelFavoriteHotkeys, i));
        menu->addAction(markDynamic(action));
    }
}

void CMainFrame::fillToolsMenu(QMenu* menu) {
    userToolMap_.clear();
    std::set<QChar> used;
    for (QAction* action : menu->actions()) addMnemonics(action->text(), used);
    int next = kCmdFirstUserTool;
    const auto addTools = [&](const std::vector<std::unique_ptr<UserTool>>& tools) {
        if (tools.empty() || next >= kCmdFirstUserTool + kCmdRangeSize) return;
        markDynamic(menu->addSeparator());
        for (const auto& tool : tools) {
            if (next >= kCmdFirstUserTool + kCmdRangeSize) break;
            QString text = qs(tool->getMenuItemText());
            const QChar first = text.isEmpty() ? QChar() : text[0].toUpper();
            if (!text.isEmpty() && used.count(first) == 0 && !text.contains(QLatin1Char('&'))) {
                text.prepend(QLatin1Char('&'));
                used.insert(first);
            }
            QAction* action = getCommand(next);
            action->setText(text);
            userToolMap_[next] = std::shared_ptr<UserTool>(tool->clone());
            menu->addAction(markDynamic(action));
            ++next;
        }
    };
    addTools(BrandingConfig::instance().getPermanentUserTools());
    addTools(GlobalOptions::instance().UserTools);
}

void CMainFrame::fillCategoriesPlaceholder(QMenu* menu, QAction* placeholder) {
    categoryMap_.clear();
    channels::Channel* channel = getActiveChannel(false);
    const std::vector<std::string>& categories = GlobalOptions::instance().ChannelCategories;
    if (channel == nullptr || categories.empty()) return;
    QAction* after = actionAfter(menu, placeholder);
    insertSeparatorBefore(menu, after);
    auto* sub = new QMenu(QStringLiteral("Channel &categories"), menu);
    sub->setObjectName(QStringLiteral("categoriesMenu"));
    for (std::size_t i = 0; i < categories.size() && i < kCmdRangeSize; ++i) {
        const int id = kCmdFirstCategory + static_cast<int>(i);
        categoryMap_[id] = categories[i];
        QAction* action = getCommand(id);
        action->setText(plainMenuText(categories[i]));
        sub->addAction(action);
    }
    menu->insertAction(after, markDynamic(sub->menuAction()));
}

void CMainFrame::fillHookCommandsPlaceholder(QMenu* menu, QAction* placeholder) {
    // The actions go with their sub-menus.
    hookCommandMap_.clear();
    channels::Channel* channel = getActiveChannel(false);
    if (channel == nullptr) return;
    struct HookMenu {
        std::string title;
        std::uintptr_t cookie;
        channels::CommandDefs commands;
    };
    std::vector<HookMenu> hooks;
    {
        channels::ChannelSettings& settings = channel->getChannelSettings();
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        for (channels::ChannelHook* hook : settings.getChannelHooks()) {
            HookMenu entry{hook->getDisplayName(), hook->getCookie(), {}};
            hook->getCommandDefs(entry.commands);
            if (!entry.commands.empty()) hooks.push_back(std::move(entry));
        }
    }
    if (hooks.empty()) return;
    QAction* after = actionAfter(menu, placeholder);
    insertSeparatorBefore(menu, after);
    int next = kCmdFirstHookCommand;
    for (const HookMenu& hook : hooks) {
        auto* sub = new QMenu(plainMenuText(hook.title), menu);
        for (const channels::CommandDef& def : hook.commands) {
            const int id = next++;
            QAction* action = sub->addAction(plainMenuText(def.displayName));
            action->setProperty("hookCommandId", id);
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
            hookCommandMap_[id] = HookCommand{channels::getChannelCookie(channel), hook.cookie, def.name, action};
        }
        menu->insertAction(after, markDynamic(sub->menuAction()));
    }
}

void CMainFrame::fillToolbarsMenu(QMenu* menu) {
    // The two toolbars of the frame; user-defined toolbars do not exist.
    for (int id : {kCmdToggleGeneralToolbar, kCmdToggleChannelsToolbar}) {
        if (QAction* action = getCommand(id)) menu->addAction(markDynamic(action));
    }
}
