// The notification queue and its balloons over real channels with desktop
// settings, under a real main frame: the order (errors first), the length
// limit, what each kind of balloon shows, time-out, clicks and context-menu
// commands, and channels deleted while their balloon waits or is shown.
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMenu>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>
#include <vector>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "desktop/desktopWiring.h"
#include "app/core/notificationSink.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "tests/app/app_fixture.h"
#include "tests/ui/channel_windows.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "ui/notify/balloonHelp.h"
#include "ui/notify/notificationQueue.h"
#include "ui/tray/systemTray.h"

namespace {

// Item links point at a closed loopback port: a page that opens one fails
// at once and reaches no outside server.
std::vector<apptest::ItemSpec> items(const std::string& name, int n) {
    std::vector<apptest::ItemSpec> specs = apptest::numberedItems(name, n);
    for (apptest::ItemSpec& item : specs) item.url = "http://127.0.0.1:9/" + name + "/" + item.id;
    return specs;
}

// The main frame's one-second timer, which shows the queued notifications.
QTimer* frameTimer(CMainFrame& frame) {
    for (QTimer* timer : frame.findChildren<QTimer*>()) {
        if (timer->interval() == 1000) return timer;
    }
    return nullptr;
}

// Channels in the program's manager, a main frame made the way start-up
// makes it (the program's wiring first), and a queue that starts empty.
// The frame's timer does not show notifications unless a test starts it.
struct Fixture : apptest::DesktopFixture {
    Fixture() {
        setChannelManager(manager.get());
        programPaths().userConfigFile = dir.file("config.ini");
        wiring.install();
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = dir.file("Logs");
        setup.trayAttempts = 1;
        frame = std::make_unique<CMainFrame>();
        frame->create(setup);
        frameTimer(*frame)->stop();
        ui::registerTrayEventHandler();
    }
    ~Fixture() {
        ui::clearNotifications();
        uitest::deleteChannelWindows();
        frame.reset();
        resetProgramObjectsForTests();
    }
    channeltest::TestChannel* add(const std::string& name, int n) {
        channeltest::TestChannel* channel = addChannel(name, items(name, n));
        settings(channel).setNotifyOnNewItem(true);
        return channel;
    }
    static std::unique_ptr<NewFeedItemNotificationRequest> newItem(channels::Channel* channel, int k) {
        const std::string id = "id-" + std::to_string(k);
        const std::string name = channel->getDisplayName();
        return std::make_unique<NewFeedItemNotificationRequest>(name, "Item " + std::to_string(k), channel, id,
                                                                "http://127.0.0.1:9/" + name + "/" + id,
                                                                "Item " + std::to_string(k), k - 1);
    }
    void deleteChannel(channels::Channel* channel) { uitest::deleteChannel(*manager, channel); }
    DesktopWiring wiring;
    std::unique_ptr<CMainFrame> frame;
};

// What the balloon up now shows: "title|text", or "" when none is up.
QString shown() {
    CBalloonHelp* balloon = ui::currentBalloon();
    if (balloon == nullptr || !balloon->hasWindow()) return {};
    return QString::fromStdString(balloon->getTitle() + "|" + balloon->getContent());
}

// Closes the balloon up now (its close button) and shows the next.
QString closeAndShowNext() {
    if (CBalloonHelp* balloon = ui::currentBalloon(); balloon != nullptr && balloon->hasWindow()) {
        const QPoint button = balloon->closeButtonRect().center();
        QTest::mousePress(balloon, Qt::LeftButton, {}, button);
        QTest::mouseRelease(balloon, Qt::LeftButton, {}, button);
    }
    ui::processNotifications();
    return shown();
}

void clickContent(CBalloonHelp* balloon) {
    const QPoint inside(balloon->width() / 2, balloon->height() - CBalloonHelp::kMargin - 2);
    QTest::mouseClick(balloon, Qt::LeftButton, {}, inside);
}

// A request that counts what its balloon tells it.
struct Counts {
    int shown = 0;
    int closed = 0;
};
class CountingRequest : public SimpleNotificationRequest {
public:
    CountingRequest(Counts& counts, int seconds) : SimpleNotificationRequest("Count", "me", seconds), counts_(counts) {}
    void onShow() override { ++counts_.shown; }
    void onClose() override { ++counts_.closed; }

private:
    Counts& counts_;
};

}  // namespace

class NotifyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setUiHandler(true);
        CChannelDoc::setNewChannelWizardOpen(true);  // no summary-page hint
        QDesktopServices::setUrlHandler("http", this, "captureUrl");
        QDesktopServices::setUrlHandler("mailto", this, "captureUrl");
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("mailto");
    }
    void init() {
        GlobalOptions& o = GlobalOptions::instance();
        o.MaxNotificationQueueLength = -1;
        o.NotificationBalloonMode = 1;
        o.NotificationBalloonDisplayTime = 30;
        o.NotificationBalloonPosition = 3;
        o.ShowNotificationBalloonCloseIcon = true;
        o.PlaySoundOnError = false;
        o.DisableAllAnimation = false;
        opened.clear();
    }

    // Errors are shown before every other request whatever their order of
    // arrival; a full request queue refuses more, while errors still
    // queue; one balloon at a time.
    void errorsFirstAndQueueLimit() {
        Fixture f;
        auto* a = f.add("alpha", 4);
        GlobalOptions::instance().MaxNotificationQueueLength = 3;
        for (int k = 1; k <= 4; ++k) ui::queueNotification(Fixture::newItem(a, k));
        QCOMPARE(ui::queuedRequestCount(), std::size_t(3));
        ui::queueNotification(new ErrorNotificationRequest(a, "alpha error.", "Can't update the feed.", -1));
        ui::queueNotification(new ErrorNotificationRequest("Plugin error.", "It broke.", -1));
        QCOMPARE(ui::queuedErrorCount(), std::size_t(2));

        ui::processNotifications();
        QCOMPARE(shown(), QString("alpha error.|Can't update the feed."));
        QCOMPARE(ui::currentBalloon()->getTitleColour(), QColor(255, 0, 0));
        ui::processNotifications();  // still the same one
        QCOMPARE(shown(), QString("alpha error.|Can't update the feed."));
        QCOMPARE(closeAndShowNext(), QString("Plugin error.|It broke."));
        QCOMPARE(closeAndShowNext(), QString("alpha|Item 1"));
        QVERIFY(ui::currentBalloon()->getTitleColour() != QColor(255, 0, 0));
        QCOMPARE(closeAndShowNext(), QString("alpha|Item 2"));
        QCOMPARE(closeAndShowNext(), QString("alpha|Item 3"));
        QCOMPARE(closeAndShowNext(), QString());  // item 4 was refused
        QCOMPARE(ui::queuedRequestCount(), std::size_t(0));
    }

    // Many threads queue at once: nothing is lost, and the limit holds.
    void queueFromWorkerThreads() {
        Fixture f;
        GlobalOptions::instance().MaxNotificationQueueLength = 50;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([] {
                for (int k = 0; k < 40; ++k) {
                    ui::queueNotification(new ErrorNotificationRequest("Worker error.", std::to_string(k), -1));
                    ui::queueNotification(new SimpleNotificationRequest("Worker", std::to_string(k), 1));
                }
            });
        }
        for (std::thread& t : threads) t.join();
        QCOMPARE(ui::queuedErrorCount(), std::size_t(160));
        QCOMPARE(ui::queuedRequestCount(), std::size_t(50));
        QCoreApplication::processEvents();  // the posted repaint of My Channels
    }

    void balloonForEachKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<unsigned>("timeout");
        QTest::addColumn<bool>("clickable");
        QTest::addColumn<bool>("red");
        QTest::newRow("simple, own time") << 0 << "Konnichiwa|Orvan has started." << 5000u << false << false;
        QTest::newRow("simple, default time") << 1 << "Note|Plain." << 30000u << false << false;
        QTest::newRow("error") << 2 << "alpha error.|Can't update the feed." << 30000u << true << true;
        QTest::newRow("new item") << 3 << "alpha|Item 1" << 30000u << true << false;
        QTest::newRow("consolidated") << 4 << "alpha|Item 1\nItem 2" << 30000u << true << false;
    }
    void balloonForEachKind() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(unsigned, timeout);
        QFETCH(bool, clickable);
        QFETCH(bool, red);
        Fixture f;
        auto* a = f.add("alpha", 2);
        switch (kind) {
            case 0:
                ui::queueNotification(new SimpleNotificationRequest("Konnichiwa", "Orvan has started.", 5));
                break;
            case 1:
                ui::queueNotification(new SimpleNotificationRequest("Note", "Plain.", 0));
                break;
            case 2:
                ui::queueNotification(new ErrorNotificationRequest(a, "alpha error.", "Can't update the feed.", -1));
                break;
            case 3:
                ui::queueNotification(Fixture::newItem(a, 1));
                break;
            default:
                ui::queueNotification(new ConsolidatedNewFeedItemsNotificationRequest("alpha", "Item 1\nItem 2", a));
        }
        // The main frame's timer shows it.
        frameTimer(*f.frame)->start();
        QTRY_COMPARE_WITH_TIMEOUT(shown(), text, 3000);
        CBalloonHelp* balloon = ui::currentBalloon();
        QVERIFY(balloon->isVisible());
        QCOMPARE(balloon->getTimeout(), timeout);
        QCOMPARE(balloon->getTitleColour() == QColor(255, 0, 0), red);
        QCOMPARE(balloon->cursor().shape(), clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QVERIFY(!balloon->closeButtonRect().isEmpty());
        QVERIFY((balloon->getOptions() & CBalloonHelp::Topmost) != 0);
        // It sits inside the screen's work area, beside the tray's corner.
        QVERIFY(balloon->screen()->availableGeometry().contains(balloon->geometry()));
    }

    void anchorPositions_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QPoint>("anchor");
        QTest::newRow("top left") << 0 << QPoint(0, 0);
        QTest::newRow("top right") << 1 << QPoint(1024, 0);
        QTest::newRow("bottom left") << 2 << QPoint(0, 738);
        QTest::newRow("bottom right") << 3 << QPoint(1024, 738);
        QTest::newRow("top centre") << 4 << QPoint(512, 0);
        QTest::newRow("right centre") << 5 << QPoint(1024, 369);
        QTest::newRow("bottom centre") << 6 << QPoint(512, 738);
        QTest::newRow("left centre") << 7 << QPoint(0, 369);
        QTest::newRow("other") << 8 << QPoint(1024, 738);
    }
    void anchorPositions() {
        QFETCH(int, position);
        QFETCH(QPoint, anchor);
        // A notification area whose right edge is 1024 and top 738.
        QCOMPARE(ui::balloonAnchor(position, QRect(874, 738, 150, 30)), anchor);
    }

    // The balloon's corner goes where the anchor's quadrant says, pulled
    // back inside the work area.
    void placement() {
        const QRect work(0, 0, 1000, 800);
        // Lower right: the point (cx/4*3, cy-2) of the balloon lies on the anchor.
        QCOMPARE(CBalloonHelp::placeWindow(QSize(200, 100), QPoint(700, 600), work), QPoint(700 - 150, 600 - 98));
        // Upper left: (cx/4, 1).
        QCOMPARE(CBalloonHelp::placeWindow(QSize(200, 100), QPoint(300, 200), work), QPoint(300 - 50, 200 - 1));
        // Past the right and bottom edges: moved inside.
        QCOMPARE(CBalloonHelp::placeWindow(QSize(200, 100), QPoint(999, 799), work), QPoint(800, 700));
        // Narrower than 16 pixels: the reference x is clamped to 8, then to cx - 8.
        QCOMPARE(CBalloonHelp::placeWindow(QSize(12, 40), QPoint(300, 200), work), QPoint(300 - 4, 200 - 1));
    }

    // Clear of a modal dialog: beside it on the nearest side with room, else
    // in the work area's corner it covers least; untouched when apart.
    void clearOfModalDialog_data() {
        QTest::addColumn<QRect>("balloon");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("expected");
        const QRect corner(700, 650, 300, 100);  // bottom right of a 1000x800 work area
        QTest::newRow("apart") << corner << QRect(100, 100, 400, 300) << corner;
        QTest::newRow("over the buttons: above the dialog")
            << corner << QRect(400, 300, 500, 450) << QRect(700, 200, 300, 100);
        QTest::newRow("tall dialog: to its left") << corner << QRect(500, 0, 400, 800) << QRect(200, 650, 300, 100);
        QTest::newRow("no room beside: the corner covered least")
            << corner << QRect(0, 0, 950, 780) << QRect(700, 700, 300, 100);
    }
    void clearOfModalDialog() {
        QFETCH(QRect, balloon);
        QFETCH(QRect, dialog);
        QFETCH(QRect, expected);
        const QRect work(0, 0, 1000, 800);
        QCOMPARE(CBalloonHelp::clearOf(balloon, dialog, work), expected);
    }

    // A balloon that is up when a modal dialog opens over its corner moves
    // off the dialog, and comes back once the dialog is gone.
    void balloonMovesOffAModalDialog() {
        Fixture f;
        ui::queueNotification(new SimpleNotificationRequest("News error", "Can't update the feed.", 30));
        ui::processNotifications();
        CBalloonHelp* balloon = ui::currentBalloon();
        QVERIFY(balloon && balloon->isVisible());
        const QRect before = balloon->geometry();
        QDialog dialog;
        dialog.setGeometry(before.adjusted(-100, -100, 20, 20));
        dialog.setModal(true);
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(!balloon->geometry().intersects(dialog.frameGeometry()), 3000);
        dialog.close();
        QTRY_COMPARE_WITH_TIMEOUT(balloon->geometry(), before, 3000);
        balloon->hideBalloon();
    }

    // Mode 2 discards one non-error request per call; a new item viewed,
    // switched off, or without desktop settings since it was queued never
    // shows, and the next request shows in the same call.
    void requestsDroppedBeforeShowing() {
        Fixture f;
        auto* a = f.add("alpha", 3);
        auto* b = f.add("bravo", 1);
        GlobalOptions::instance().NotificationBalloonMode = 2;
        ui::queueNotification(Fixture::newItem(a, 1));
        ui::queueNotification(Fixture::newItem(a, 2));
        ui::processNotifications();
        QCOMPARE(shown(), QString());
        QCOMPARE(ui::queuedRequestCount(), std::size_t(1));
        ui::processNotifications();
        QCOMPARE(ui::queuedRequestCount(), std::size_t(0));
        QCOMPARE(shown(), QString());

        GlobalOptions::instance().NotificationBalloonMode = 1;
        ui::queueNotification(Fixture::newItem(a, 1));
        ui::queueNotification(Fixture::newItem(b, 1));
        ui::queueNotification(Fixture::newItem(a, 2));
        ui::queueNotification(Fixture::newItem(a, 3));
        Fixture::settings(a).markFeedItemViewed("id-1", true, false);
        getChannelDesktopSettingsTable().remove(b);  // its settings go
        ui::processNotifications();
        QCOMPARE(shown(), QString("alpha|Item 2"));
        Fixture::settings(a).setNotifyOnNewItem(false);
        QCOMPARE(closeAndShowNext(), QString());
        QCOMPARE(ui::queuedRequestCount(), std::size_t(0));
    }

    // The time-out closes the balloon on a whole-second tick; the request
    // hears shown and closed once each, and the next one can show.
    void timeoutClosesBalloon() {
        Fixture f;
        Counts counts;
        ui::queueNotification(new CountingRequest(counts, 1));
        ui::queueNotification(new SimpleNotificationRequest("Next", "one", 1));
        ui::processNotifications();
        CBalloonHelp* balloon = ui::currentBalloon();
        QCOMPARE(counts.shown, 1);
        QCOMPARE(balloon->getTimeout(), 1000u);
        QTRY_VERIFY_WITH_TIMEOUT(!balloon->hasWindow(), 3500);
        QTRY_VERIFY_WITH_TIMEOUT(!balloon->isVisible(), 2000);
        QCOMPARE(counts.closed, 1);
        ui::processNotifications();
        QCOMPARE(shown(), QString("Next|one"));
        QCOMPARE(counts.closed, 1);
    }

    // A click on a new-item balloon opens the item in its channel's window
    // (read from then on); on a consolidated one, the channel's window. A
    // click on a plain balloon only closes it.
    void clickOpensWhatItAnnounces() {
        Fixture f;
        auto* a = f.add("alpha", 2);
        auto* b = f.add("bravo", 2);
        ui::queueNotification(Fixture::newItem(a, 2));
        ui::processNotifications();
        clickContent(ui::currentBalloon());
        QVERIFY(!ui::currentBalloon()->hasWindow());
        CChannelDoc* doc = CChannelDoc::openChannelDoc(a, false);
        QVERIFY(doc != nullptr);
        QVERIFY(Fixture::settings(a).isFeedItemViewed("id-2"));
        QVERIFY(!Fixture::settings(a).isFeedItemViewed("id-1"));

        ui::queueNotification(new ConsolidatedNewFeedItemsNotificationRequest("bravo", "Item 1\nItem 2", b));
        ui::processNotifications();
        clickContent(ui::currentBalloon());
        QVERIFY(CChannelDoc::openChannelDoc(b, false) != nullptr);
        QCOMPARE(CChannelDoc::openDocumentCount(), 2);

        ui::queueNotification(new SimpleNotificationRequest("Plain", "text", 5));
        ui::processNotifications();
        clickContent(ui::currentBalloon());
        QVERIFY(!ui::currentBalloon()->hasWindow());
        QCOMPARE(CChannelDoc::openDocumentCount(), 2);
    }

    void contextMenuCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Open") << 32869 << true;
        QTest::newRow("Open in new window") << 32880 << true;
        QTest::newRow("Copy URL") << 32870 << false;
        QTest::newRow("Email URL") << 32894 << true;
        QTest::newRow("Add to read-me list") << 32896 << true;
        QTest::newRow("other") << 32999 << false;
    }
    void contextMenuCommands() {
        QFETCH(int, command);
        QFETCH(bool, closes);
        Fixture f;
        auto* a = f.add("alpha", 2);
        const std::string url = "http://127.0.0.1:9/alpha/id-1";
        QApplication::clipboard()->clear();
        ui::queueNotification(Fixture::newItem(a, 1));
        ui::processNotifications();
        CBalloonHelp* balloon = ui::currentBalloon();
        QCOMPARE(balloon->getNotification()->getContextMenuId(), 326);

        // The real menu, its texts, and the command chosen from it.
        QStringList texts;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                texts << action->text();
                if (action->property("commandId").toInt() == command) chosen = action;
            }
            if (chosen == nullptr) {
                menu->close();
                return;
            }
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(balloon, Qt::RightButton, {}, QPoint(balloon->width() / 2, balloon->height() / 2));
        QCOMPARE(texts,
                 (QStringList{"&Open", "Open in &new window", "&Copy URL", "&Email URL", "Add to &read-me list"}));
        QTRY_COMPARE(balloon->hasWindow(), !closes);

        ChannelDesktopSettings& s = Fixture::settings(a);
        CReadMeListWnd* readMe = f.frame->getWorkPad()->getReadMeList();
        switch (command) {
            case 32869:
                QVERIFY(CChannelDoc::openChannelDoc(a, false) != nullptr);
                QVERIFY(s.isFeedItemViewed("id-1"));
                break;
            case 32880:
                QCOMPARE(opened, QStringList{QString::fromStdString(url)});
                QVERIFY(s.isFeedItemViewed("id-1"));
                QCOMPARE(s.getTotalFeedItemsOpened(), 1);
                break;
            case 32870:
                QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(url));
                break;
            case 32894:
                QCOMPARE(opened.size(), 1);
                QVERIFY(opened[0].startsWith("mailto:"));
                break;
            case 32896:
                QCOMPARE(readMe->getNumItems(), 1);
                QCOMPARE(readMe->findItem(a, "id-1"), 0);
                break;
            default:
                QVERIFY(opened.isEmpty());
                QCOMPARE(readMe->getNumItems(), 0);
        }
    }

    // A channel deleted while its balloon waits: the request is dropped. A
    // channel deleted while its balloon is up: the click and the menu find
    // nothing and open nothing.
    void channelDeletedWhileQueuedOrShown() {
        Fixture f;
        auto* a = f.add("alpha", 2);
        auto* b = f.add("bravo", 2);
        ui::queueNotification(Fixture::newItem(a, 1));
        ui::queueNotification(new ErrorNotificationRequest(b, "bravo error.", "Can't update the feed.", -1));
        ui::queueNotification(Fixture::newItem(b, 1));
        f.deleteChannel(a);
        ui::processNotifications();
        QCOMPARE(shown(), QString("bravo error.|Can't update the feed."));
        QCOMPARE(closeAndShowNext(), QString("bravo|Item 1"));  // alpha's item was dropped

        f.deleteChannel(b);
        CBalloonHelp* balloon = ui::currentBalloon();
        QVERIFY(balloon->getNotification()->getChannel() == nullptr);
        bool close = false;
        balloon->getNotification()->onContextMenuCommand(NewFeedItemNotificationRequest::AddToReadMeList, close);
        balloon->getNotification()->onContextMenuCommand(NewFeedItemNotificationRequest::OpenInNewWindow, close);
        clickContent(balloon);
        QVERIFY(!balloon->hasWindow());
        QCOMPARE(CChannelDoc::openDocumentCount(), 0);
        QCOMPARE(f.frame->getWorkPad()->getReadMeList()->getNumItems(), 0);
        QVERIFY(opened.isEmpty());

        // An error balloon whose channel is gone: the click does nothing.
        ui::queueNotification(new ErrorNotificationRequest(b, "bravo error.", "Again.", -1));
        ui::processNotifications();
        clickContent(ui::currentBalloon());
        QVERIFY(!ui::currentBalloon()->hasWindow());
    }

    // The application's channel-event callbacks and start-up reach the
    // queue through the notification sink.
    void sinkQueuesTheApplicationsRequests() {
        Fixture f;
        auto* a = f.add("alpha", 2);
        NotificationSink& sink = getNotificationSink();
        sink.queueSimple("Konnichiwa", "Orvan has started.", 5);
        sink.queueError(a, "alpha error.", "Can't update the feed.");
        sink.queueNewFeedItem("alpha", "Item 1", a, "id-1", "http://127.0.0.1:9/alpha/id-1", "Item 1", 0);
        sink.queueConsolidatedNewFeedItems("alpha", "Item 1\nItem 2", a);
        QCOMPARE(ui::queuedErrorCount(), std::size_t(1));
        QCOMPARE(ui::queuedRequestCount(), std::size_t(3));
        sink.processNotifications();
        QCOMPARE(shown(), QString("alpha error.|Can't update the feed."));
        QCOMPARE(closeAndShowNext(), QString("Konnichiwa|Orvan has started."));
    }

    // With DelayClose, the first closing action only starts the countdown;
    // mouse actions then no longer close it, the close button still does.
    void delayedClose() {
        Counts counts;
        CBalloonHelp balloon;
        balloon.setNotification(std::make_unique<CountingRequest>(counts, 0));
        QVERIFY(balloon.create("Title", "Content", QPoint(500, 400),
                               CBalloonHelp::DelayClose | CBalloonHelp::CloseOnLButtonDown |
                                   CBalloonHelp::ShowCloseButton | CBalloonHelp::DisableFadeIn |
                                   CBalloonHelp::DisableFadeOut,
                               nullptr, 60000));
        QVERIFY(balloon.isVisible());
        balloon.hideBalloon();
        QVERIFY(balloon.hasWindow());
        QCOMPARE(balloon.getOptions() & (CBalloonHelp::DelayClose | CBalloonHelp::CloseOnLButtonDown), 0u);
        const QPoint button = balloon.closeButtonRect().center();
        QTest::mousePress(&balloon, Qt::LeftButton, {}, button);
        QTest::mouseRelease(&balloon, Qt::LeftButton, {}, button);
        QVERIFY(!balloon.hasWindow());
        QCOMPARE(counts.closed, 1);

        // The program closing its windows (as quitting does) is never
        // refused, delayed close or not.
        CBalloonHelp other;
        QVERIFY(other.create("Title", "Content", QPoint(500, 400), CBalloonHelp::DelayClose, nullptr, 60000));
        QVERIFY(other.close());
        QVERIFY(!other.hasWindow());
        QVERIFY(!other.isVisible());
    }

    // A key press anywhere in the program closes a balloon that asks for
    // it; a balloon anchored to a window follows the window.
    void closesOnKeyAndFollowsItsAnchor() {
        QWidget other;
        other.setGeometry(100, 100, 300, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        CBalloonHelp balloon;
        QVERIFY(balloon.create(
            "Title", "Content", QPoint(150, 120),
            CBalloonHelp::CloseOnKeyPress | CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut, nullptr, 0));
        balloon.setAnchorPoint(QPoint(50, 20), &other);
        const QPoint before = balloon.pos();
        const QPoint anchorBefore = other.mapToGlobal(QPoint(50, 20));
        other.move(160, 130);
        QTRY_VERIFY(other.mapToGlobal(QPoint(50, 20)) != anchorBefore);
        QTRY_COMPARE(balloon.pos(), before + (other.mapToGlobal(QPoint(50, 20)) - anchorBefore));
        QTest::keyClick(&other, Qt::Key_A);
        QTRY_VERIFY(!balloon.hasWindow());
        QVERIFY(!balloon.isVisible());
    }

    // The time-out never closes the balloon while its menu is open: it
    // closes one to two seconds after the menu goes.
    void menuHoldsTheTimeout() {
        CBalloonHelp balloon;
        balloon.setNotification(std::make_unique<NewFeedItemNotificationRequest>(
            "alpha", "Item 1", nullptr, "id-1", "http://127.0.0.1:9/alpha/id-1", "Item 1", 0));
        QVERIFY(balloon.create("alpha", "Item 1", QPoint(500, 400),
                               CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut, nullptr, 1000));
        QTimer::singleShot(2500, this, [] {
            if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(&balloon, Qt::RightButton, {}, QPoint(balloon.width() / 2, balloon.height() / 2));
        QVERIFY(clock.elapsed() >= 2000);  // the menu was up past the time-out
        QVERIFY(balloon.hasWindow());
        QVERIFY(!balloon.isMenuOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!balloon.hasWindow(), 4000);
    }

    // The header of a balloon without title, icon or close button is
    // empty; a long content wraps at half the work area's width.
    void layout() {
        CBalloonHelp balloon;
        std::string words;
        for (int k = 0; k < 200; ++k) words += "word" + std::to_string(k) + " ";
        QVERIFY(balloon.create("", words, QPoint(500, 400), CBalloonHelp::DisableFadeIn | CBalloonHelp::DisableFadeOut,
                               nullptr, 0));
        QCOMPARE(balloon.headerSize(), QSize(0, 0));
        const QRect work = balloon.screen()->availableGeometry();
        QVERIFY(balloon.contentSize().width() <= work.width() / 2);
        QVERIFY(balloon.contentSize().height() > 3 * QFontMetrics(QApplication::font()).height());
        QCOMPARE(balloon.width(), balloon.contentSize().width() + 2 * CBalloonHelp::kMargin);
        balloon.hideBalloon();
    }

public slots:
    void captureUrl(const QUrl& url) { opened << url.toString(QUrl::FullyEncoded); }

private:
    QStringList opened;
};

QTEST_MAIN(NotifyTest)
#include "notify_qtest.moc"
