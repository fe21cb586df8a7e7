// The main frame's commands: one action per command number, its handler and
// its update rule. Menus and toolbars are in mainFrameMenus.cpp.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <exception>

#include "app/core/branding.h"
#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/options/userTool.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/hooks/channelHook.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/options/optionsSheet.h"
#include "dialogs/organize/organizeDialogs.h"
#include "dialogs/small/aboutSheet.h"
#include "dialogs/small/cantFindChmDlg.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "lib/log/messageLog.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/appPlugin/appPluginPropSheet.h"
#include "ui/appPlugin/appPluginWindow.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/childWindowCommands.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/clipboard.h"
#include "widgets/helpers/openers.h"
#include "widgets/helpers/windowUpdateLock.h"

namespace {

void beep() { QApplication::beep(); }

QString qs(const std::string& text) { return QString::fromStdString(text); }

channels::ChannelManager* channelManager() {
    const auto& services = getMainFrameServices();
    if (services.getChannelManager) return services.getChannelManager();
    return getChannelManager();
}

// Shows an address in the simple-browser window of that title.
bool showPage(const std::string& title, const std::string& url) {
    DesktopServices* services = getDesktopServices();
    if (services == nullptr) return false;
    services->showInSimpleBrowser(title, url, false);
    return true;
}

std::string fileUrl(const std::string& path) { return QUrl::fromLocalFile(qs(path)).toString().toStdString(); }

// What running a user tool needs of the windows: the active child window's
// page, the clipboard and the simple-browser windows.
class FrameUserToolHost : public UserToolHost {
public:
    explicit FrameUserToolHost(CMainFrame& frame) : frame_(frame) {}
    bool getActiveHtmlView(std::string& selectedText, std::string& url) override {
        QMdiArea* area = frame_.getMdiArea();
        QMdiSubWindow* child = area != nullptr ? area->currentSubWindow() : nullptr;
        auto* view = child != nullptr ? child->findChild<QWebEngineView*>() : nullptr;
        if (view == nullptr) return false;
        getHtmlSelectedText(view, selectedText);
        url = view->url().toString().toStdString();
        return true;
    }
    std::string getClipboardText() override {
        std::string text;
        ::getClipboardText(text, &frame_);
        return text;
    }
    bool isShiftOrCtrlDown() override {
        const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
        return modifiers.testFlag(Qt::ShiftModifier) || modifiers.testFlag(Qt::ControlModifier);
    }
    void openInSimpleBrowser(const std::string& url, const std::string& title) override {
        if (!showPage(title, url)) beep();
    }
    void openItem(const std::string& url) override { ::openItem(url); }

private:
    CMainFrame& frame_;
};

}  // namespace

QAction* CMainFrame::defineCommand(int id, const QString& text, std::function<void()> handler, UpdateRule rule) {
    QAction* action = addCommand(id, text);
    action->setText(text);
    if (handler) {
        connect(action, &QAction::triggered, this, [this, id, handler = std::move(handler)] {
            // No exception leaves a command: it is logged and shown.
            try {
                handler();
            } catch (const std::exception& e) {
                ORVAN_LOG_ANY() << "ERROR: command " << id << " failed: " << e.what() << std::endl;
                dialogs::showMessage(this, qs(e.what()), dialogs::MessageButtons::Ok, dialogs::MessageIcon::Error);
            } catch (...) {
                ORVAN_LOG_ANY() << "ERROR: command " << id << " failed." << std::endl;
            }
        });
    }
    if (rule) updateRules_[id] = std::move(rule);
    return action;
}

void CMainFrame::updateCommandUi() {
    for (auto& [id, rule] : updateRules_) {
        if (QAction* action = getCommand(id)) rule(*action);
    }
    updateChildWindowCommands(*this);
}

void CMainFrame::updateCommandUi(int id) {
    if (isChildWindowCommand(id)) updateChildWindowCommands(*this);
    auto it = updateRules_.find(id);
    QAction* action = getCommand(id);
    if (it != updateRules_.end() && action != nullptr) it->second(*action);
}

QWidget* CMainFrame::activeChildFrame() const { return mdiArea_ != nullptr ? mdiArea_->currentSubWindow() : nullptr; }

