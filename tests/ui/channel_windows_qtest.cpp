// The Control Center lists, the channel windows (document, item list, page
// pane) and the read-me list, over real channels with desktop settings.
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>
#include <QWebEngineSettings>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtTest>
#include <ctime>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/listeners/localPortListener.h"
#include "app/misc/readMeLimits.h"
#include "app/options/globalOptions.h"
#include "desktop/desktopWiring.h"
#include "widgets/base/messageBox.h"
#include "tests/app/app_fixture.h"
#include "tests/support/httpServer.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "tools/tempFile.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/listImages.h"
#include "ui/bars/workPad.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workspaceBar.h"
#include "ui/channel/browserToolbar.h"
#include "ui/channel/channelBrowserView.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelFrame.h"
#include "ui/channel/channelItemView.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"

namespace {

// Channels whose manager has a summary template, registered as the
// program's manager.
struct Fixture : apptest::DesktopFixture {
    Fixture() {
        const std::string tmpl = dir.file("summary.template");
        testsupport::writeFile(tmpl,
                               "<html><body><h1>{%CHANNEL-NAME%}</h1>{%REPEAT%x}<p><a "
                               "href=\"{%ITEM-URL%}\">{%ITEM-TITLE%}</a></p>{%/REPEAT%}"
                               "</body></html>");
        channels::ChannelSettings defaults(nullptr);
        defaults.setMaxFeedItems(-1);
        manager = std::make_unique<channels::ChannelManager>("orvan-test", dir.file("Channels"), dir.file("Logs"),
                                                             defaults, tmpl, "");
        setChannelManager(manager.get());
        programPaths().userConfigFile = dir.file("config.ini");
    }
    ~Fixture() {
        // No window outlives its channel, even after a failed check.
        QList<QPointer<CChannelMdiChildWnd>> frames;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* frame = qobject_cast<CChannelMdiChildWnd*>(w)) frames << frame;
        }
        for (const auto& frame : frames) delete frame.data();
        resetProgramObjectsForTests();
        getChannelDesktopSettingsTable().clear();
        manager->stopChannelManager(false);
    }
    channels::Channel* addBare(const std::string& name) {
        auto* channel = new channeltest::TestChannel(manager.get(), channelFile(name + ".rss"));
        channel->getChannelConfig().setPreferredDisplayName(name);
        manager->addChannel(channel);
        return channel;
    }
};

QStringList rowTexts(const CAppListCtrl& list) {
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row) texts << list.rowText(row);
    return texts;
}

QImage imageOf(const QIcon& icon) { return icon.pixmap(kListImageSize).toImage(); }

// Moves the mouse over a point of a widget, as the window system reports it.
void hover(QWidget* widget, const QPoint& pos) {
    QWidget* top = widget->window();
    QTest::mouseMove(top->windowHandle(), widget->mapTo(top, pos));
}

// A main frame as start-up makes it, shown, with its logs in `logs`.
bool createMainFrame(CMainFrame& main, const testsupport::TempDir& logs) {
    CMainFrame::Setup setup;
    setup.appName = "Orvan";
    setup.logsDir = logs.str();
    setup.trayAttempts = 1;
    if (!main.create(setup)) return false;
    main.show();
    return true;
}

void markRead(channels::Channel* channel, int n) {
    for (int k = 1; k <= n; ++k)
        getChannelDesktopSettings(channel)->markFeedItemViewed("id-" + std::to_string(k), true, k == n);
}

// The page's answer to a script (run beside the page's own, which stay off);
// an invalid value when none came within 20 s.
QVariant scriptValue(QWebEngineView* view, const QString& script) {
    QVariant value;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        value = v;
        done = true;
    });
    QDeadlineTimer deadline(20000);
    while (!done && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return value;
}

// The address of the picture the stock summary page gives its n-th item.
QString itemPictureUrl(QWebEngineView* view, int n) {
    const QString css =
        scriptValue(view,
                    QString("getComputedStyle(document.querySelectorAll('.item-image')[%1]).backgroundImage").arg(n))
            .toString();
    return css.startsWith("url(\"") && css.endsWith("\")") ? css.mid(5, css.size() - 7) : css;
}

// What the view shows where the stock summary page puts its n-th item's
// picture, scrolled into view (a null image while it is not in view yet).
QImage drawnItemPicture(QWebEngineView* view, int n) {
    const QVariantList box =
        scriptValue(view,
                    QString("(e => { e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect(); "
                            "return [r.x, r.y, r.width, r.height]; })(document.querySelectorAll('.item-image')[%1])")
                        .arg(n))
            .toList();
    if (box.size() != 4) return QImage();
    const QRect rect(qRound(box[0].toDouble()), qRound(box[1].toDouble()), qRound(box[2].toDouble()),
                     qRound(box[3].toDouble()));
    if (!view->rect().contains(rect)) return QImage();
    return view->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

// A 14×14 picture with something drawn on the page's white.
bool showsPicture(const QImage& image) {
    if (image.size() != QSize(14, 14)) return false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) return true;
        }
    }
    return false;
}

}  // namespace

class ChannelWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setUiHandler(true);
        QDesktopServices::setUrlHandler("http", this, "captureUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("http"); }
    // A fixture's end resets the program's objects.
    void init() { wiring.install(); }

    void controlCenterListsSortsAndFilters() {
        Fixture f;
        auto* a = f.addChannel("alpha", apptest::numberedItems("alpha", 3));
        auto* b = f.addChannel("Bravo", apptest::numberedItems("bravo", 25));
        auto* c = f.addChannel("charlie", apptest::numberedItems("charlie", 3));
        markRead(a, 3);  // alpha: 0 unread, bravo 25, charlie 3
        GlobalOptions::instance().ShowUnreadItemsInMyChannels = true;

        CWorkspaceBar bar(nullptr);
        bar.show();
        CControlCenterMyChannelsWnd* list = bar.getMyChannelsWnd();
        ChannelFilter byUnread;
        byUnread.setSortOrder(ChannelFilter::UnreadItems);
        list->setChannelFilter(byUnread);
        QCOMPARE(rowTexts(*list), (QStringList{"Bravo", "charlie", "alpha"}));
        QCOMPARE(bar.tabs()->tabText(0), QString("(My Channels)"));
        QCOMPARE(bar.windowTitle(), QString("Control Center"));
        QCOMPARE(list->rowImage(0), 21);  // 25 unread
        QCOMPARE(list->rowImage(1), 4);   // 3 unread
        QCOMPARE(list->rowImage(2), 0);
        GlobalOptions::instance().ShowUnreadItemsInMyChannels = false;
        QCOMPARE(CControlCenterMyChannelsWnd::channelImage(b), 0);
        GlobalOptions::instance().ShowUnreadItemsInMyChannels = true;

        // Equal keys fall back to the names, without regard to case; the
        // selection stays on its channel through a reload.
        list->selectRow(list->findRow(c));
        ChannelFilter plain;
        list->setChannelFilter(plain);
        QCOMPARE(rowTexts(*list), (QStringList{"alpha", "Bravo", "charlie"}));
        QCOMPARE(bar.tabs()->tabText(0), QString("My Channels"));
        QCOMPARE(list->getSelectedChannel(), c);
        QCOMPARE(bar.getSelectedChannel(), c);

        // A filter that hides channels shows the counts in the caption.
        ChannelFilter unreadOnly;
        unreadOnly.setFilterType(ChannelFilter::HasUnreadItems);
        list->setChannelFilter(unreadOnly);
        QCOMPARE(rowTexts(*list), (QStringList{"Bravo", "charlie"}));
        QCOMPARE(bar.windowTitle(), QString("Control Center (2/3)"));
        bar.activateAppPluginsTab();
        QCOMPARE(bar.windowTitle(), QString("Control Center"));
        QVERIFY(bar.getSelectedChannel() == nullptr);
        bar.activateMyChannelsTab();

        // Marking the selected channel read removes its row under this filter.
        list->selectRow(list->findRow(c));
        markRead(c, 3);
        list->updateChannel(c);
        QCOMPARE(rowTexts(*list), QStringList{"Bravo"});
        QCOMPARE(list->getSelectedChannel(), b);

        // A channel without desktop settings in the list (its settings gone
        // while listed, or never made) sorts after the others by name, and
        // the sort stays a valid ordering.
        list->setChannelFilter(byUnread);
        auto* bare = f.addBare("aardvark");
        list->addChannelRow(bare, false);
        getChannelDesktopSettingsTable().remove(a);
        list->sortChannels();
        QCOMPARE(rowTexts(*list), (QStringList{"Bravo", "charlie", "aardvark", "alpha"}));
        QCOMPARE(list->findRow(bare), 2);
        list->updateChannel(bare);  // no settings: nothing happens
        QCOMPARE(list->rowCount(), 4);

        // ChannelDeleted takes the row away.
        getUiHandler()->addEventHandler(list);
        ChannelDeletedUiEvent deleted(b);
        getUiHandler()->fireEvent(deleted);
        getUiHandler()->removeEventHandler(list);
        QVERIFY(!list->containsChannel(b));
        QCOMPARE(list->rowCount(), 3);
    }

    // An update moves at most the updated channel's row: the list keeps its
    // order, no row is taken out and put back, the selection and the
    // current row stay on their channel, and the view does not scroll.
    void channelUpdateMovesOnlyItsRow() {
        Fixture f;
        std::vector<channels::Channel*> channels;
        for (int i = 0; i < 60; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "c%02d", i);
            channels.push_back(f.addChannel(name, apptest::numberedItems(name, 2)));
        }
        CWorkspaceBar bar(nullptr);
        bar.resize(200, 300);
        bar.show();
        CControlCenterMyChannelsWnd* list = bar.getMyChannelsWnd();
        list->setChannelFilter(ChannelFilter());
        QVERIFY(QTest::qWaitForWindowExposed(list));
        QCOMPARE(list->rowCount(), 60);
        QVERIFY(list->verticalScrollBar()->maximum() > 0);

        struct Case {
            const char* what;
            int renamed;  // the channel that gets a new name
            const char* name;
            int selected;  // the selected channel
            int movedTo;   // the renamed channel's row afterwards
        };
        const Case cases[] = {
            {"same place", 10, "c10b", 30, 10},
            {"to the top", 40, "a40", 30, 0},
            {"to the end", 5, "z05", 30, 59},
            {"the selected row moves", 30, "b30", 30, 1},
        };
        for (const Case& c : cases) {
            list->selectRow(list->findRow(channels[c.selected]));
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
            QCoreApplication::processEvents();
            const int scroll = list->verticalScrollBar()->value();
            const int oldRow = list->findRow(channels[c.renamed]);
            QStringList expected = rowTexts(*list);
            expected.removeAll(list->rowText(list->findRow(channels[c.renamed])));

            QSignalSpy removed(list->model(), &QAbstractItemModel::rowsRemoved);
            QSignalSpy inserted(list->model(), &QAbstractItemModel::rowsInserted);
            QSignalSpy layouts(list->model(), &QAbstractItemModel::layoutChanged);
            QSignalSpy selection(list->selectionModel(), &QItemSelectionModel::selectionChanged);
            QSignalSpy current(list->selectionModel(), &QItemSelectionModel::currentChanged);
            channels[c.renamed]->getChannelConfig().setPreferredDisplayName(c.name);
            list->updateChannel(channels[c.renamed]);
            QCoreApplication::processEvents();

            expected.insert(c.movedTo, c.name);
            QStringList sorted = expected;
            sorted.sort(Qt::CaseInsensitive);
            QVERIFY2(expected == sorted, c.what);
            QVERIFY2(rowTexts(*list) == expected, c.what);
            QVERIFY2(list->findRow(channels[c.renamed]) == c.movedTo, c.what);
            for (channels::Channel* ch : channels) QVERIFY2(list->channelAt(list->findRow(ch)) == ch, c.what);
            QVERIFY2(removed.isEmpty() && inserted.isEmpty(), c.what);
            QVERIFY2(layouts.size() == (oldRow == c.movedTo ? 0 : 1), c.what);
            QVERIFY2(selection.isEmpty() && current.isEmpty(), c.what);
            QVERIFY2(list->getSelectedChannel() == channels[c.selected], c.what);
            QVERIFY2(list->currentItem() == list->rowItem(list->findRow(channels[c.selected])), c.what);
            QVERIFY2(list->verticalScrollBar()->value() == scroll, c.what);
        }

        // After a burst of updates (a pass) the list is painted again: its
        // picture, held back while the updates come, is not left frozen.
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        QTRY_VERIFY_WITH_TIMEOUT(list->updatesEnabled(), 2000);
        QCoreApplication::processEvents();
        list->viewport()->installEventFilter(&counter);
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 20; ++i) {
                channels[i]->getChannelConfig().setPreferredDisplayName("r" + std::to_string(round) + "-" +
                                                                        std::to_string(59 - i));
                list->updateChannel(channels[i]);
                QCoreApplication::processEvents();
            }
        }
        QStringList sorted = rowTexts(*list);
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(rowTexts(*list), sorted);
        QVERIFY(rowTexts(*list).contains("r2-40"));
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints >= 1 && list->updatesEnabled(), 2000);
    }

    void listRequestsFollowOneClickMode() {
        struct Owner : CAppListCtrlParent {
            QStringList calls;
            bool onListItemActivated(CAppListCtrl*, int row) override {
                return calls << QString("activated %1").arg(row), true;
            }
            bool onListItemOpened(CAppListCtrl*, int row) override {
                return calls << QString("opened %1").arg(row), true;
            }
            bool onListKeyPressed(CAppListCtrl*, int row, int key, int mods) override {
                calls << QString("key %1 %2 %3").arg(row).arg(key).arg(mods);
                return key == 46;
            }
        } owner;
        CAppListCtrl list(&owner);
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{"one"}));
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{"two"}));
        list.resize(200, 100);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QPoint second = list.visualItemRect(list.rowItem(1)).center();
        for (int oneClick : {0, 1}) {
            CAppListCtrl::setOneClickModeForTest(oneClick);
            owner.calls.clear();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second);
            QCOMPARE(owner.calls, QStringList{oneClick != 0 ? "opened 1" : "activated 1"});
            owner.calls.clear();
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, second);
            // One-click mode: a double-click adds nothing to the click.
            QCOMPARE(owner.calls.filter("opened").size(), oneClick != 0 ? 0 : 1);
        }
        CAppListCtrl::setOneClickModeForTest(-1);
        owner.calls.clear();
        QTest::keyClick(&list, Qt::Key_Delete, Qt::AltModifier);
        QCOMPARE(owner.calls, QStringList{"key 1 46 4"});
        QCOMPARE(list.columnWidth(0), list.viewport()->width());
    }

    void channelWindowOpensOnceAndListsEveryItem() {
        Fixture f;
        auto* channel = f.addChannel("big", apptest::numberedItems("big", 1000));
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        CChannelDoc::resetSummaryHintForTest();
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        QCOMPARE(answerer.count(), 1);  // the "ChannelSummaryPage" hint, once
        QCOMPARE(CChannelDoc::openDocumentCount(), 1);
        QCOMPARE(CChannelDoc::openChannelDoc(channel, true), doc);
        QVERIFY(getChannelWindowOps().openChannelDoc(channel));
        QCOMPARE(CChannelDoc::openDocumentCount(), 1);
        QCOMPARE(answerer.count(), 1);

        CChannelItemView* items = doc->getFrame()->getItemView();
        QCOMPARE(items->rowCount(), 1000);
        QCOMPARE(items->rowText(999), QString("Item 1000"));
        QCOMPARE(items->selectedRow(), 0);
        QCOMPARE(doc->getFrame()->windowTitle(), QString("big"));
        QCOMPARE(getChannelDesktopSettings(channel)->getTotalChannelOpens(), 1);
        delete doc->getFrame();
        QCOMPARE(CChannelDoc::openDocumentCount(), 0);
    }

    void marksChangeCountsAndTheChannelFile() {
        Fixture f;
        auto* channel = f.addChannel("news", apptest::numberedItems("news", 4));
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        CChannelItemView* items = doc->getFrame()->getItemView();
        ChannelDesktopSettings& s = *getChannelDesktopSettings(channel);
        auto viewedInFile = [&] {
            return static_cast<int>(tools::getIniKeyNames(channel->getConfigFilename(), "ViewedFeedItems").size());
        };
        QCOMPARE(s.getUnreadFeedItemCount(), 4);
        QCOMPARE(items->commandText(32903), QString("&Mark as read"));
        QVERIFY(items->runCommand(32903));  // row 0 read
        QCOMPARE(s.getUnreadFeedItemCount(), 3);
        QCOMPARE(items->rowIcon(0), 0);
        QCOMPARE(viewedInFile(), 1);
        QCOMPARE(items->commandText(32903), QString("&Mark as un-read"));
        QVERIFY(items->runCommand(32903));  // and unread again
        QCOMPARE(s.getUnreadFeedItemCount(), 4);
        QCOMPARE(viewedInFile(), 0);

        QCOMPARE(items->commandText(32904), QString("Mark &all as read"));
        QVERIFY(items->runCommand(32904));
        QCOMPARE(s.getUnreadFeedItemCount(), 0);
        QCOMPARE(viewedInFile(), 4);
        QCOMPARE(items->commandText(32904), QString("Mark &all as un-read"));

        // A link to an item opened from the page marks it read, saved and
        // counted like every other mark.
        s.markAllFeedItemsViewed(false);
        UrlOpenedUiEvent opened("HTTP://example.com/news/3", channel);
        getUiHandler()->fireEvent(opened);
        QVERIFY(s.isFeedItemViewed("id-3"));
        QCOMPARE(viewedInFile(), 1);
        QCOMPARE(s.getTotalFeedItemsOpened(), 1);
        QCOMPARE(items->selectedRow(), 2);
        delete doc->getFrame();
    }

    void pagePaneShowsTheSummaryAndRefusesScriptLinks() {
        Fixture f;
        auto* channel = f.addChannel("pages", {{"p1", "First <b>story</b> &amp; more", "http://example.com/1", ""},
                                               {"p2", "Second story", "javascript:alert(1)", ""}});
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
            if (!dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes)) d.done(dialogs::IDOK);
        });
        GlobalOptions::instance().NavBarMode = 2;
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        CChannelBrowserView* page = doc->getFrame()->getBrowserView();
        QVERIFY(!page->isNavBarVisible());
        GlobalOptions::instance().NavBarMode = 0;
        QCOMPARE(doc->getFrame()->getItemView()->rowText(0), QString("First story & more"));

        QWebEngineView* web = page->webView();
        QTRY_VERIFY_WITH_TIMEOUT(web->url().isLocalFile() && !web->page()->isLoading(), 20000);
        QString text;
        QTRY_VERIFY_WITH_TIMEOUT(
            (web->page()->toPlainText([&](const QString& t) { text = t; }), text.contains("Second story")), 20000);
        QVERIFY(text.contains("pages"));
        QVERIFY(!web->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));

        // A javascript: item link is refused with a message and changes nothing.
        const QUrl before = web->url();
        QVERIFY(!page->navigateToItem("javascript:alert(1)", false));
        QVERIFY(!page->linkRequested(QUrl("javascript:alert(1)")));
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(web->url(), before);
        QVERIFY(!getChannelDesktopSettings(channel)->isFeedItemViewed("p2"));

        // The navigation bar: typed addresses go to the page.
        page->showNavBar(true);
        QVERIFY(page->isNavBarVisible());
        page->toolbar()->setUrl("  file:///etc/passwd ");
        QTest::keyClick(page->toolbar()->urlEdit(), Qt::Key_Return);
        QCOMPARE(boxes.size(), 3);
        delete doc->getFrame();
    }

    void summaryPageLinksOpenTheirPage() {
        // The summary page is a local file; a link the user follows from it
        // loads the item's page in the pane.
        Fixture f;
        testsupport::HttpServer server;
        server.route("/story", testsupport::HttpAnswer::text("<html><body>The story itself</body></html>"));
        auto* channel = f.addChannel("links", {{"s1", "Story", server.url("/story"), ""}});
        GlobalOptions::instance().NavBarMode = 0;
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        QWebEngineView* web = doc->getFrame()->getBrowserView()->webView();
        QTRY_VERIFY_WITH_TIMEOUT(web->url().isLocalFile() && !web->page()->isLoading(), 20000);
        web->setFocus();
        QTest::keyClick(web->focusProxy(), Qt::Key_Tab);
        QTest::keyClick(web->focusProxy(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(server.requests("/story").size(), std::size_t(1), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(web->url().path() == "/story" && !web->page()->isLoading(), 20000);
        delete doc->getFrame();
    }

    void summaryPageShowsItemPicturesAndWebImages() {
        // The stock summary page: each item's picture is shown as a picture,
        // pictures of item descriptions come from the web, scripts stay off,
        // and a description can't reach the program's own listeners.
        Fixture f;
        const std::string stage = testsupport::stageDir();
        const std::string programDir = programPaths().programDir;
        programPaths().programDir = stage + "/";
        testsupport::HttpServer web;
        testsupport::HttpAnswer gif;
        gif.bodyFile = stage + "/Resources/newFeedItem.gif";
        gif.headers = {{"Content-Type", "image/gif"}};
        web.route("/pic.gif", gif);
        testsupport::HttpServer ownServer;  // stands where the application server listens
        const unsigned appServerPort = listeners::appServer().getPort();
        listeners::appServer().setPort(static_cast<unsigned>(ownServer.port()));
        // Many items after the first two, so the last one is far out of view.
        std::vector<apptest::ItemSpec> items = apptest::numberedItems("pictures", 300);
        items.insert(
            items.begin(),
            {{"i1", "With a picture", "http://example.com/1",
              "<p><img id=\"web\" src=\"" + web.url("/pic.gif") + "\"><img src=\"" +
                  ownServer.url("/readme?url=http://example.com/x") +
                  "\"></p><iframe src=\"file:///etc/hostname\"></iframe><script>document.title='ran'</script>"},
             {"i2", "Read one", "http://example.com/2", "plain"}});
        auto* channel = f.addChannel("pictures", items);
        channel->getChannelConfig().setChannelSummaryFiles(stage + "/Resources/DefaultChannelSummary.template",
                                                           stage + "/Resources/DefaultChannelSummary.gif");
        getChannelDesktopSettings(channel)->markFeedItemViewed("i2", true, false);
        GlobalOptions::instance().NavBarMode = 0;
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        QWebEngineView* view = doc->getFrame()->getBrowserView()->webView();
        QTRY_VERIFY_WITH_TIMEOUT(view->url().isLocalFile() && !view->page()->isLoading(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(web.requests("/pic.gif").size(), std::size_t(1), 20000);

        QString html;
        QTRY_VERIFY_WITH_TIMEOUT((view->page()->toHtml([&](const QString& t) { html = t; }), !html.isEmpty()), 20000);
        QVERIFY2(!html.contains("</div>file://") && !html.contains(">file://"), qPrintable(html));
        // Each item's picture is drawn beside its title: the unread and the
        // read one at the top, and the last item's once it is scrolled to.
        const QString resources = QString::fromStdString("file://" + stage + "/Resources/");
        QCOMPARE(itemPictureUrl(view, 0), resources + "unreadFeedItem.gif");
        QCOMPARE(itemPictureUrl(view, 1), resources + "readFeedItem.gif");
        QImage unread, read;
        // Each try scrolls, asks the page and grabs the view: slow on a busy
        // machine, hence the longer waits.
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(unread = drawnItemPicture(view, 0)), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(read = drawnItemPicture(view, 1)), 60000);
        QVERIFY(unread != read);
        QTRY_VERIFY_WITH_TIMEOUT(drawnItemPicture(view, 301) == unread, 60000);
        // The description's pictures: the web one arrived, the one from the
        // program's own listener did not.
        QString sizes;
        view->page()->runJavaScript("Array.from(document.images).map(i => i.naturalWidth).join(',')",
                                    QWebEngineScript::ApplicationWorld,
                                    [&](const QVariant& v) { sizes = v.toString(); });
        QTRY_VERIFY_WITH_TIMEOUT(!sizes.isEmpty(), 20000);
        QCOMPARE(sizes, QString("14,0"));
        // A local file other than a picture is not loaded into the page.
        QString framed;
        view->page()->runJavaScript(
            "String(document.querySelector('iframe').contentDocument === null ? 'blocked' : "
            "document.querySelector('iframe').contentDocument.body.innerText.length)",
            QWebEngineScript::ApplicationWorld, [&](const QVariant& v) { framed = v.toString(); });
        QTRY_VERIFY_WITH_TIMEOUT(!framed.isEmpty(), 20000);
        QCOMPARE(framed, QString("blocked"));
        QVERIFY(!view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        QVERIFY(view->title() != "ran");
        QVERIFY(ownServer.requests().empty());
        listeners::appServer().setPort(appServerPort);
        programPaths().programDir = programDir;
        delete doc->getFrame();
    }

    void offlinePageIsEscapedAndTemporary() {
        Fixture f;
        auto* channel = f.addChannel("off", apptest::numberedItems("off", 1));
        testsupport::writeFile(f.dir.file("debug.ini"), "[Debug]\nDisableInternet=1\n");
        programPaths().userDebugIniFile = f.dir.file("debug.ini");
        if (!getDebugSwitch("DisableInternet")) QSKIP("debug switches are not read from this file");
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        CChannelBrowserView* page = doc->getFrame()->getBrowserView();
        QVERIFY(page->navigateToItem("http://example.com/a?b=<script>x</script>", false));
        QTRY_VERIFY(!page->webView()->url().isEmpty());
        const QString file = page->webView()->url().toLocalFile();
        QVERIFY2(QFileInfo(file).fileName().startsWith("orvan") && file.endsWith(".html"), qPrintable(file));
        const std::string html = testsupport::readFile(file.toStdString());
        QVERIFY(html.find("&lt;script&gt;") != std::string::npos);
        QVERIFY(html.find("<script>") == std::string::npos);
        delete doc->getFrame();
        QVERIFY(!QFile::exists(file));
        testsupport::writeFile(f.dir.file("debug.ini"), "");
    }

    void deletedChannelClosesItsWindow() {
        Fixture f;
        auto* channel = f.addChannel("gone", apptest::numberedItems("gone", 2));
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QPointer<CChannelMdiChildWnd> frame = doc->getFrame();
        getUiHandler()->fireChannelDeleted(channel);
        QCOMPARE(CChannelDoc::openDocumentCount(), 0);
        QTRY_VERIFY(frame.isNull());
        getChannelDesktopSettingsTable().remove(channel);
        f.manager->deleteChannel(channel, nullptr);
        // A channel the manager no longer knows opens nothing.
        auto* other = f.addChannel("other", {});
        f.manager->deleteChannel(other, nullptr);
        QVERIFY(CChannelDoc::openChannelDoc(other, true) == nullptr);
    }

    void readMeListIsBounded() {
        // A list one short of full takes one more entry, then refuses; an
        // address past the length bound is refused at once. Nothing is lost.
        testsupport::TempDir dir;
        const std::string ini = dir.file("config.ini");
        std::string text = "[Read-me List]\n";
        for (int n = 0; n < kMaxReadMeEntries - 1; ++n)
            text += "ItemUrl-" + std::to_string(n) + "=http://e.example/" + std::to_string(n) + "\n";
        testsupport::writeFile(ini, text);
        platform::profile::invalidate(ini);
        CReadMeListWnd list;
        list.setConfigFile(ini);
        list.load();
        QCOMPARE(list.rowCount(), kMaxReadMeEntries - 1);
        QVERIFY(!list.isFull());
        QVERIFY(!list.addUrl("http://long.example/" + std::string(kMaxReadMeAddressLength, 'x'), false));
        QVERIFY(list.addUrl("http://last.example/", false));
        QVERIFY(list.isFull());
        QVERIFY(!list.addUrl("http://one-more.example/", false));
        QVERIFY(list.addUrl("http://last.example/", false));  // already listed: selected, not added
        QCOMPARE(list.rowCount(), kMaxReadMeEntries);
        const std::string last = "ItemUrl-" + std::to_string(kMaxReadMeEntries - 1);
        QCOMPARE(tools::getIniString(ini, "Read-me List", last, "", false), std::string("http://last.example/"));
        list.removeItem(0);
        QVERIFY(!list.isFull());
    }

    void readMeListRoundTrip() {
        testsupport::HttpServer server;
        server.route("/feed/2", testsupport::HttpAnswer::text("<html><body>Two</body></html>"));
        Fixture f;
        const std::string two = server.url("/feed/2");
        auto* channel =
            f.addChannel("feed", {{"id-1", "Item 1", server.url("/feed/1"), ""}, {"id-2", "Item 2", two, ""}});
        const std::string ini = f.dir.file("config.ini");
        CReadMeListWnd list;
        list.setConfigFile(ini);
        QVERIFY(list.addFeedItem(channel, "id-1", server.url("/feed/1"), "Item 1", false));
        QVERIFY(list.addFeedItem(channel, "id-1", server.url("/feed/1"), "Item 1", false));  // listed: selected
        QVERIFY(!list.addUrl("   ", false));                                                 // refused
        QVERIFY(!list.addFeedItem(channel, "id-2", "", "No link", false));
        QVERIFY(list.addUrl("http://example.com/a", false));
        QVERIFY(list.addUrl("HTTP://EXAMPLE.COM/A", false));
        QCOMPARE(rowTexts(list), (QStringList{"Item 1 - [feed]", "http://example.com/a"}));
        QCOMPARE(tools::getIniString(ini, "Read-me List", "ChannelUrl-0", "", false), channel->getSourceUrl());
        QCOMPARE(tools::getIniString(ini, "Read-me List", "ItemUrl-1", "", false), std::string("http://example.com/a"));
        QVERIFY(tools::getIniString(ini, "Read-me List", "ChannelUrl-1", "<none>", false) == "<none>");

        // A missing entry in the middle hides none of the later ones.
        testsupport::writeFile(ini,
                               "[Read-me List]\n"
                               "FeedItemId-0=\nItemUrl-0=http%3A%2F%2Fone.example%2F\nItemTitle-0=One\n"
                               "FeedItemId-1=\nItemUrl-1=\nItemTitle-1=Broken\n"
                               "FeedItemId-3=x\nItemUrl-3=http://three.example/\nItemTitle-3=Three\n"
                               "FeedItemId-2=id-2\nItemUrl-2=" +
                                   two +
                                   "\nItemTitle-2=Two\n"
                                   "ChannelUrl-2=" +
                                   channel->getSourceUrl() +
                                   "\n"
                                   "FeedItemId-4=\nItemUrl-4=http://gone.example/\nItemTitle-4=Gone\n"
                                   "ChannelUrl-4=http://no-such-channel.example/feed\n"
                                   "ItemUrl-6=http://after-gap.example/\n");
        platform::profile::invalidate(ini);
        list.load();
        QCOMPARE(rowTexts(list), (QStringList{"One", "Two - [feed]", "Three", "Gone"}));
        channels::Channel* found = nullptr;
        std::string url;
        list.getItem(1, &found, nullptr, &url, nullptr);
        QCOMPARE(found, channel);
        QCOMPARE(url, two);
        list.getItem(9, &found, nullptr, &url, nullptr);  // out of range: untouched
        QCOMPARE(url, two);
        QVERIFY(list.save());
        QVERIFY(tools::getIniString(ini, "Read-me List", "ChannelUrl-3", "<none>", false) == "<none>");
        QCOMPARE(tools::getIniString(ini, "Read-me List", "ItemTitle-3", "", false), std::string("Gone"));
        QVERIFY(tools::getIniString(ini, "Read-me List", "ItemUrl-4", "<none>", false) == "<none>");

        // Opening takes the entry off the list and out of the file; a
        // javascript: entry is refused and stays.
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
            if (!dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes)) d.done(dialogs::IDOK);
        });
        list.openItem(1);
        QCOMPARE(rowTexts(list), (QStringList{"One", "Three", "Gone"}));
        QCOMPARE(tools::getIniString(ini, "Read-me List", "ItemTitle-1", "", false), std::string("Three"));
        QVERIFY(CChannelDoc::openChannelDoc(channel, false) != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(server.requests("/feed/2").size(), std::size_t(1), 20000);
        delete CChannelDoc::openChannelDoc(channel, false)->getFrame();
        QVERIFY(list.addUrl("javascript:alert(1)", false));
        list.openItem(3);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(list.rowCount(), 4);

        // Removing the last row selects the new last row; Ctrl+Delete asks
        // to remove them all.
        list.selectRow(3);
        QVERIFY(list.runCommand(32901));
        QCOMPARE(list.selectedRow(), 2);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(list.rowCount(), 0);
        QVERIFY(tools::getIniKeyNames(ini, "Read-me List").empty());
    }

    // The channel window's commands as the main window's actions: enabled
    // and worded after the active window and its active pane, carried out
    // there.
    void channelWindowCommandsFromTheMainFrame() {
        testsupport::HttpServer server;
        for (const char* path : {"/1", "/2", "/3"}) {
            server.route(path,
                         testsupport::HttpAnswer::text(std::string("<html><body>Story ") + path + "</body></html>"));
        }
        Fixture f;
        std::vector<apptest::ItemSpec> specs;
        for (int k = 1; k <= 3; ++k) {
            specs.push_back(
                {"id-" + std::to_string(k), "Item " + std::to_string(k), server.url("/" + std::to_string(k)), ""});
        }
        auto* channel = f.addChannel("cmds", specs);
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        testsupport::TempDir logs;
        CMainFrame main;
        QVERIFY(createMainFrame(main, logs));
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto enabled = [&](int id) { return main.getCommand(id)->isEnabled(); };
        auto text = [&](int id) { return main.getCommand(id)->text(); };
        for (int id : {32856, 32858, 32859, 32903, 32909, 32912})
            QVERIFY2(!enabled(id), qPrintable(QString::number(id)));
        QVERIFY(!main.runCommand(32856));

        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        CChannelMdiChildWnd* frame = doc->getFrame();
        QCOMPARE(main.getMdiArea()->subWindowList().size(), 1);
        QTRY_COMPARE(main.getMdiArea()->activeSubWindow(), frame);
        CChannelItemView* items = frame->getItemView();
        items->setFocus();
        QTRY_VERIFY(frame->isItemViewActive());
        for (int id : {32856, 32857, 32858, 32859, 108, 32896, 32869, 32903, 32904, 32909, 32910, 32915}) {
            QVERIFY2(enabled(id), qPrintable(QString::number(id)));
        }
        QCOMPARE(text(32903), QString("&Mark as read"));
        QVERIFY(main.getCommand(32912)->isChecked());

        // Marking from the main window: the row, the channel and the texts follow.
        QVERIFY(main.runCommand(32903));
        QVERIFY(getChannelDesktopSettings(channel)->isFeedItemViewed("id-1"));
        QCOMPARE(items->rowIcon(0), 0);
        QCOMPARE(text(32903), QString("&Mark as un-read"));
        QVERIFY(main.runCommand(32903));
        QCOMPARE(text(32903), QString("&Mark as read"));

        // Next and previous open the item in the page pane, wrapping round.
        QWebEngineView* web = frame->getBrowserView()->webView();
        QVERIFY(main.runCommand(32856));
        QCOMPARE(items->selectedRow(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(web->url().toString().toStdString(), server.url("/2"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(server.requests("/2").size(), std::size_t(1), 20000);
        QVERIFY(getChannelDesktopSettings(channel)->isFeedItemViewed("id-2"));
        items->selectRow(2);
        QVERIFY(main.runCommand(32856));
        QCOMPARE(items->selectedRow(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(web->url().toString().toStdString(), server.url("/1"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!web->page()->isLoading(), 20000);
        QVERIFY(main.runCommand(32857));
        QCOMPARE(items->selectedRow(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(web->url().toString().toStdString(), server.url("/3"), 20000);
        // Back goes to the page before, whatever has the focus.
        QVERIFY(main.runCommand(32909));
        QTRY_COMPARE_WITH_TIMEOUT(web->url().toString().toStdString(), server.url("/1"), 20000);

        // An item opens as its row shows it, even after the worker has
        // replaced the feed (the list's refresh waits while the window is active).
        apptest::setFeed(*channel, {{"new-1", "New 1", server.url("/new/1"), ""},
                                    {"new-2", "New 2", server.url("/new/2"), ""},
                                    {"new-3", "New 3", server.url("/new/3"), ""}});
        items->selectRow(1);
        items->setFocus();  // opening an item gave the page the focus
        QTRY_VERIFY(enabled(32869));
        QVERIFY(main.runCommand(32869));
        QTRY_COMPARE_WITH_TIMEOUT(web->url().toString().toStdString(), server.url("/2"), 20000);

        // The navigation bar and the item pane, with their check mark and text.
        QVERIFY(main.runCommand(32912));
        QVERIFY(!frame->getBrowserView()->isNavBarVisible());
        QVERIFY(!main.getCommand(32912)->isChecked());
        QVERIFY(main.runCommand(32912));
        QVERIFY(main.getCommand(32912)->isChecked());
        frame->setItemPaneHeight(120);
        QCOMPARE(text(32859), QString("Hide &item pane"));
        QVERIFY(main.runCommand(32859));
        QCOMPARE(frame->getItemPaneHeight(), 0);
        QCOMPARE(text(32859), QString("Show &item pane"));
        QVERIFY(main.runCommand(32859));
        QCOMPARE(frame->getItemPaneHeight(), 120);

        // With the page the active pane, the list's own commands are off.
        web->setFocus();
        QTRY_VERIFY(!frame->isItemViewActive());
        QVERIFY(!enabled(32903));
        QVERIFY(!main.runCommand(32869));
        QVERIFY(enabled(32856) && enabled(32896));

        // The tab's menu starts with the summary and the navigation bar.
        const QList<QAction*> tabMenu = frame->systemMenu()->actions();
        QCOMPARE(tabMenu.value(0)->text(), QString("Show &summary"));
        QCOMPARE(tabMenu.value(1)->text(), QString("Show na&vbar"));

        // A minimised window comes back when its channel is opened again.
        frame->showMinimized();
        doc->activateFrame(false);
        QVERIFY(!frame->isMinimized());
        QVERIFY(!frame->windowIcon().isNull());

        // No window, no command; the caption bar empties and the Control
        // Center's list gets the focus.
        main.setCaptionBarText("cmds");
        delete frame;
        QTRY_VERIFY(!enabled(32856));
        QVERIFY(!enabled(32909));
        QTRY_COMPARE(main.getCaptionBar()->text(), QString());
        QTRY_COMPARE(QApplication::focusWidget(), main.getWorkspaceBar()->tabs()->currentWidget());

        // The single-window layout: no minimise and maximise buttons.
        setUiHandler(false);
        doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        QCOMPARE(doc->getFrame()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 Qt::WindowFlags());
        QVERIFY(doc->getFrame()->windowFlags() & Qt::WindowCloseButtonHint);
        delete doc->getFrame();
        setUiHandler(true);
    }

    // A click opens an item in one-click mode only; otherwise a double-click does.
    void itemListClicksFollowOneClickMode() {
        testsupport::HttpServer server;
        server.route("/*", testsupport::HttpAnswer::text("<html><body>page</body></html>"));
        Fixture f;
        auto* channel =
            f.addChannel("clicks", {{"id-1", "One", server.url("/1"), ""}, {"id-2", "Two", server.url("/2"), ""}});
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        CChannelMdiChildWnd* frame = doc->getFrame();
        frame->setItemPaneHeight(120);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        CChannelItemView* items = frame->getItemView();
        ChannelDesktopSettings& s = *getChannelDesktopSettings(channel);
        auto rowCentre = [&](int row) { return items->visualRect(items->model()->index(row, 0)).center(); };
        for (int oneClick : {0, 1}) {
            CAppListCtrl::setOneClickModeForTest(oneClick);
            s.markAllFeedItemsViewed(false);
            QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, rowCentre(1));
            QCOMPARE(s.isFeedItemViewed("id-2"), oneClick != 0);
            // The second click of a double-click on that row.
            s.markAllFeedItemsViewed(false);
            QTest::mouseDClick(items->viewport(), Qt::LeftButton, {}, rowCentre(1));
            QCOMPARE(s.isFeedItemViewed("id-2"), oneClick == 0);
        }
        CAppListCtrl::setOneClickModeForTest(-1);
        // Enter and Space open the selected item, unless Alt is held.
        struct Key {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            bool opens;
        };
        for (const Key& k :
             {Key{Qt::Key_Return, Qt::AltModifier, false}, Key{Qt::Key_Space, Qt::AltModifier, false},
              Key{Qt::Key_Return, Qt::NoModifier, true}, Key{Qt::Key_Space, Qt::ControlModifier, true}}) {
            s.markAllFeedItemsViewed(false);
            items->selectRow(0);
            items->setFocus();
            QTest::keyClick(items, k.key, k.modifiers);
            QCOMPARE(s.isFeedItemViewed("id-1"), k.opens);
        }
        delete frame;
    }

    // Looking at a channel moves its last view time on: its new content is
    // no longer new, and its row in My Channels shows that.
    void activatingAChannelWindowClearsItsNewContent() {
        Fixture f;
        auto* channel = f.addChannel("fresh", apptest::numberedItems("fresh", 2));
        auto* other = f.addChannel("other", apptest::numberedItems("other", 2));
        const auto now = static_cast<std::int32_t>(std::time(nullptr));
        for (channels::Channel* c : {channel, other}) {
            getChannelDesktopSettings(c)->setLastNewItemTime(now - 5);
            getChannelDesktopSettings(c)->setLastViewTime(0);
        }
        ChannelDesktopSettings& s = *getChannelDesktopSettings(channel);
        QVERIFY(s.hasNewContent());
        const bool bold = GlobalOptions::instance().EnableMyChannelsBoldFonts;
        GlobalOptions::instance().EnableMyChannelsBoldFonts = true;
        testsupport::TempDir logs;
        CMainFrame main;
        QVERIFY(createMainFrame(main, logs));
        CControlCenterMyChannelsWnd* list = main.getWorkspaceBar()->getMyChannelsWnd();
        list->loadChannels();
        const auto row = [&](channels::Channel* c) { return list->rowItem(list->findRow(c)); };
        QCOMPARE(list->rowImage(list->findRow(channel)), 1);
        QVERIFY(row(channel)->font(0).bold());

        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        QVERIFY(doc != nullptr);
        QTRY_VERIFY(!s.hasNewContent());
        QVERIFY(s.getLastViewTime() >= now);
        QVERIFY(!row(channel)->font(0).bold());
        QVERIFY(list->rowImage(list->findRow(channel)) != 1);
        // A step of that size is saved with the channel at once (a window
        // activated again within the half minute moves the time on in memory
        // only).
        const int stored = tools::getIniInt(channel->getConfigFilename(), "Desktop Settings", "LastViewTime", 0);
        QVERIFY2(stored >= now && stored <= s.getLastViewTime(), qPrintable(QString::number(stored)));
        // The channel not looked at keeps its new content.
        QVERIFY(getChannelDesktopSettings(other)->hasNewContent());
        QVERIFY(row(other)->font(0).bold());
        delete doc->getFrame();
        GlobalOptions::instance().EnableMyChannelsBoldFonts = bold;
    }

    void browserToolbarResetAndAddresses() {
        struct Owner : CBrowserToolbarParent {
            QStringList calls;
            void onBrowserGoBack() override { calls << "back"; }
            void onBrowserGoForward() override { calls << "forward"; }
            void onBrowserNavigate(const std::string& url) override { calls << "go " + QString::fromStdString(url); }
            void onBrowserEscape() override { calls << "escape"; }
        } owner;
        testsupport::TempDir dir;
        CBrowserToolbar bar(&owner, nullptr);
        bar.resize(400, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(bar.isUrlBoxCreated());

        // Temporary pages (a summary page) leave the box empty; other
        // addresses and files elsewhere are shown as given.
        tools::TempFile page(".html");
        const std::string elsewhere = dir.file("page.html");
        testsupport::writeFile(elsewhere, "<html/>");
        const std::pair<std::string, QString> addresses[] = {
            {"http://example.com/x", "http://example.com/x"},
            {"file://" + page.getFilename(), ""},
            {page.getFilename(), ""},
            {"file://" + elsewhere, QString::fromStdString("file://" + elsewhere)},
            {elsewhere, QString::fromStdString(elsewhere)},
        };
        for (const auto& [url, shown] : addresses) {
            bar.setUrl(url);
            QCOMPARE(bar.urlEdit()->text(), shown);
        }

        // Enter and the go button navigate to the trimmed text; blanks do nothing.
        bar.urlEdit()->setText("   ");
        QTest::keyClick(bar.urlEdit(), Qt::Key_Return);
        bar.urlEdit()->setText("  http://example.com/y ");
        QTest::keyClick(bar.urlEdit(), Qt::Key_Return);
        bar.goAction()->trigger();
        bar.backAction()->trigger();
        bar.forwardAction()->trigger();
        QTest::keyClick(bar.urlEdit(), Qt::Key_Escape);
        QCOMPARE(owner.calls,
                 (QStringList{"go http://example.com/y", "go http://example.com/y", "back", "forward", "escape"}));

        // The go button sits a quarter of the bar's height from the right;
        // the box stretches to half that before it.
        for (int width : {400, 640}) {
            bar.resize(width, bar.height());
            const int q = bar.height() / 4;
            QCOMPARE(bar.goButton()->geometry().right() + 1, width - q);
            QCOMPARE(bar.urlEdit()->geometry().right() + 1, bar.goButton()->geometry().left() - q / 2);
        }

        // A reset puts an empty box back in its place.
        bar.reset();
        QVERIFY(bar.urlEdit() != nullptr);
        QCOMPARE(bar.urlEdit()->text(), QString());
        QCOMPARE(bar.urlEdit()->geometry().right() + 1, bar.goButton()->geometry().left() - bar.height() / 4 / 2);
    }

    void rowImagesAndTheHotRow() {
        Fixture f;
        auto* busy = f.addChannel("busy", apptest::numberedItems("busy", 25));
        auto* calm = f.addChannel("calm", apptest::numberedItems("calm", 3));
        markRead(calm, 1);
        GlobalOptions::instance().ShowUnreadItemsInMyChannels = true;
        CWorkspaceBar bar(nullptr);
        CControlCenterMyChannelsWnd* list = bar.getMyChannelsWnd();
        list->loadChannels();
        for (auto [channel, image] : {std::pair{busy, 21}, {calm, 3}}) {
            const QIcon icon = list->rowItem(list->findRow(channel))->icon(0);
            QVERIFY(!icon.isNull());
            QCOMPARE(imageOf(icon), imageOf(listImage(kMyChannelsImages, image)));
        }
        QVERIFY(imageOf(listImage(kMyChannelsImages, 21)) != imageOf(listImage(kMyChannelsImages, 3)));
        QVERIFY(!bar.tabs()->tabIcon(0).isNull() && !bar.tabs()->tabIcon(1).isNull());
        CWorkPad pad(nullptr);
        QVERIFY(!pad.tabs()->tabIcon(0).isNull());

        // The item list: viewed, new and unread rows each have their image.
        dialogs::ScopedModalAnswerer answerer([](QDialog& d) { d.done(dialogs::IDOK); });
        calm->getChannelState().setNewFeedItems({"id-3"}, 1);
        CChannelDoc* doc = CChannelDoc::openChannelDoc(calm, true);
        CChannelItemView* items = doc->getFrame()->getItemView();
        QList<QImage> shown;
        for (int row = 0; row < 3; ++row) {
            shown << imageOf(items->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>());
        }
        QCOMPARE(shown, (QList<QImage>{imageOf(listImage(kItemViewImages, 0)), imageOf(listImage(kItemViewImages, 2)),
                                       imageOf(listImage(kItemViewImages, 1))}));
        QVERIFY(shown[0] != shown[1] && shown[1] != shown[2] && shown[0] != shown[2]);
        delete doc->getFrame();

        // In one-click mode the row under the mouse is underlined, in every list.
        bar.resize(240, 200);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QPoint second = list->visualItemRect(list->rowItem(1)).center();
        for (int oneClick : {1, 0}) {
            CAppListCtrl::setOneClickModeForTest(oneClick);
            hover(list->viewport(), second);
            QTRY_COMPARE(list->hotRow(), oneClick != 0 ? 1 : -1);
            QCOMPARE(list->rowFont(1).underline(), oneClick != 0);
            QVERIFY(!list->rowFont(0).underline());
            hover(list->viewport(), list->visualItemRect(list->rowItem(0)).center());
        }
        CAppListCtrl::setOneClickModeForTest(1);
        QTRY_COMPARE(list->hotRow(), 0);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(list->viewport(), &leave);
        QCOMPARE(list->hotRow(), -1);
        CAppListCtrl::setOneClickModeForTest(-1);
    }

public slots:
    void captureUrl(const QUrl&) {}

private:
    DesktopWiring wiring;
};

QTEST_MAIN(ChannelWindowsTest)
#include "channel_windows_qtest.moc"
