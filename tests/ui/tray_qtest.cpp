// The tray menu built over real channels (0, 1, 2 and 2,000 with quick
// access), what its entries do, channels deleted while it is open, and the
// tray icon's animation and default item. Offscreen there is no tray host,
// so the icon itself is never added: its operations answer false.
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMdiArea>
#include <QMenu>
#include <QtTest>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "desktop/desktopWiring.h"
#include "app/options/globalOptions.h"
#include "tests/app/app_fixture.h"
#include "tests/ui/channel_windows.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "ui/tray/systemTray.h"
#include "ui/tray/trayMenu.h"

namespace {

struct Fixture : apptest::DesktopFixture {
    Fixture() { setChannelManager(manager.get()); }
    ~Fixture() {
        ui::clearTrayMenu();
        uitest::deleteChannelWindows();
        resetProgramObjectsForTests();
    }
    // A channel with n items linked to a closed loopback port.
    channeltest::TestChannel* add(const std::string& name, int n, bool quickAccess = true, bool subMenu = false) {
        std::vector<apptest::ItemSpec> specs = apptest::numberedItems(name, n);
        for (apptest::ItemSpec& item : specs) item.url = "http://127.0.0.1:9/" + name + "/" + item.id;
        channeltest::TestChannel* channel = addChannel(name, specs);
        settings(channel).setUseQuickAccessMenu(quickAccess);
        settings(channel).setUseQuickAccessSubMenus(subMenu);
        return channel;
    }
    void deleteChannel(channels::Channel* channel) { uitest::deleteChannel(*manager, channel); }
};

// The menu as the user reads it: texts top to bottom, "" for a separator,
// a sub-menu as "label>" followed by its entries indented.
QStringList menuTexts(const QMenu& menu, const QString& indent = QString()) {
    QStringList texts;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            texts << indent;
        } else if (action->menu() != nullptr) {
            texts << indent + action->text() + ">";
            texts << menuTexts(*action->menu(), indent + "  ");
        } else {
            texts << indent + action->text();
        }
    }
    return texts;
}

// The first entry with that text, top to bottom (sub-menus included).
QAction* findAction(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) return action;
        if (action->menu() != nullptr) {
            if (QAction* inner = findAction(*action->menu(), text)) return inner;
        }
    }
    return nullptr;
}