channels::Channel* CMainFrame::getActiveChannel(bool focusedOnly) const {
    QWidget* focus = QApplication::focusWidget();
    auto* childFrame = dynamic_cast<CChannelMdiChildWnd*>(activeChildFrame());
    channels::Channel* childChannel = childFrame != nullptr ? childFrame->getChannel() : nullptr;
    if (childChannel != nullptr && focus != nullptr && (focus == childFrame || childFrame->isAncestorOf(focus))) {
        return childChannel;
    }
    channels::Channel* selected =
        workspaceBar_ != nullptr ? workspaceBar_->getMyChannelsWnd()->getSelectedChannel() : nullptr;
    if (workspaceBar_ != nullptr && workspaceBar_->hasFocus(0)) return selected;
    if (focusedOnly) return nullptr;
    return childChannel != nullptr ? childChannel : selected;
}

channels::AppPlugin* CMainFrame::getActiveAppPlugin(bool focusedOnly) const {
    QWidget* focus = QApplication::focusWidget();
    auto* child = dynamic_cast<CAppPluginMdiChildWnd*>(activeChildFrame());
    channels::AppPlugin* childPlugin = child != nullptr ? child->getAppPlugin() : nullptr;
    if (childPlugin != nullptr && focus != nullptr && (focus == child || child->isAncestorOf(focus))) {
        return childPlugin;
    }
    channels::AppPlugin* selected = workspaceBar_ != nullptr ? workspaceBar_->getSelectedAppPlugin() : nullptr;
    if (workspaceBar_ != nullptr && workspaceBar_->hasFocus(1)) return selected;
    if (focusedOnly) return nullptr;
    return childPlugin != nullptr ? childPlugin : selected;
}

