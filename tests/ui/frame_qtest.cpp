// The main frame: its bars and commands, the window messages other threads
// send it, the Logs bar, the layouts and the list policy, the tray attempts
// and the timer's error handling.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QtTest>
#include <atomic>
#include <functional>
#include <future>
#include <sstream>
#include <thread>

#include "app/core/messageGroups.h"
#include "desktop/desktopWiring.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/options/userTool.h"
#include "app/postedText.h"
#include "lib/log/messageLog.h"
#include "tests/support/test_support.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/windowUpdateLock.h"

namespace msg = platform::messages;

namespace {

class Handler : public UiEventHandler {
public:
    std::string getDescription() const override { return "[Handler]"; }
};

CMainFrame::Setup setupFor(const testsupport::TempDir& dir) {
    CMainFrame::Setup setup;
    setup.appName = "Orvan";
    setup.logsDir = dir.str();
    setup.trayAttempts = 3;
    setup.trayRetryMs = 10;
    return setup;
}

std::string plainText(QPlainTextEdit* edit) { return edit->toPlainText().toStdString(); }

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { wiring.install(); }
    void init() {
        frame = std::make_unique<CMainFrame>();
        QVERIFY(frame->create(setupFor(dir)));
        frame->show();
    }
    void cleanup() { frame.reset(); }