const QStringList kFixed{"&Open", "&Options", "", "E&xit"};

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setUiHandler(true);
        CChannelDoc::setNewChannelWizardOpen(true);  // no summary-page hint
        QDesktopServices::setUrlHandler("http", this, "captureUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("http"); }
    // A fixture's end resets the program's objects.
    void init() {
        wiring.install();
        GlobalOptions::instance().DisableAllAnimation = false;
    }

    // Without a channel asking for quick access the menu is the fixed one;
    // channel blocks stand above it, the later channel on top, each ending
    // in a separator; sub-menus carry the count of unread items.
    void menuForFewChannels() {
        Fixture f;
        CSystemTray tray;
        QMenu menu;
        f.add("hidden", 2, false);
        tray.setMenuDefaultItem(CSystemTray::Open, false);
        tray.fillMenu(&menu);
        QCOMPARE(menuTexts(menu), kFixed);
        QCOMPARE(menu.defaultAction()->text(), QString("&Open"));

        auto* a = f.add("alpha", 2);
        tray.fillMenu(&menu);
        QCOMPARE(menuTexts(menu), QStringList({"alpha", "Item 1", "Item 2", ""}) + kFixed);
        QCOMPARE(findAction(menu, "alpha")->property("commandId").toInt(), 5000);
        QCOMPARE(findAction(menu, "Item 2")->property("commandId").toInt(), 5002);

        auto* b = f.add("bravo", 2, true, true);
        f.add("empty", 0, true, true);  // sub-menus on, nothing in the feed: inline
        Fixture::settings(b).markFeedItemViewed("id-1", true, false);
        tray.fillMenu(&menu);
        QCOMPARE(menuTexts(menu), QStringList({"empty", "", "bravo (1 new item)>", "  bravo", "  Item 1", "  Item 2",
                                               "", "alpha", "Item 1", "Item 2", ""}) +
                                      kFixed);
        Fixture::settings(b).markFeedItemViewed("id-2", true, false);
        tray.fillMenu(&menu);
        QVERIFY(menuTexts(menu).contains("bravo>"));
        Fixture::settings(b).markAllFeedItemsViewed(false);
        tray.fillMenu(&menu);
        QVERIFY(menuTexts(menu).contains("bravo (2 new items)>"));
        // Viewed items are in italics.
        Fixture::settings(a).markFeedItemViewed("id-1", true, false);
        tray.fillMenu(&menu);
        QAction* read = menu.actions()[menu.actions().indexOf(findAction(menu, "alpha")) + 1];
        QVERIFY(read->font().italic());
        QVERIFY(!menu.actions()[menu.actions().indexOf(read) + 1]->font().italic());
    }

    // Titles are shown as they are ("&" too) and long ones are cut with an
    // ellipsis at a third of the screen's width.
    void entryTexts() {
        Fixture f;
        auto* c = f.addChannel("c", {{"x", "Fish & Chips", "", "http://127.0.0.1:9/x"},
                                     {"y", std::string(500, 'w'), "", "http://127.0.0.1:9/y"}});
        Fixture::settings(c).setUseQuickAccessMenu(true);
        QMenu menu;
        ui::buildTrayMenu(&menu);
        QCOMPARE(menu.actions()[1]->text(), QString("Fish && Chips"));
        const QString cut = menu.actions()[2]->text();
        QVERIFY(cut.endsWith(QChar(0x2026)));
        QVERIFY(QFontMetrics(menu.actions()[2]->font()).horizontalAdvance(cut) <=
                QApplication::primaryScreen()->geometry().width() / 3);
    }

    // 2,000 channels: identifiers never leave 5000..5999; the entries past
    // the end are left out and a last entry says how many.
    void menuForManyChannels() {
        Fixture f;
        for (int k = 0; k < 2000; ++k) f.add("ch" + std::to_string(k), 1, true, k % 2 == 1);
        QMenu menu;
        const ui::TrayMenuBuild built = ui::buildTrayMenu(&menu);
        // Each channel: its entry and one item, plus the label of a sub-menu.
        QCOMPARE(built.entries, 1000);
        QCOMPARE(built.leftOut, 1000 * 2 + 1000 * 3 - 1000);  // 5,000 entries in all
        int seen = 0;
        for (QAction* action : menu.findChildren<QAction*>()) {
            const QVariant id = action->property("commandId");
            if (!id.isValid()) continue;
            QVERIFY(id.toInt() >= 5000 && id.toInt() <= 5999);
            QVERIFY(ui::findTrayMenuHandler(id.toInt()) != nullptr);
            ++seen;
        }
        QCOMPARE(seen, 1000);
        QVERIFY(ui::findTrayMenuHandler(6000) == nullptr);
        QCOMPARE(menu.actions().first()->text(), QString("%1 more").arg(built.leftOut));
        QVERIFY(!menu.actions().first()->isEnabled());
    }

    // Choosing an item opens it in its channel's window (read from then
    // on); choosing a channel opens its window; an entry whose channel was
    // deleted while the menu was open does nothing.
    void entriesAct() {
        Fixture f;
        auto* a = f.add("alpha", 2);
        auto* b = f.add("bravo", 1);
        QMenu menu;
        ui::buildTrayMenu(&menu);
        findAction(menu, "Item 1")->trigger();  // bravo's block is on top
        QVERIFY(CChannelDoc::openChannelDoc(b, false) != nullptr);
        QVERIFY(Fixture::settings(b).isFeedItemViewed("id-1"));
        findAction(menu, "alpha")->trigger();
        QVERIFY(CChannelDoc::openChannelDoc(a, false) != nullptr);
        QCOMPARE(CChannelDoc::openDocumentCount(), 2);

        ui::clearTrayMenu();
        for (QWidget* w : QApplication::allWidgets()) {
            if (auto* child = qobject_cast<CChannelMdiChildWnd*>(w)) child->deleteLater();
        }
        QTRY_COMPARE(CChannelDoc::openDocumentCount(), 0);
        QMenu again;
        ui::buildTrayMenu(&again);
        f.deleteChannel(a);
        for (int id = 5000; id <= 5004; ++id) ui::onTrayMenuCommand(id);  // bravo's entries, then alpha's
        QVERIFY(CChannelDoc::openChannelDoc(b, false) != nullptr);
        QCOMPARE(CChannelDoc::openDocumentCount(), 1);
        ui::onTrayMenuCommand(5999);  // unknown: nothing
    }

    // Two channels start the animation: looking at the first leaves it
    // running, at the second lets it finish its cycle of 30 frames and puts
    // the icon back. A channel deleted meanwhile never keeps it running.
    void animationFollowsTheChannels() {
        Fixture f;
        auto* a = f.add("alpha", 1);
        auto* b = f.add("bravo", 1);
        auto* c = f.add("charlie", 1);
        CSystemTray tray;
        tray.registerEventHandler();
        QVERIFY(tray.setIconList(159, 188));
        QCOMPARE(tray.getIconCount(), 30);
        QVERIFY(!tray.setIconList(2, 1));

        startTrayAnimation(a);
        startTrayAnimation(b);
        QVERIFY(tray.isAnimating());
        QCOMPARE(tray.getAnimationIndex(), 0);
        QCOMPARE(animatingChannelCount(), std::size_t(2));
        getUiHandler()->fireChannelViewActivated(c, nullptr, false);  // never started it
        getUiHandler()->fireChannelViewActivated(a, nullptr, false);
        for (int k = 0; k < 40; ++k) tray.stepAnimation();
        QVERIFY(tray.isAnimating());
        getUiHandler()->fireChannelViewActivated(b, nullptr, false);
        QCOMPARE(animatingChannelCount(), std::size_t(0));
        int steps = 0;
        while (tray.stepAnimation() && steps < 100) ++steps;
        QVERIFY(!tray.isAnimating());
        QVERIFY(steps < 30);

        // Deleted without an event reaching the tray: the cycle's end
        // notices; with the event, it stops at once at the cycle's end too.
        startTrayAnimation(c);
        f.deleteChannel(c);
        steps = 0;
        while (tray.stepAnimation() && steps < 100) ++steps;
        QVERIFY(!tray.isAnimating());
        QCOMPARE(animatingChannelCount(), std::size_t(0));
        startTrayAnimation(b);
        getUiHandler()->fireChannelDeleted(b);
        steps = 0;
        while (tray.stepAnimation() && steps < 100) ++steps;
        QVERIFY(!tray.isAnimating());

        // With DisableAllAnimation the channel is still noted, nothing runs.
        GlobalOptions::instance().DisableAllAnimation = true;
        startTrayAnimation(a);
        QVERIFY(!tray.isAnimating());
        QCOMPARE(animatingChannelCount(), std::size_t(1));
        getUiHandler()->fireChannelViewActivated(a, nullptr, false);
    }

    // Without a tray host the icon is not added and its operations say so;
    // the default item is found by command or by position.
    void noTrayHostAndDefaultItem() {
        CSystemTray tray;
        QVERIFY(!tray.create(nullptr, CSystemTray::kCallbackMessage, "Orvan", QIcon(), CSystemTray::kIconId));
        QVERIFY(!tray.isEnabled());
        QVERIFY(!tray.setIcon(QIcon()));
        QVERIFY(tray.getIcon().isNull());
        QVERIFY(!tray.setTooltipText("Orvan"));
        QVERIFY(tray.getIconGeometry().isEmpty());
        QVERIFY(tray.getWindow() != nullptr);
        QVERIFY(!tray.getWindow()->isVisible());
        QCOMPARE(getSystemTray(), &tray);

        QCOMPARE(tray.getDefaultCommand(), CSystemTray::Open);  // position 0 at first
        QVERIFY(tray.setMenuDefaultItem(1, true));
        QCOMPARE(tray.getDefaultCommand(), CSystemTray::Options);
        QVERIFY(tray.setMenuDefaultItem(2, true));
        QCOMPARE(tray.getDefaultCommand(), 0);  // the separator
        QVERIFY(tray.setMenuDefaultItem(CSystemTray::Open, false));
        QCOMPARE(tray.getDefaultCommand(), CSystemTray::Open);
    }

public slots:
    void captureUrl(const QUrl&) {}

private:
    DesktopWiring wiring;
};

QTEST_MAIN(TrayTest)
#include "tray_qtest.moc"