void CMainFrame::installCommands() {
    const auto always = [](QAction& a) { a.setEnabled(true); };
    const auto withChannel = [this](QAction& a) { a.setEnabled(getActiveChannel(false) != nullptr); };
    const auto mdiWindows = [this](QAction& a) {
        const bool sdi = isUiHandlerSet() && getUiHandler()->isSdi();
        a.setEnabled(!sdi && activeChildFrame() != nullptr);
    };

    // File
    defineCommand(
        kCmdNewChannel, QStringLiteral("&New channel..."), [this] { dialogs::startNewChannelWizard(this, ""); },
        always);
    defineCommand(
        kCmdOpen, QStringLiteral("&Open"), [this] { openSelected(); },
        [this](QAction& a) {
            const int tab = workspaceBar_->getActiveTab();
            bool enabled = false;
            if (tab == 0) enabled = workspaceBar_->getMyChannelsWnd()->selectedRow() >= 0;
            if (tab == 1) enabled = workspaceBar_->getAppPluginsWnd()->selectedRow() >= 0;
            a.setEnabled(enabled);
            a.setText(tab == 0   ? QStringLiteral("&Open channel")
                      : tab == 1 ? QStringLiteral("&Open plugin")
                                 : QStringLiteral("&Open"));
        });
    defineCommand(
        kCmdOpenNextChannel, QStringLiteral("Open n&ext channel"), [this] { openNextChannel(); },
        [this](QAction& a) {
            a.setEnabled(workspaceBar_->getActiveTab() == 0 && workspaceBar_->getMyChannelsWnd()->rowCount() > 0);
        });
    defineCommand(
        kCmdClose, QStringLiteral("&Close"),
        [this] {
            QMdiSubWindow* child = mdiArea_->currentSubWindow();
            if (child == nullptr) {
                beep();
                return;
            }
            child->close();
        },
        [this](QAction& a) { a.setEnabled(activeChildFrame() != nullptr); });
    defineCommand(
        kCmdDeleteChannel, QStringLiteral("&Delete channel"), [this] { deleteChannel(); }, withChannel);
    defineCommand(
        kCmdExit, QStringLiteral("E&xit"), [this] { close(); }, always);
    defineCommand(
        kCmdShowMainWindow, QStringLiteral("&Show Orvan"), [this] { bringToFront(); }, always);

    // Edit
    defineCommand(
        kCmdProperties, QStringLiteral("&Properties..."), [this] { openProperties(); },
        [this](QAction& a) {
            a.setEnabled(getActiveChannel(false) != nullptr || getActiveAppPlugin(false) != nullptr);
        });
    defineCommand(
        kCmdUpdateNow, QStringLiteral("&Update now"),
        [this] {
            channels::Channel* channel = getActiveChannel(false);
            if (channel == nullptr) {
                beep();
                return;
            }
            channel->requestUpdate();
        },
        withChannel);
    defineCommand(
        kCmdViewLastFeed, QStringLiteral("View last &feed"),
        [this] {
            channels::Channel* channel = getActiveChannel(false);
            if (channel == nullptr) {
                beep();
                return;
            }
            showLastFeed(channel);
        },
        withChannel);
    defineCommand(
        kCmdMarkActiveChannelRead, QStringLiteral("Mark &all as read"),
        [this] {
            auto* child = dynamic_cast<CChannelMdiChildWnd*>(activeChildFrame());
            ChannelDesktopSettings* settings =
                child != nullptr ? getChannelDesktopSettings(child->getChannel()) : nullptr;
            if (settings == nullptr) {
                beep();
                return;
            }
            settings->markAllFeedItemsViewed(true);
        },
        [this](QAction& a) { a.setEnabled(dynamic_cast<CChannelMdiChildWnd*>(activeChildFrame()) != nullptr); });
    // The read-me list's context menu: an address on the clipboard.
    const auto clipboardAddress = [] {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        const QString text = clipboard != nullptr ? clipboard->text() : QString();
        return text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ? text.toStdString() : std::string();
    };
    defineCommand(
        kCmdAddFromClipboard, QStringLiteral("Add from clip&board"),
        [this, clipboardAddress] {
            const std::string url = clipboardAddress();
            if (url.empty() || workPad_ == nullptr) {
                beep();
                return;
            }
            workPad_->getReadMeList()->addUrl(url, true);
        },
        [clipboardAddress](QAction& a) { a.setEnabled(!clipboardAddress().empty()); });
    // My Channels' context menu
    defineCommand(
        kCmdHasNewContent, QStringLiteral("Has &new content"),
        [this] {
            channels::Channel* channel = workspaceBar_->getSelectedChannel();
            ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
            if (settings == nullptr) {
                beep();
                return;
            }
            updateCommandUi(kCmdHasNewContent);
            // The state the menu showed is the one toggled.
            const std::int32_t lastNew = settings->getLastNewItemTime();
            settings->setLastViewTime(hasNewContentState_ ? lastNew : lastNew - 1);
            workspaceBar_->getMyChannelsWnd()->updateChannel(channel);
        },
        [this](QAction& a) {
            a.setCheckable(true);
            ChannelDesktopSettings* settings = getChannelDesktopSettings(workspaceBar_->getSelectedChannel());
            hasNewContentState_ = settings != nullptr && settings->getLastViewTime() < settings->getLastNewItemTime();
            a.setEnabled(settings != nullptr);
            a.setChecked(hasNewContentState_);
        });
    defineCommand(
        kCmdMarkSelectedChannelRead, QStringLiteral("Mark &all as read"),
        [this] {
            channels::Channel* channel = workspaceBar_->getSelectedChannel();
            ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
            if (settings == nullptr) {
                beep();
                return;
            }
            settings->markAllFeedItemsViewed(true);
            workspaceBar_->getMyChannelsWnd()->updateChannel(channel);
        },
        [this](QAction& a) {
            ChannelDesktopSettings* settings = getChannelDesktopSettings(workspaceBar_->getSelectedChannel());
            a.setEnabled(settings != nullptr && settings->getUnreadFeedItemCount() > 0);
        });
    // Placeholders of the menus built when they open.
    defineCommand(kCmdCategoriesPlaceholder, QStringLiteral("[STANDARD CHANNEL CATEGORIES]"), nullptr);
    defineCommand(kCmdHookCommandsPlaceholder, QStringLiteral("[CHANNEL HOOK COMMANDS]"), nullptr);
    defineCommand(kCmdToolbarsPlaceholder, QStringLiteral("[TOOLBARS]"), nullptr);

    // View
    defineCommand(
        kCmdShowMyChannels, QStringLiteral("My &Channels"),
        [this] {
            workspaceBar_->show();
            workspaceBar_->activateMyChannelsTab();
        },
        always);
    defineCommand(
        kCmdShowPlugins, QStringLiteral("&Plugins"),
        [this] {
            workspaceBar_->show();
            workspaceBar_->activateAppPluginsTab();
        },
        always);
    defineCommand(
        kCmdShowActivityLog, QStringLiteral("&Activity log"),
        [this] {
            outputBar_->show();
            outputBar_->showActivityTab();
        },
        always);
    defineCommand(
        kCmdShowErrorLog, QStringLiteral("&Error log"),
        [this] {
            outputBar_->show();
            outputBar_->showErrorsTab();
        },
        always);
    const auto dockToggle = [this](int id, const QString& text, QDockWidget* bar) {
        defineCommand(
            id, text, [this, bar] { toggleDock(bar); },
            [bar](QAction& a) {
                a.setCheckable(true);
                a.setEnabled(true);
                a.setChecked(!bar->isHidden());
            });
    };
    dockToggle(kCmdToggleControlCenter, QStringLiteral("C&ontrol Center"), workspaceBar_);
    dockToggle(kCmdToggleLogs, QStringLiteral("&Logs"), outputBar_);
    dockToggle(kCmdToggleWorkpad, QStringLiteral("&Workpad"), workPad_);
    defineCommand(
        kCmdToggleCaptionBar, QStringLiteral("Caption &Bar"),
        [this] {
            GlobalOptions& options = GlobalOptions::instance();
            options.ShowCaptionBar = !options.ShowCaptionBar;
            updateCaptionBar();
            options.saveFrameSettings();
            if (options.ShowCaptionBar && mdiArea_->subWindowList().isEmpty()) {
                dialogs::CHintDlg("CaptionBar", this).DoModal();
            }
        },
        [](QAction& a) {
            a.setCheckable(true);
            a.setEnabled(true);
            a.setChecked(GlobalOptions::instance().ShowCaptionBar);
        });
    defineCommand(
        kCmdToggleStatusBar, QStringLiteral("&Status Bar"),
        [this] { statusBar()->setVisible(statusBar()->isHidden()); },
        [this](QAction& a) {
            a.setCheckable(true);
            a.setChecked(!statusBar()->isHidden());
        });
    const auto toolBarToggle = [this](int id, const QString& text, QToolBar* bar) {
        defineCommand(
            id, text, [this, bar] { bar->setVisible(bar->isHidden()); },
            [bar](QAction& a) {
                a.setCheckable(true);
                a.setEnabled(true);
                a.setChecked(!bar->isHidden());
            });
    };
    toolBarToggle(kCmdToggleGeneralToolbar, QStringLiteral("&General Toolbar"), generalToolBar_);
    toolBarToggle(kCmdToggleChannelsToolbar, QStringLiteral("C&hannels Toolbar"), channelsToolBar_);
    // User-defined toolbars do not exist here: their items stay disabled.
    for (int id = kCmdFirstUserToolbar; id <= kCmdLastUserToolbar; ++id) {
        defineCommand(
            id, QStringLiteral("User toolbar %1").arg(id - kCmdFirstUserToolbar + 1), [] { beep(); },
            [](QAction& a) { a.setEnabled(false); });
    }
    // The shortcuts bar and its buttons do nothing.
    for (int id = kCmdFirstShortcut; id <= kCmdLastShortcut; ++id) defineCommand(id, QStringLiteral("Shortcut"), [] {});

    // The organize dialogs.
    defineCommand(
        kCmdOrganizeFavorites, QStringLiteral("Organize favorites..."),
        [this] { dialogs::organizeChannelFavorites(this); }, always);
    // OK applies the chosen filter to My Channels.
    defineCommand(
        kCmdOrganizeFilters, QStringLiteral("Channel &filters"), [this] { dialogs::organizeChannelFilters(this); },
        always);
    defineCommand(
        kCmdOrganizeReports, QStringLiteral("Channel &reports"), [this] { dialogs::organizeChannelReports(this); },
        always);

    // Tools
    defineCommand(
        kCmdOptions, QStringLiteral("&Options..."),
        [this] {
            dialogs::COptionsPropSheet sheet(this);
            sheet.DoModal();
        },
        always);
    defineCommand(
        kCmdCustomize, QStringLiteral("&Customize..."),
        [this] {
            // The nearest Qt has: the frame's own menu of bars to show or hide.
            QMenu* menu = createPopupMenu();
            if (menu == nullptr) return;
            menu->setObjectName(QStringLiteral("customizeMenu"));
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(QCursor::pos());
        },
        always);

    // Window
    defineCommand(
        kCmdCascade, QStringLiteral("&Cascade"), [this] { mdiArea_->cascadeSubWindows(); }, mdiWindows);
    defineCommand(
        kCmdTile, QStringLiteral("&Tile"), [this] { mdiArea_->tileSubWindows(); }, mdiWindows);
    defineCommand(
        kCmdArrangeIcons, QStringLiteral("Arrange &icons"), [this] { arrangeIcons(); }, mdiWindows);
    defineCommand(
        kCmdCloseAll, QStringLiteral("Close al&l"), [this] { closeAllWindows(); }, mdiWindows);
    defineCommand(
        kCmdWindowList, QStringLiteral("&Windows..."), [this] { showWindowList(); }, mdiWindows);

    // Help
    for (int id : {kCmdHelpContents, kCmdHelp, kCmdDefaultHelp}) {
        defineCommand(
            id, id == kCmdHelpContents ? QStringLiteral("&Contents") : QStringLiteral("&Help"), [this] { showHelp(); },
            always);
    }
    defineCommand(kCmdContextHelp, QStringLiteral("Context &help"), [] {});
    defineCommand(
        kCmdForums, QStringLiteral("&Forums"),
        [] {
            if (!showPage("Orvan forums", programPaths().forumsUrl)) beep();
        },
        always);
    defineCommand(
        kCmdFaq, QStringLiteral("FA&Q"),
        [] {
            if (!showPage("Orvan FAQ", programPaths().faqUrl)) beep();
        },
        always);
    defineCommand(
        kCmdLicence, QStringLiteral("&License"),
        [] {
            if (!showPage("Software License", fileUrl(joinPath(programPaths().programDir, "license.html")))) beep();
        },
        always);
    defineCommand(
        kCmdWelcomePage, QStringLiteral("&Welcome page"), [] { showWelcomePage(false); }, always);
    defineCommand(
        kCmdAbout, QStringLiteral("&About Orvan..."),
        [this] {
            dialogs::CAboutPropSheet sheet(this);
            sheet.DoModal();
        },
        always);

    // Running a user tool asks the frame for the active page and the
    // clipboard.
    static std::unique_ptr<FrameUserToolHost> toolHost;
    toolHost = std::make_unique<FrameUserToolHost>(*this);
    setUserToolHost(toolHost.get());
    // The host goes with its frame: no user tool reaches a destroyed one.
    FrameUserToolHost* host = toolHost.get();
    connect(this, &QObject::destroyed, [host] {
        if (getUserToolHost() == host) setUserToolHost(nullptr);
        if (toolHost.get() == host) toolHost.reset();
    });
}

