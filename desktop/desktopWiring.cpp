#include "desktop/desktopWiring.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMainWindow>
#include <QMetaObject>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <list>
#include <ctime>
#include <vector>

#include "desktop/dialogWiring.h"
#include "desktop/inputState.h"
#include "app/core/notificationSink.h"
#include "app/listeners/localPortListener.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/options/globalOptions.h"
#include "app/postedText.h"
#include "app/reports/channelReportGenerator.h"
#include "app/misc/viewedUrlImport.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/core/singleInstance.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelParamsPage.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/small/httpAuthDlg.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "platform/registry.h"
#include "tools/dates.h"
#include "tools/httpAuth.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/channel/channelDoc.h"
#include "widgets/helpers/channelImage.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/simpleBrowser.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "ui/frame/outputBar.h"
#include "ui/appPlugin/appPluginWindow.h"
#include "ui/tray/systemTray.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/windowUpdateLock.h"

namespace msg = platform::messages;

namespace {

bool onUiThread() { return qApp != nullptr && QThread::currentThread() == qApp->thread(); }

// Runs the task on the user-interface thread (at once when already there).
void onUi(std::function<void()> task) {
    if (onUiThread()) {
        task();
    } else if (qApp != nullptr) {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    }
}

// The template of new channels' desktop settings, as the global options
// keep it.
class DesktopSettingsTemplateHolder : public DesktopSettingsTemplate {
public:
    DesktopSettingsTemplateHolder() { setChannelDesktopSettingsTemplate(&settings_); }
    ~DesktopSettingsTemplateHolder() override {
        if (getChannelDesktopSettingsTemplate() == &settings_) setChannelDesktopSettingsTemplate(nullptr);
    }
    void load(const std::string& iniFile) override { settings_.load(iniFile); }
    void save(const std::string& iniFile) override { settings_.save(iniFile); }

private:
    ChannelDesktopSettings settings_{nullptr};
};

class WindowServices : public DesktopServices {
public:
    void urlOpened(const std::string& url, channels::Channel* channel) override {
        if (!isUiHandlerSet()) return;
        UrlOpenedUiEvent event(url, channel);
        getUiHandler()->fireEvent(event);
    }
    void showInSimpleBrowser(const std::string& title, const std::string& url, bool showNavBar) override {
        ui::openSimpleBrowserWindow(url, title, showNavBar);
    }
};

class SettingsObserver : public ChannelDesktopSettingsObserver {
public:
    void beginWaitCursor() override {
        if (onUiThread()) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    void endWaitCursor() override {
        if (onUiThread()) QApplication::restoreOverrideCursor();
    }
    void feedItemMarked(channels::Channel* channel, const std::string& itemId, bool viewed, bool updateSummaryPage,
                        bool endOfBatch) override {
        onUi([channel, itemId, viewed, updateSummaryPage, endOfBatch] {
            if (!isUiHandlerSet() || !isLiveChannel(channel)) return;
            MarkFeedItemAsViewedUiEvent event(channel, itemId, viewed, updateSummaryPage, endOfBatch);
            getUiHandler()->fireEvent(event);
        });
    }
    void channelRowChanged(channels::Channel* channel) override {
        onUi([channel] {
            CWorkspaceBar* bar = getWorkspaceBar();
            if (bar != nullptr && isLiveChannel(channel)) bar->getMyChannelsWnd()->updateChannel(channel);
        });
    }

private:
    // A mark posted from another thread may arrive after its channel went.
    static bool isLiveChannel(channels::Channel* channel) {
        channels::ChannelManager* manager = getChannelManager();
        if (manager == nullptr || channel == nullptr) return false;
        SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
        const std::list<channels::Channel*>& table = manager->getChannels();
        return std::find(table.begin(), table.end(), channel) != table.end();
    }
};

class ReadMeListEntries : public ReadMeListSource {
public:
    int getNumItems() const override {
        CReadMeListWnd* list = readMeList();
        return list != nullptr ? list->getNumItems() : 0;
    }
    void getItem(int index, channels::Channel*& channel, std::string& itemId, std::string& url,
                 std::string& title) const override {
        channel = nullptr;
        if (CReadMeListWnd* list = readMeList()) list->getItem(index, &channel, &itemId, &url, &title);
    }

private:
    static CReadMeListWnd* readMeList() {
        CWorkPad* pad = getWorkPad();
        return pad != nullptr ? pad->getReadMeList() : nullptr;
    }
};

// The first channel report whose automatic update is due: generated, and
// the report configurations saved with its new time. One per tick.
bool generateDueReport() {
    GlobalOptions& options = GlobalOptions::instance();
    const std::time_t now = std::time(nullptr);
    for (ChannelReportConfig& report : options.ChannelReportConfigs) {
        if (!report.isAutoUpdateDue(now)) continue;
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        if (COutputBar* bar = getOutputBar()) {
            bar->addActivityMessage(tools::formatDateTime(now) + " Auto-generating report " + report.getReportName() +
                                    ".\r\n");
        }
        report.setLastUpdateTimeNow(now);
        try {
            if (std::unique_ptr<ChannelReportGenerator> generator = makeChannelReportGenerator(report)) {
                generator->generateReport();
            }
        } catch (const std::exception& e) {
            getNotificationSink().queueError(nullptr, "Can't generate the channel report.\n\n", e.what());
        }
        QApplication::restoreOverrideCursor();
        options.saveChannelReportConfigs();
        return true;
    }
    return false;
}

// The wirings alive (the user-interface thread's): a reset of the program's
// objects removes what they installed, and their next install() installs
// it again.
std::vector<DesktopWiring*>& liveWirings() {
    static std::vector<DesktopWiring*> wirings;
    return wirings;
}
const ProgramObjectReset g_wiringReset("DesktopWiring", [] {
    for (DesktopWiring* wiring : liveWirings()) wiring->remove();
});

}  // namespace

struct DesktopWiring::Parts {
    std::unique_ptr<WindowServices> windowServices;
    std::unique_ptr<SettingsObserver> observer;
    std::unique_ptr<ReadMeListEntries> readMeEntries;
    ViewedUrlImportPoller viewedUrlImport;
    bool installed = false;
};

DesktopWiring::DesktopWiring() : parts_(std::make_unique<Parts>()) { liveWirings().push_back(this); }

DesktopWiring::~DesktopWiring() {
    remove();
    std::vector<DesktopWiring*>& wirings = liveWirings();
    wirings.erase(std::remove(wirings.begin(), wirings.end(), this), wirings.end());
}

void DesktopWiring::install() {
    Parts* parts = parts_.get();
    if (parts->installed) return;
    parts->installed = true;

    // The global options: the new-channel template, the filters the reports
    // look up, and the lists that fail to load (an error balloon, shown once
    // the notification area is there).
    GlobalOptions::setDesktopSettingsFactory([] { return std::make_unique<DesktopSettingsTemplateHolder>(); });
    setChannelFilterLookup([](const std::string& name) -> const ChannelFilter* {
        return GlobalOptions::instance().findChannelFilter(name);
    });
    GlobalOptions::setErrorReporter([](const std::string& title, const std::string& text) {
        getNotificationSink().queueError(nullptr, title, text);
    });

    // The mouse buttons and modifier keys the lists read.
    installMouseHook();
    // The notification sink, the tray icon the frame creates and the
    // balloons' place.
    ui::installTrayServices();
    // Opening and showing channel windows from the lists, the wizard and
    // the channel events.
    installChannelWindowOps();
    installChannelImageFactory();
    // The plug-in sheets opened from a channel's parameters page.
    ui::installAppPluginWindows();
    // "/subscribe" and the StartNewChannelWizard message start the wizard.
    installNewChannelWizardStarters();
    // What the dialogs ask of the windows.
    installDialogWindowOps();

    // The simple-browser windows install theirs before the frame exists;
    // without them pages go to the user's browser.
    if (getDesktopServices() == nullptr) {
        parts->windowServices = std::make_unique<WindowServices>();
        setDesktopServices(parts->windowServices.get());
    }
    parts->observer = std::make_unique<SettingsObserver>();
    setChannelDesktopSettingsObserver(parts->observer.get());
    parts->readMeEntries = std::make_unique<ReadMeListEntries>();
    setReadMeListSource(parts->readMeEntries.get());

    dialogs::CChannelConfigPropPage::setCredentialsEditor(
        [](QWidget* parent, std::unique_ptr<tools::HttpAuth>& credentials) {
            dialogs::CHttpAuthDlg dialog(QObject::tr("Server Authentication"), credentials.get(), parent);
            if (dialog.DoModal() != dialogs::IDOK) return false;
            credentials.reset(dialog.detachHttpAuth());
            return true;
        });

    MainFrameServices& services = getMainFrameServices();
    services.getChannelManager = [] { return ::getChannelManager(); };
    services.addToReadMeList = [](const std::string& url) {
        CWorkPad* pad = getWorkPad();
        if (pad != nullptr) pad->getReadMeList()->addUrl(url, true);
    };
    services.openChannelProperties = [](channels::Channel* channel, channels::ChannelHook* hook) {
        dialogs::openChannelProperties(getMainFrame(), channel, hook);
    };
    // A hook's WM_APP+103: the item in its channel's window.
    services.openFeedItem = [](channels::Channel* channel, const std::string& id, const std::string& url) {
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        if (doc == nullptr) return false;
        doc->showFeedItem(url, id, false);
        return true;
    };
    services.importViewedFeedItemUrls = [parts] {
        const std::string& name = GlobalOptions::instance().ViewedFeedItemUrlsImportFilename;
        channels::ChannelManager* manager = getChannelManager();
        if (name.empty() || manager == nullptr) return;
        // A name without a folder is looked up in the user's Reports folder.
        const std::string path = name.front() == '/' ? name : joinPath(programPaths().reportsDir, name);
        const ViewedUrlImportPoller::Result result = parts->viewedUrlImport.poll(*manager, path);
        if (!result.error.empty())
            getNotificationSink().queueError(nullptr, "Can't import the viewed URLs.", result.error);
    };
    services.generateDueReport = [] { return generateDueReport(); };

    // What the local port listeners hand to the main window (the wizard's
    // starter is among the hooks installed above).
    listeners::ListenerHooks hooks = listeners::listenerHooks();
    hooks.appName = programPaths().appName;
    hooks.addToReadMeList = [](const std::string& url) { postText(getMainWindowHandle(), addToReadMeListMsg(), url); };
    hooks.bringToFront = [] {
        onUi([] {
            if (CMainFrame* main = getMainFrame()) main->bringToFront();
        });
    };
    hooks.isMainFrameCreated = [] { return isMainFrameCreated(); };
    hooks.isReadMeListFull = [] {
        CWorkPad* pad = getWorkPad();
        return pad != nullptr && pad->getReadMeList()->isFull();
    };
    hooks.reportError = [](const std::string& title, const std::string& text) {
        getNotificationSink().queueError(nullptr, title, text);
    };
    listeners::setListenerHooks(hooks);
}

void DesktopWiring::remove() {
    if (!parts_->installed) return;
    parts_->installed = false;
    listeners::setListenerHooks({});
    getMainFrameServices() = MainFrameServices{};
    setChannelWindowOps({});
    removeDialogWindowOps();
    dialogs::CChannelConfigPropPage::setCredentialsEditor(nullptr);
    dialogs::CChannelParamsPropPage::setAppPluginSheetOpener(nullptr);
    GlobalOptions::setErrorReporter(nullptr);
    if (parts_->readMeEntries) {
        setReadMeListSource(nullptr);
        parts_->readMeEntries.reset();
    }
    if (parts_->observer) {
        setChannelDesktopSettingsObserver(nullptr);
        parts_->observer.reset();
    }
    if (parts_->windowServices) {
        if (getDesktopServices() == parts_->windowServices.get()) setDesktopServices(nullptr);
        parts_->windowServices.reset();
    }
    setChannelFilterLookup(nullptr);
}

// --- the main window's state

std::string MainWindowState::key(const std::string& appName) {
    return "HKEY_CURRENT_USER\\Software\\" + appName + "\\Settings\\MainFrame";
}

bool MainWindowState::load(const std::string& appName) {
    namespace reg = platform::registry;
    const std::string k = key(appName);
    const std::optional<reg::Value> g = reg::getValue(k, "Geometry");
    const std::optional<reg::Value> s = reg::getValue(k, "State");
    const std::optional<std::uint32_t> tab = reg::getDword(k, "ControlCenterTab");
    if (g && g->type == reg::TypeBinary) geometry = QByteArray(g->data.data(), static_cast<qsizetype>(g->data.size()));
    if (s && s->type == reg::TypeBinary) state = QByteArray(s->data.data(), static_cast<qsizetype>(s->data.size()));
    if (tab && *tab <= 1) controlCenterTab = static_cast<int>(*tab);
    return !geometry.isEmpty() || !state.isEmpty() || controlCenterTab >= 0;
}

bool MainWindowState::save(const std::string& appName) const {
    namespace reg = platform::registry;
    const std::string k = key(appName);
    if (!reg::createKey(k)) return false;
    bool ok = reg::setBinary(k, "Geometry", geometry.toStdString());
    ok = reg::setBinary(k, "State", state.toStdString()) && ok;
    if (controlCenterTab >= 0)
        ok = reg::setDword(k, "ControlCenterTab", static_cast<std::uint32_t>(controlCenterTab)) && ok;
    return ok;
}

void MainWindowState::takeFrom(const CMainFrame& frame) {
    geometry = frame.saveGeometry();
    state = frame.saveState();
    const CWorkspaceBar* bar = frame.getWorkspaceBar();
    const int tab = bar != nullptr ? bar->tabs()->currentIndex() : -1;
    controlCenterTab = tab >= 0 && tab <= 1 ? tab : -1;
}

void MainWindowState::applyTo(QMainWindow& window) const {
    if (!geometry.isEmpty()) window.restoreGeometry(geometry);
    if (!state.isEmpty()) window.restoreState(state);
}