    void barsCommandsAndTimer() {
        QVERIFY(isMainFrameCreated());
        QCOMPARE(frame->getWorkspaceBar()->windowTitle(), QString("Control Center"));
        QCOMPARE(frame->getOutputBar()->windowTitle(), QString("Logs"));
        QCOMPARE(frame->getWorkPad()->windowTitle(), QString("Workpad"));
        QVERIFY(frame->getWorkspaceBar()->isVisible());
        QVERIFY(!frame->getOutputBar()->isVisible());
        QVERIFY(!frame->getWorkPad()->isVisible());
        QTabWidget* tabs = frame->getOutputBar()->tabs();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("Activity"));
        QCOMPARE(tabs->tabText(1), QString("Errors"));
        QVERIFY(frame->isTimerActive());
        // The error log command shows the bar on its Errors tab.
        QVERIFY(frame->runCommand(32834));
        QVERIFY(frame->getOutputBar()->isVisible());
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(frame->getCommand(32844) != nullptr);
        QVERIFY(frame->getCommand(57665) != nullptr);
        QVERIFY(!frame->runCommand(12345));
    }

    // What the frame installs for the rest of the program goes with it:
    // nothing is left pointing at the destroyed window.
    void whatTheFrameInstallsGoesWithIt() {
        const std::vector<std::pair<const char*, std::function<bool()>>> installed = {
            {"getMainFrame", [] { return getMainFrame() != nullptr; }},
            {"getUserToolHost", [] { return getUserToolHost() != nullptr; }},
            {"WindowUpdateLock::getMainFrame", [] { return WindowUpdateLock::getMainFrame() != nullptr; }},
        };
        for (const auto& [name, isInstalled] : installed) QVERIFY2(isInstalled(), name);
        frame.reset();
        for (const auto& [name, isInstalled] : installed) QVERIFY2(!isInstalled(), name);
    }

    // A send from another thread runs on the user-interface thread and
    // returns the handler's answer; a posted command triggers its action
    // there.
    void messagesFromAnotherThread() {
        const unsigned probe = msg::registerMessage("FrameTestProbe");
        std::thread::id ranOn;
        frame->setMessageHandler(probe, [&](std::uintptr_t w, std::intptr_t l) -> std::intptr_t {
            ranOn = std::this_thread::get_id();
            return static_cast<std::intptr_t>(w) + l;
        });
        std::atomic<int> triggered{0};
        std::thread::id triggeredOn;
        QAction* action = frame->addCommand(32999, "Probe");
        connect(action, &QAction::triggered, [&] {
            triggeredOn = std::this_thread::get_id();
            ++triggered;
        });
        const msg::Handle window = frame->getHandle();
        auto result = std::async(std::launch::async, [window, probe] {
            msg::postMessage(window, msg::WM_COMMAND, 32999, 0);
            return msg::sendMessage(window, probe, 40, 2);
        });
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        QCOMPARE(result.get(), std::intptr_t(42));
        QCOMPARE(ranOn, std::this_thread::get_id());
        QTRY_COMPARE_WITH_TIMEOUT(triggered.load(), 1, 5000);
        QCOMPARE(triggeredOn, std::this_thread::get_id());
    }

    // A worker waiting in a send while the frame goes (the event loop not
    // running, as at shut-down) is released with 0.
    void destroyingTheFrameReleasesAWaitingSend() {
        const msg::Handle window = frame->getHandle();
        std::promise<void> sending;
        auto result = std::async(std::launch::async, [&] {
            sending.set_value();
            return msg::sendMessage(window, relayDllChannelHookEventMsg(), 0, 0);
        });
        sending.get_future().wait();
        // Give the send time to queue; it can't run, nothing serves events.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        frame.reset();
        QVERIFY(result.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        QCOMPARE(result.get(), std::intptr_t(0));
        QVERIFY(!isMainFrameCreated());
        QVERIFY(!msg::postMessage(window, logChannelActivityMsg(), 0, 0));
    }

    void logMessagesReachTabsAndFiles() {
        const msg::Handle window = frame->getHandle();
        std::thread worker([window] {
            postText(window, logChannelActivityMsg(), "10:00 Getting the latest feed from News\r\n");
            postText(window, logErrorMsgMsg(), "10:00 | News: Not found\r\n");
        });
        worker.join();
        COutputBar* bar = frame->getOutputBar();
        QTRY_COMPARE_WITH_TIMEOUT(plainText(bar->errorLog()), std::string("10:00 | News: Not found\n"), 5000);
        QCOMPARE(plainText(bar->activityLog()), std::string("10:00 Getting the latest feed from News\n"));
        QCOMPARE(testsupport::readFile(dir.file("OrvanActivity.log")),
                 std::string("10:00 Getting the latest feed from News\r\n"));
        QCOMPARE(testsupport::readFile(dir.file("OrvanError.log")), std::string("10:00 | News: Not found\r\n"));
        QCOMPARE(getPostedTextCount(), std::size_t(0));
    }

    void outputBarLimitsAndFiles() {
        struct Case {
            int max;
            std::vector<std::string> messages;
            std::string shown;
        };
        const std::vector<Case> cases = {
            {3, {"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5\r\n"}, "3\n4\n5\n"},
            {-1, {"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5\r\n"}, "1\n2\n3\n4\n5\n"},
            {0, {"1\r\n", "2\r\n"}, ""},
            {5, {"no end ", "joined\r\n"}, "no end joined\n"},
        };
        for (const Case& c : cases) {
            testsupport::TempDir logs;
            testsupport::writeFile(logs.file("OrvanActivity.log"), "from the last run\n");
            COutputBar bar(nullptr);
            COutputBar::LogLook look;
            look.maxMsgs = c.max;
            QVERIFY(bar.create(logs.str(), look, look));
            QCOMPARE(getOutputBar(), &bar);
            std::string all;
            for (const std::string& m : c.messages) {
                bar.addActivityMessage(m);
                all += m;
            }
            QCOMPARE(plainText(bar.activityLog()), c.shown);
            // The file holds everything, untrimmed, and nothing of before.
            QCOMPARE(testsupport::readFile(logs.file("OrvanActivity.log")), all);
        }
    }

    void layoutSwitching() {
        setUiHandler(true);
        Handler kept;
        getUiHandler()->addEventHandler(&kept);
        QMdiSubWindow* child = frame->getMdiArea()->addSubWindow(new QWidget);
        child->show();
        // Already current: nothing closes.
        setUiHandler(true);
        QCOMPARE(frame->getMdiArea()->subWindowList().size(), 1);
        QVERIFY(!getUiHandler()->isSdi());
        setUiHandler(false);
        QVERIFY(getUiHandler()->isSdi());
        QTRY_COMPARE_WITH_TIMEOUT(frame->getMdiArea()->subWindowList().size(), 0, 5000);
        QVERIFY(getUiHandler()->isEventHandler(&kept));
        // The single-window layout keeps only the newest child window.
        QMdiSubWindow* first = frame->getMdiArea()->addSubWindow(new QWidget);
        QMdiSubWindow* second = frame->getMdiArea()->addSubWindow(new QWidget);
        first->show();
        second->show();
        getUiHandler()->beginLayoutChange();
        QVERIFY(getUiHandler()->isInLayoutChange());
        getUiHandler()->endLayoutChange(nullptr, second);
        QVERIFY(!getUiHandler()->isInLayoutChange());
        QTRY_COMPARE_WITH_TIMEOUT(frame->getMdiArea()->subWindowList().size(), 1, 5000);
        QCOMPARE(frame->getMdiArea()->subWindowList().first(), second);
        getUiHandler()->removeEventHandler(&kept);
        setUiHandler(true);
    }

    void listKeyPolicy() {
        setUiHandler(true);
        std::vector<int> posted;
        for (int id : {32845, 32858, 32827, 32828}) {
            connect(frame->addCommand(id, "cmd"), &QAction::triggered, [&posted, id] { posted.push_back(id); });
        }
        auto* channel = reinterpret_cast<channels::Channel*>(0x1000);
        auto* plugin = reinterpret_cast<channels::AppPlugin*>(0x2000);
        struct Case {
            bool plugins;
            int key;
            int modifiers;
            bool handled;
            int command;  // 0: none
        };
        const std::vector<Case> cases = {
            {false, 13, 0, true, 32845}, {false, 32, 2, true, 32827}, {false, 13, 4, true, 32827},
            {false, 13, 3, true, 32828}, {false, 13, 1, true, 32828}, {false, 65, 0, false, 0},
            {true, 13, 0, true, 32845},  {true, 13, 4, true, 32827},  {true, 32, 1, true, 32827},
            {true, 9, 0, false, 0},
        };
        for (const Case& c : cases) {
            posted.clear();
            const bool handled = c.plugins ? getUiHandler()->onAppPluginKeyPressed(plugin, c.key, c.modifiers)
                                           : getUiHandler()->onMyChannelsKeyPressed(channel, c.key, c.modifiers);
            QCOMPARE(handled, c.handled);
            // The command runs after the current message.
            QVERIFY(posted.empty());
            QCoreApplication::processEvents();
            QCOMPARE(posted, c.command == 0 ? std::vector<int>{} : std::vector<int>{c.command});
        }
        QVERIFY(!getUiHandler()->onMyChannelsKeyPressed(nullptr, 13, 0));
    }

    // GlobalOptionsChanged: the MDI tabs and the caption bar's look follow
    // the options as they are then, not as they were at start-up.
    void globalOptionsChangedReadsTheOptions() {
        setUiHandler(true);
        getUiHandler()->addEventHandler(frame.get());
        GlobalOptions& o = GlobalOptions::instance();
        struct Saved {
            int mdiTabs, fontSize;
            bool italics;
            int foreground, background;
            bool show;
        } const saved{o.MdiTabs,          o.CaptionBarFontSize, o.CaptionBarItalics,
                      o.CaptionBarFgdCol, o.CaptionBarBgdCol,   o.ShowCaptionBar};
        struct Case {
            int mdiTabs;
            QMdiArea::ViewMode mode;
            QTabWidget::TabPosition position;
            int fontSize;
            bool italics;
            int foreground, background;  // 0x00BBGGRR
            QColor shownForeground, shownBackground;
        };
        const std::vector<Case> cases = {
            {1, QMdiArea::TabbedView, QTabWidget::North, 17, true, 0x0000FF, 0xFF0000, QColor(255, 0, 0),
             QColor(0, 0, 255)},
            {0, QMdiArea::TabbedView, QTabWidget::South, 11, false, 0x00FF00, 0x010203, QColor(0, 255, 0),
             QColor(3, 2, 1)},
            {2, QMdiArea::SubWindowView, QTabWidget::South, 13, true, 0, 0xFFFFFF, QColor(0, 0, 0),
             QColor(255, 255, 255)},
        };
        for (const Case& c : cases) {
            o.MdiTabs = c.mdiTabs;
            o.CaptionBarFontSize = c.fontSize;
            o.CaptionBarItalics = c.italics;
            o.CaptionBarFgdCol = c.foreground;
            o.CaptionBarBgdCol = c.background;
            getUiHandler()->fireGlobalOptionsChanged();
            QCOMPARE(frame->getMdiArea()->viewMode(), c.mode);
            if (c.mode == QMdiArea::TabbedView) QCOMPARE(frame->getMdiArea()->tabPosition(), c.position);
            const QLabel* caption = frame->getCaptionBar();
            QCOMPARE(caption->font().pixelSize(), c.fontSize);
            QCOMPARE(caption->font().italic(), c.italics);
            QCOMPARE(caption->palette().color(QPalette::WindowText), c.shownForeground);
            QCOMPARE(caption->palette().color(QPalette::Window), c.shownBackground);
        }
        // The caption bar's switch, read when its text changes.
        o.ShowCaptionBar = false;
        frame->setCaptionBarText("alpha");
        QVERIFY(frame->getCaptionBar()->isHidden());
        o.ShowCaptionBar = true;
        frame->setCaptionBarText("alpha");
        QVERIFY(!frame->getCaptionBar()->isHidden());
        getUiHandler()->removeEventHandler(frame.get());
        o.MdiTabs = saved.mdiTabs;
        o.CaptionBarFontSize = saved.fontSize;
        o.CaptionBarItalics = saved.italics;
        o.CaptionBarFgdCol = saved.foreground;
        o.CaptionBarBgdCol = saved.background;
        o.ShowCaptionBar = saved.show;
    }

    // "Add from clipboard": an http address on the clipboard goes to the
    // read-me list; anything else leaves the command disabled.
    void addFromClipboard() {
        programPaths().userConfigFile = dir.file("config.ini");
        QAction* command = frame->getCommand(32917);
        QVERIFY(command != nullptr);
        QCOMPARE(command->text(), QString("Add from clip&board"));
        CReadMeListWnd* readMe = frame->getWorkPad()->getReadMeList();
        struct Case {
            const char* clipboard;
            bool added;
        };
        for (const Case& c : {Case{"HTTP://example.com/a", true}, Case{"https://example.com/b", false},
                              Case{"see http://example.com/c", false}, Case{"", false}}) {
            QGuiApplication::clipboard()->setText(QString::fromUtf8(c.clipboard));
            const int before = readMe->getNumItems();
            QCOMPARE(frame->runCommand(32917), c.added);
            QCOMPARE(command->isEnabled(), c.added);
            QCOMPARE(readMe->getNumItems(), before + (c.added ? 1 : 0));
            if (c.added) {
                std::string url;
                readMe->getItem(readMe->getNumItems() - 1, nullptr, nullptr, &url, nullptr);
                QCOMPARE(url, std::string(c.clipboard));
            }
        }
    }

    // No tray host under the offscreen platform: the attempts run on a timer
    // while the window stays usable, and the program goes on without an icon.
    void noTrayHost() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) QSKIP("a tray host is running");
        std::ostringstream out;
        CMessageLog log(out);
        CMessageLog* previous = setMessageLog(&log);
        g_startupGroup.setEnabled(true);
        frame = std::make_unique<CMainFrame>();
        QVERIFY(frame->create(setupFor(dir)));
        frame->show();
        QVERIFY(frame->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(out.str().find("running without one") != std::string::npos, 5000);
        setMessageLog(previous);
        const std::string text = out.str();
        QVERIFY(text.find("Creating the system tray icon: attempt 3") != std::string::npos);
        QVERIFY(text.find("attempt 4") == std::string::npos);
        QVERIFY(frame->getTrayIcon() == nullptr);
        QVERIFY(isMainFrameCreated());
    }

    // An exception of a timer step is reported in the Errors tab and the
    // timer goes on.
    void timerStepThatThrows() {
        int imports = 0;
        getMainFrameServices().importViewedFeedItemUrls = [&] {
            ++imports;
            throw std::runtime_error("Can't open the file: viewed.txt");
        };
        frame->notificationTimerProc();
        QCOMPARE(imports, 1);
        QVERIFY(plainText(frame->getOutputBar()->errorLog()).find("Can't open the file: viewed.txt") !=
                std::string::npos);
        QVERIFY(frame->isTimerActive());
        QTRY_VERIFY_WITH_TIMEOUT(imports >= 2, 5000);
        // The program's own step again for the tests after this one.
        wiring.remove();
        wiring.install();
    }

private:
    DesktopWiring wiring;
    testsupport::TempDir dir;
    std::unique_ptr<CMainFrame> frame;
};

QTEST_MAIN(FrameTest)
#include "frame_qtest.moc"