void CMainFrame::installDynamicCommands() {
    GlobalOptions& options = GlobalOptions::instance();
    for (int n = 0; n < 20; ++n) {
        // 109-128: apply channel filter n.
        defineCommand(kCmdFirstChannelFilter + n, QString(), [this, n, &options] {
            if (n >= static_cast<int>(options.ChannelFilters.size())) {
                beep();
                return;
            }
            workspaceBar_->show();
            dialogs::applyChannelFilterToMyChannels(options.ChannelFilters[static_cast<std::size_t>(n)]);
        });
        // 149-168: generate report n.
        defineCommand(kCmdFirstChannelReport + n, QString(), [this, n, &options] {
            if (n >= static_cast<int>(options.ChannelReportConfigs.size())) {
                beep();
                return;
            }
            const ChannelReportConfig report = options.ChannelReportConfigs[static_cast<std::size_t>(n)];
            generateChannelReport(report);
        });
        // 129-148: the current channel in or out of a category.
        defineCommand(
            kCmdFirstCategory + n, QString(),
            [this, id = kCmdFirstCategory + n] {
                channels::Channel* channel = getActiveChannel(false);
                auto it = categoryMap_.find(id);
                if (channel == nullptr || it == categoryMap_.end()) {
                    beep();
                    return;
                }
                channels::ChannelSettings& settings = channel->getChannelSettings();
                const bool member = settings.hasChannelCategory(it->second);
                settings.setChannelCategory(it->second, !member);
                channel->save();
                workspaceBar_->getMyChannelsWnd()->updateChannel(channel);
            },
            [this, id = kCmdFirstCategory + n](QAction& a) {
                a.setCheckable(true);
                channels::Channel* channel = getActiveChannel(false);
                auto it = categoryMap_.find(id);
                a.setChecked(channel != nullptr && it != categoryMap_.end() &&
                             channel->getChannelSettings().hasChannelCategory(it->second));
            });
        // 189-208: user tools.
        defineCommand(kCmdFirstUserTool + n, QString(), [this, id = kCmdFirstUserTool + n] {
            auto it = userToolMap_.find(id);
            if (it == userToolMap_.end() || !it->second) {
                beep();
                return;
            }
            std::shared_ptr<UserTool> tool = it->second;
            tool->run();
        });
        // 32926-32945: open favourite n.
        defineCommand(kCmdFirstFavorite + n, QString(), [this, n, &options] {
            if (n >= static_cast<int>(options.ChannelFavorites.size())) {
                beep();
                return;
            }
            channels::Channel* channel = findChannel(options.ChannelFavorites[static_cast<std::size_t>(n)]);
            CChannelDoc* doc = channel != nullptr ? CChannelDoc::openChannelDoc(channel, true) : nullptr;
            if (doc == nullptr) {
                beep();
                return;
            }
            doc->activateFrame(false);
        });
    }
}

void CMainFrame::openSelected() {
    const int tab = workspaceBar_->getActiveTab();
    if (tab == 0) {
        channels::Channel* channel = workspaceBar_->getMyChannelsWnd()->getSelectedChannel();
        CChannelDoc* doc = channel != nullptr ? CChannelDoc::openChannelDoc(channel, true) : nullptr;
        if (doc == nullptr) {
            beep();
            return;
        }
        doc->activateFrame(false);
    } else if (tab == 1) {
        channels::AppPlugin* plugin = workspaceBar_->getSelectedAppPlugin();
        if (plugin == nullptr || ui::openAppPluginWindow(plugin) == nullptr) beep();
    }
}

void CMainFrame::openNextChannel() {
    if (workspaceBar_->getActiveTab() != 0) {
        beep();
        return;
    }
    CControlCenterMyChannelsWnd* list = workspaceBar_->getMyChannelsWnd();
    const int count = list->rowCount();
    if (count == 0) {
        beep();
        return;
    }
    const int selected = list->selectedRow();
    const int next = selected < 0 || selected >= count - 1 ? 0 : selected + 1;
    list->selectRow(next);
    channels::Channel* channel = list->channelAt(next);
    runCommand(kCmdOpen);
    // Opening took the channel out of the filter: the row that now follows
    // the old selection is the next one to open.
    if (list->findRow(channel) < 0) list->selectRow(selected);
}

void CMainFrame::deleteChannel() {
    channels::Channel* channel = getActiveChannel(false);
    channels::ChannelManager* manager = channelManager();
    if (channel == nullptr || manager == nullptr) {
        beep();
        return;
    }
    if (BrandingConfig::instance().isPermanentFeedUrl(channel->getSourceUrl())) {
        dialogs::showMessage(this, QStringLiteral("This channel may not be deleted."));
        return;
    }
    const QString question = QStringLiteral("Do you want to delete %1?").arg(qs(channel->getDisplayName()));
    if (dialogs::showMessage(this, question, dialogs::MessageButtons::OkCancel, dialogs::MessageIcon::Question,
                             dialogs::IDCANCEL) != dialogs::IDOK) {
        return;
    }
    // The engine deletes the file first: when it can't, the channel stays as
    // it was, settings included.
    std::string report;
    try {
        manager->deleteChannel(channel, &report);
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "ERROR: Can't delete the channel: " << e.what() << std::endl;
        dialogs::showMessage(this, qs(std::string("Can't delete the channel.\n\n") + e.what()),
                             dialogs::MessageButtons::Ok, dialogs::MessageIcon::Error);
        return;
    }
    getChannelDesktopSettingsTable().remove(channel);
    if (!report.empty()) {
        dialogs::showMessage(this, qs("There were problems deleting this channel:\n\n" + report),
                             dialogs::MessageButtons::Ok, dialogs::MessageIcon::Warning);
    }
    if (isUiHandlerSet()) getUiHandler()->fireChannelDeleted(channel);
}

void CMainFrame::openProperties() {
    channels::Channel* channel = getActiveChannel(false);
    channels::AppPlugin* plugin = getActiveAppPlugin(false);
    QPointer<QWidget> focus = QApplication::focusWidget();
    bool channelSheet = false;
    if (channel != nullptr && plugin == nullptr) {
        channelSheet = true;
    } else if (channel == nullptr && plugin != nullptr) {
        channelSheet = false;
    } else if (channel == nullptr && plugin == nullptr) {
        beep();
        return;
    } else if (workspaceBar_->hasFocus(0)) {
        channelSheet = true;
    } else if (workspaceBar_->hasFocus(1)) {
        channelSheet = false;
    } else {
        channelSheet = dynamic_cast<CChannelMdiChildWnd*>(activeChildFrame()) != nullptr;
    }
    if (channelSheet) {
        dialogs::openChannelProperties(this, channel, nullptr);
    } else {
        dialogs::openAppPluginSheet(this, plugin, 0);
    }
    if (!focus.isNull()) focus->setFocus();
}

void CMainFrame::toggleDock(QDockWidget* bar) {
    const bool show = bar->isHidden();
    if (bar == workPad_) {
        showWorkPad(show);
        if (show) workPad_->activateReadMeTab();
        return;
    }
    bar->setVisible(show);
    if (show) bar->setFocus();
}

void CMainFrame::arrangeIcons() {
    // The minimised windows in a row along the bottom of the area, from the
    // left, wrapping upwards.
    int x = 0;
    int y = mdiArea_->viewport()->height();
    for (QMdiSubWindow* child : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        if (!child->isMinimized()) continue;
        const QSize size = child->size();
        if (x > 0 && x + size.width() > mdiArea_->viewport()->width()) {
            x = 0;
            y -= size.height();
        }
        if (x == 0 && y == mdiArea_->viewport()->height()) y -= size.height();
        child->move(x, y);
        x += size.width();
    }
}

void CMainFrame::showWindowList() {
    // The open child windows by title; OK (or a double click) activates the
    // chosen one.
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("windowListDlg"));
    dialog.setWindowTitle(QStringLiteral("Windows"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("windowList"));
    layout->addWidget(list);
    const QList<QMdiSubWindow*> children = mdiArea_->subWindowList(QMdiArea::StackingOrder);
    for (QMdiSubWindow* child : children) list->addItem(child->windowTitle());
    list->setCurrentRow(children.indexOf(mdiArea_->currentSubWindow()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialogs::runModal(dialog) != QDialog::Accepted) return;
    const int row = list->currentRow();
    if (row < 0 || row >= children.size()) return;
    QPointer<QMdiSubWindow> chosen = children[row];
    if (chosen.isNull()) return;
    if (chosen->isMinimized()) chosen->showNormal();
    mdiArea_->setActiveSubWindow(chosen);
}

void CMainFrame::showHelp() {
    // No help file ships: the user is offered the online help instead, one
    // dialog at a time.
    if (helpDialogOpen_) return;
    helpDialogOpen_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{helpDialogOpen_};
    dialogs::CCantFindChmDlg dialog(this);
    dialogs::runModal(dialog);
}

void CMainFrame::runHookCommand(int id) {
    auto it = hookCommandMap_.find(id);
    if (it == hookCommandMap_.end()) return;
    const HookCommand command = it->second;
    channels::ChannelManager* manager = channelManager();
    channels::Channel* channel =
        manager != nullptr ? channels::findChannelByCookie(*manager, command.channelCookie) : nullptr;
    channels::ChannelHookRef hook = channel != nullptr ? channels::findChannelHookByCookie(*channel, command.hookCookie)
                                                       : channels::ChannelHookRef();
    if (!hook) {
        beep();
        return;
    }
    try {
        bool failed = false;
        hook->executeCommand(channel, command.commandName, &failed);
        if (failed) {
            dialogs::showMessage(this,
                                 QStringLiteral("The channel hook command failed. Please check the logs for details."),
                                 dialogs::MessageButtons::Ok, dialogs::MessageIcon::Error);
        }
    } catch (const std::exception& e) {
        dialogs::showMessage(this, qs(std::string("Channel hook command failed.\n\n") + e.what()),
                             dialogs::MessageButtons::Ok, dialogs::MessageIcon::Error);
    }
}

void CMainFrame::generateChannelReport(const ChannelReportConfig& report) {
    dialogs::generateChannelReport(this, report);
}
