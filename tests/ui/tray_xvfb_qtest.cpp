// The real orvan program on an X server of its own (Xvfb) with a real tray
// host (trayer), through Qt's X11 tray path (xcb platform, no session bus):
// it creates its tray icon, shows the welcome notification, and a right
// click on the icon opens the tray menu listing the channels and their
// items; the menu's Exit ends the program, and so does File > Exit, each
// with status 0. The clicks and keys are real X input (xdotool); the program
// ends even while a balloon is up. Every process the test starts is ended by
// the test.
#include <signal.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "channels/feed/feed.h"
#include "channels/rss/rssParser.h"
#include "tests/appplugins/helper/programPluginRun.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace fs = std::filesystem;

namespace {

std::string rss(const std::string& title, const std::vector<std::string>& items) {
    std::string text = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
                       "</title><link>http://127.0.0.1:9/</link><description>d</description>";
    for (const std::string& item : items) {
        text += "<item><title>" + item + "</title><link>http://127.0.0.1:9/" + item + "</link></item>";
    }
    return text + "</channel></rss>";
}

// A started process that is killed (and waited for) when it goes.
struct Child {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    ~Child() {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

// Runs a short command on the display; its standard output.
QString run(const QString& display, const QString& program, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Waits (bounded) until the file holds the text.
bool waitForText(const std::string& file, const std::string& text, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (testsupport::readFile(file).find(text) != std::string::npos) return true;
        QTest::qWait(200);
    }
    return false;
}

// Waits (bounded) until the condition holds.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (condition()) return true;
        QTest::qWait(200);
    }
    return condition();
}

// The first visible window of the process whose title matches the pattern
// ("" when there is none).
QString windowOf(const QString& display, qint64 pid, const QString& pattern) {
    return run(display, "xdotool",
               {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", pattern})
        .section('\n', 0, 0);
}

// The channel file of the user's folder that subscribes to the address.
fs::path channelFileOf(const fs::path& channels, const std::string& url) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(channels, error)) {
        if (tools::getIniString(entry.path().string(), "Config", "RssChannelUrl", "", false) == url)
            return entry.path();
    }
    return {};
}

long iniNumber(const fs::path& file, const char* section, const char* key) {
    return tools::getIniInt(file.string(), section, key, 0);
}

// The pages in the folder (files that end as a whole page does).
std::set<std::string> pagesIn(const fs::path& folder) {
    std::set<std::string> pages;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (testsupport::readFile(entry.path().string()).find("</html>") != std::string::npos)
            pages.insert(entry.path().string());
    }
    return pages;
}

// A desktop for the program: an X server on a display number it picks
// itself, the tray host, a feed server, and a program directory with the
// whole staged program (its plug-ins too), a user "tester" with two
// channels on the quick-access menu and a failing one, the log groups on.
class Desktop {
public:
    Desktop() {
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one", "alpha-two"})));
        server.route("/b.xml", testsupport::HttpAnswer::text(rss("Beta", {"beta-one"})));
        server.route("/gone.xml", testsupport::HttpAnswer::text("no such feed", 404));
        const fs::path stage = testsupport::stageDir();
        fs::create_directories(prog);
        for (const auto& entry : fs::directory_iterator(stage)) {
            if (entry.path().filename() == "Users") continue;
            fs::copy(entry.path(), prog / entry.path().filename(),
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        }
        // The listeners on free ports: a test never binds the fixed ones.
        testsupport::writeFile((prog / "global.ini").string(),
                               testsupport::readFile((prog / "global.ini").string()) + "\n[Config]\nAppServerPortNo=" +
                                   std::to_string(testsupport::freeLoopbackPort()) + "\n");
        testsupport::writeFile((prog / "debug.ini").string(), "[Debug]\nUserName=tester\n");
        fs::create_directories(user / "Channels");
        testsupport::writeFile((user / "debug.ini").string(),
                               "[MessageLog]\nStartup=1\nChannelEvents=1\nNotificationRequestQueue=1\n"
                               "SystemTrayMenu_MeasureItem=1\nShutdown=1\n");
        // Exit asks nothing: the confirmation is switched off.
        testsupport::writeFile((user / "config.ini").string(),
                               "[Disabled Hints]\nConfirmExit=1\n[Global Options]\nAppPluginServerPortNo=" +
                                   std::to_string(testsupport::freeLoopbackPort()) + "\n");
        for (const auto& [file, path] : {std::pair{"a.rss", "/a.xml"}, {"b.rss", "/b.xml"}}) {
            testsupport::writeFile(
                (user / "Channels" / file).string(),
                "[Config]\nRssChannelUrl=" + server.url(path) + "\n[Desktop Settings]\nUseQuickAccessMenu=1\n");
        }
        // A failing channel: its error balloon is up (30 s) when the program ends.
        testsupport::writeFile((user / "Channels" / "gone.rss").string(),
                               "[Config]\nRssChannelUrl=" + server.url("/gone.xml") + "\n");
        for (const char* sub : {"run", "config", "cache", "tmp"}) fs::create_directories(dir.path() / sub);
        ::chmod((dir.path() / "run").c_str(), 0700);
    }

    // Starts Xvfb and trayer; false when either does not come up.
    bool startDisplay(const QString& screen = "1024x768x24") {
        xvfb.process->start("Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
        if (!xvfb.process->waitForStarted(10000)) return false;
        QString number;
        for (int k = 0; k < 50 && number.isEmpty(); ++k) {
            xvfb.process->waitForReadyRead(200);
            number = QString::fromLocal8Bit(xvfb.process->readAllStandardOutput()).trimmed();
        }
        if (number.isEmpty()) return false;
        display = ":" + number;
        QProcessEnvironment trayerEnv = QProcessEnvironment::systemEnvironment();
        trayerEnv.insert("DISPLAY", display);
        trayer.process->setProcessEnvironment(trayerEnv);
        trayer.process->start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request"});
        return trayer.process->waitForStarted(10000);
    }

    // The program, on the X11 tray path, as a user starts it.
    void startProgram() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", display);
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.remove("WAYLAND_DISPLAY");
        // The program turns Qt WebEngine's sandbox off itself where it must.
        env.remove("QTWEBENGINE_CHROMIUM_FLAGS");
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        // On the X11 path the system's D-Bus and graphics libraries keep
        // allocations until exit; the program's own leaks are checked by the
        // offscreen program tests.
        env.insert("ASAN_OPTIONS",
                   env.value("ASAN_OPTIONS") + (env.contains("ASAN_OPTIONS") ? ":" : "") + "detect_leaks=0");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((dir.path() / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((dir.path() / "config").string()));
        env.insert("XDG_DATA_HOME", QString::fromStdString((dir.path() / "data").string()));
        env.insert("XDG_CACHE_HOME", QString::fromStdString((dir.path() / "cache").string()));
        env.insert("TMPDIR", QString::fromStdString((dir.path() / "tmp").string()));
        env.insert("HOME", QString::fromStdString(dir.str()));
        orvan.process = std::make_unique<QProcess>();
        orvan.process->setProcessEnvironment(env);
        orvan.process->setWorkingDirectory(QString::fromStdString(dir.str()));
        orvan.process->setProcessChannelMode(QProcess::MergedChannels);
        orvan.process->start(QString::fromStdString((prog / "orvan").string()), {});
    }

    // The display, the tray host and the program.
    bool start() {
        if (!startDisplay()) return false;
        startProgram();
        return orvan.process->waitForStarted(10000);
    }

    // Why the program's end was not a clean one ("" when it ended with
    // status 0).
    QString endProblem(bool ended) {
        const QString output = QString::fromLocal8Bit(orvan.process->readAll().right(2000));
        if (!ended) return "the program did not end: " + output;
        if (orvan.process->exitStatus() != QProcess::NormalExit || orvan.process->exitCode() != 0)
            return QString("exit code %1: ").arg(orvan.process->exitCode()) + output;
        return {};
    }

    testsupport::HttpServer server;
    testsupport::TempDir dir;
    const fs::path prog = dir.path() / "prog";
    const fs::path user = dir.path() / "data" / "orvan" / "Users" / "tester";
    const std::string log = (user / "Logs" / "Orvan.log").string();
    QString display;
    Child xvfb, trayer, orvan;
};

bool toolsPresent() {
    for (const char* tool : {"Xvfb", "trayer", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            qWarning("%s is missing: scripts/install-deps installs it", tool);
            return false;
        }
    }
    return true;
}

}  // namespace

class TrayXvfbTest : public QObject {
    Q_OBJECT
private slots:
    void trayIconAndMenuOfTheRealProgram() {
        QVERIFY(toolsPresent());
        Desktop desktop;
        QVERIFY2(desktop.start(), "Xvfb, trayer or the program did not start");
        QProcess& orvan = *desktop.orvan.process;
        const std::string& log = desktop.log;
        const QString& display = desktop.display;

        QVERIFY2(waitForText(log, "- System tray icon created OK.", 60000), testsupport::readFile(log).c_str());
        QVERIFY(waitForText(log, "Processing notification request: [", 60000));
        QVERIFY(waitForText(log, "has started.]", 10000));
        QVERIFY(waitForText(log, "Updated channel Alpha OK.", 60000));
        QVERIFY(waitForText(log, "Updated channel Beta OK.", 60000));
        QVERIFY(waitForText(log, "Processing error notification request: [", 60000));

        // Right clicks on the tray host's panel, where the only icon is,
        // until the menu is built (the icon may still be docking).
        const QString panel = run(display, "xdotool", {"search", "--classname", "^panel$"}).section('\n', 0, 0);
        QVERIFY2(!panel.isEmpty(), "no tray panel");
        bool menuShown = false;
        for (int attempt = 0; attempt < 10 && !menuShown; ++attempt) {
            run(display, "xdotool", {"mousemove", "--window", panel, "12", "12", "click", "3"});
            menuShown = waitForText(log, "MEASURE ITEM (channel):", 3000);
        }
        QVERIFY2(menuShown, testsupport::readFile(log).c_str());
        for (const char* text :
             {"- text=Alpha", "- text=alpha-one", "- text=alpha-two", "- text=Beta", "- text=beta-one"}) {
            QVERIFY2(waitForText(log, text, 10000), text);
        }

        // The menu's Exit ("E&xit") ends the program normally. The menu
        // takes the keyboard once it is on the screen, a moment after it is
        // built: the key is sent again, on a menu opened again, if need be.
        bool ended = false;
        for (int attempt = 0; attempt < 5 && !ended; ++attempt) {
            if (attempt > 0) run(display, "xdotool", {"mousemove", "--window", panel, "12", "12", "click", "3"});
            QTest::qWait(1000);
            run(display, "xdotool", {"key", "x"});
            ended = orvan.waitForFinished(5000);
        }
        const QString problem = desktop.endProblem(ended);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // File > Exit, chosen with the keyboard in the main window ("&File",
    // "E&xit"), ends the program with status 0.
    void fileExitEndsTheRealProgram() {
        QVERIFY(toolsPresent());
        Desktop desktop;
        QVERIFY2(desktop.start(), "Xvfb, trayer or the program did not start");
        QProcess& orvan = *desktop.orvan.process;
        QVERIFY2(waitForText(desktop.log, "Initialization completed OK", 60000),
                 testsupport::readFile(desktop.log).c_str());
        QVERIFY(waitForText(desktop.log, "Updated channel Alpha OK.", 60000));
        const QString pid = QString::number(orvan.processId());
        bool ended = false;
        for (int attempt = 0; attempt < 5 && !ended; ++attempt) {
            // The program's main window: the visible one of its process
            // whose title names the program.
            const QString window =
                run(desktop.display, "xdotool", {"search", "--onlyvisible", "--pid", pid, "--name", "Orvan"})
                    .section('\n', 0, 0);
            if (window.isEmpty()) {
                QTest::qWait(1000);
                continue;
            }
            run(desktop.display, "xdotool", {"windowfocus", "--sync", window});
            run(desktop.display, "xdotool", {"key", "--window", window, "alt+f"});
            QTest::qWait(1000);
            run(desktop.display, "xdotool", {"key", "x"});
            ended = orvan.waitForFinished(5000);
        }
        QVERIFY2(testsupport::readFile(desktop.log).find("ExitInstance() called.") != std::string::npos,
                 testsupport::readFile(desktop.log).c_str());
        const QString problem = desktop.endProblem(ended);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // A user's day with the real program, by real X input: a feed subscribed
    // through the application server's "/subscribe" opens the wizard, whose
    // finish opens the new channel's window (its summary page loads the
    // item's picture from the server); a double click on an item loads its
    // page; opening another channel clears its new content; "Update now"
    // fetches the feed again; every stock report writes its page; File >
    // Exit ends the program with status 0. A second run generates the
    // outline and meta-channel reports (read back by listintake and the RSS
    // parser) and ends on SIGTERM with status 0.
    void subscribeReadReportAndExitInTheRealProgram() {
        QVERIFY(toolsPresent());
        Desktop desktop;
        testsupport::HttpServer& server = desktop.server;
        const std::string alphaUrl = server.url("/alpha.xml");
        const std::string betaUrl = server.url("/b.xml");
        const auto feed = [&server](const std::string& title, const std::vector<std::string>& items) {
            std::string text = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
                               "</title><link>" + server.url("/") + "</link><description>d</description>";
            for (const std::string& item : items) {
                text += "<item><title>" + item + "</title><link>" + server.url("/" + item + ".html") +
                        "</link><description>&lt;p&gt;" + item + " &lt;img src=\"" + server.url("/pic.png") +
                        "\"&gt;&lt;/p&gt;</description></item>";
            }
            return testsupport::HttpAnswer::text(text + "</channel></rss>");
        };
        server.route("/alpha.xml", feed("Alpha", {"alpha-one", "alpha-two"}));
        server.route("/b.xml", feed("Beta", {"beta-one"}));
        testsupport::HttpAnswer page =
            testsupport::HttpAnswer::text("<html><head><title>Item page</title></head><body>Item</body></html>");
        page.headers.emplace_back("Content-Type", "text/html");
        server.route("/alpha-one.html", page);
        // A 1x1 PNG, served from a file.
        testsupport::HttpAnswer picture;
        picture.bodyFile = (desktop.dir.path() / "pic.png").string();
        testsupport::writeFile(picture.bodyFile,
                               QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1Pe"
                                                      "AAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC")
                                   .toStdString());
        picture.headers.emplace_back("Content-Type", "image/png");
        server.route("/pic.png", picture);

        // The user of an earlier run: the channel Beta, the starting files,
        // and the hints that would stop each step switched off.
        const fs::path channels = desktop.user / "Channels";
        for (const char* file : {"a.rss", "gone.rss"}) fs::remove(channels / file);
        for (const char* name :
             {"DefaultChannelSummary.template", "DefaultChannelSummary.gif", "DefaultChannelReport.template",
              "CompactChannelReport.template", "ExportOpml.template", "MyBlogroll.template", "MetaChannel.template"}) {
            fs::copy_file(desktop.prog / "Resources" / name, desktop.user / name);
        }
        const std::string config = (desktop.user / "config.ini").string();
        for (const char* hint : {"UsingChannelCategories", "NewChannelMayBeFiltered", "AssigningHotkeys",
                                 "ChannelSummaryPage", "ManagingChannels"})
            tools::writeIniString(config, "Disabled Hints", hint, "1");
        const int appServerPort =
            tools::getIniInt((desktop.prog / "global.ini").string(), "Config", "AppServerPortNo", 0);

        QVERIFY2(desktop.startDisplay("1600x1000x24"), "Xvfb or trayer did not start");
        desktop.startProgram();
        QVERIFY(desktop.orvan.process->waitForStarted(10000));
        QProcess& orvan = *desktop.orvan.process;
        const QString& display = desktop.display;
        const auto requests = [&server](const std::string& path) { return server.requests(path).size(); };
        const auto shot = [&display](const char* name) {
            if (!qEnvironmentVariableIsEmpty("ORVAN_TEST_SHOTS"))
                run(display, "import",
                    {"-window", "root", qEnvironmentVariable("ORVAN_TEST_SHOTS") + "/" + name + ".png"});
        };
        QVERIFY2(waitForText(desktop.log, "Initialization completed OK", 60000),
                 testsupport::readFile(desktop.log).c_str());
        const bool betaUpdated = waitForText(desktop.log, "Updated channel Beta OK.", 60000);
        if (!betaUpdated) fprintf(stderr, "%s\n", testsupport::readFile(desktop.log).c_str());
        QVERIFY(betaUpdated);
        QString mainWindow;
        QVERIFY(waitUntil([&] { return !(mainWindow = windowOf(display, orvan.processId(), "^Orvan$")).isEmpty(); },
                          20000));
        const auto keys = [&](const QString& window, const QStringList& sequence) {
            run(display, "xdotool", {"windowfocus", "--sync", window});
            for (const QString& key : sequence) {
                run(display, "xdotool", {"key", key});
                QTest::qWait(700);
            }
        };
        // Chooses a command of the main window's menus by its accelerators.
        // The menu takes the keyboard a moment after it opens: the keys are
        // sent again (a menu left open closed first) until `done` holds.
        const auto choose = [&](const QString& menuKey, const QString& itemKey, const std::function<bool()>& done) {
            for (int attempt = 0; attempt < 5; ++attempt) {
                run(display, "xdotool", {"windowfocus", "--sync", mainWindow});
                run(display, "xdotool", {"key", "--window", mainWindow, menuKey});
                QTest::qWait(1000);
                run(display, "xdotool", {"key", itemKey});
                if (waitUntil(done, 5000)) return true;
                run(display, "xdotool", {"key", "Escape"});
            }
            return false;
        };

        // Subscribe: the application server's request opens the wizard.
        QTcpSocket subscribe;
        subscribe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(appServerPort));
        QVERIFY(subscribe.waitForConnected(5000));
        subscribe.write(QByteArray::fromStdString("GET /subscribe?url=" + alphaUrl + " HTTP/1.0\r\n\r\n"));
        QString wizard;
        QVERIFY2(waitUntil([&] { return !(wizard = windowOf(display, orvan.processId(), "^New Channel$")).isEmpty(); },
                           20000),
                 testsupport::readFile(desktop.log).c_str());
        shot("wizard");
        // Enter takes each page's default button until the wizard finishes.
        const bool finished = waitUntil(
            [&] {
                if (windowOf(display, orvan.processId(), "^New Channel$").isEmpty()) return true;
                keys(wizard, {"Return"});
                QTest::qWait(700);
                return false;
            },
            30000);
        if (!finished) {
            shot("wizard-unfinished");
            fprintf(stderr, "alpha fetches %zu\n%s\n", requests("/alpha.xml"),
                    testsupport::readFile(desktop.log).c_str());
        }
        QVERIFY2(finished, "the wizard did not finish");
        fs::path alpha;
        QVERIFY(waitUntil([&] { return !(alpha = channelFileOf(channels, alphaUrl)).empty(); }, 10000));
        // The new channel's window opened: its summary page shows the item's
        // picture, fetched from the server.
        QVERIFY2(waitUntil([&] { return requests("/pic.png") > 0; }, 20000), "the item picture was not loaded");
        shot("channel");

        // A double click on the first item of the list loads its page.
        QVERIFY(waitUntil(
            [&] {
                run(display, "xdotool",
                    {"mousemove", "--window", mainWindow, "330", "92", "click", "--repeat", "2", "--delay", "80", "1"});
                return waitUntil([&] { return requests("/alpha-one.html") > 0; }, 3000);
            },
            15000));
        shot("item");

        // Beta came with new content; opening it (its entry in My Channels,
        // then Enter) clears that.
        const fs::path beta = channels / "b.rss";
        QVERIFY(iniNumber(beta, "Desktop Settings", "LastNewItemTime") > 0);
        QCOMPARE(iniNumber(beta, "Desktop Settings", "LastViewTime"), 0L);
        const bool betaOpened = waitUntil(
            [&] {
                run(display, "xdotool", {"mousemove", "--window", mainWindow, "45", "108", "click", "1"});
                keys(mainWindow, {"Return"});
                return waitUntil(
                    [&] {
                        return iniNumber(beta, "Desktop Settings", "LastViewTime") >=
                               iniNumber(beta, "Desktop Settings", "LastNewItemTime");
                    },
                    3000);
            },
            15000);
        if (!betaOpened) shot("beta-not-opened");
        QVERIFY2(betaOpened, testsupport::readFile(beta.string()).c_str());

        // "Update now" (Edit menu) on the active channel window, Beta's,
        // fetches its feed again and keeps the new item.
        server.route("/b.xml", feed("Beta", {"beta-three", "beta-one"}));
        const std::size_t betaFetches = requests("/b.xml");
        QVERIFY(choose("alt+e", "u", [&] { return requests("/b.xml") > betaFetches; }));
        QVERIFY2(waitForText(beta.string(), "Title=beta-three", 15000), testsupport::readFile(beta.string()).c_str());
        shot("updated");

        // Each stock report, chosen in View > Channel reports, writes its page.
        const fs::path tmp = desktop.dir.path() / "tmp";
        const fs::path reportsDir = desktop.user / "Reports";
        const auto generate = [&](int row) {
            QString dialog;
            const auto dialogShown = [&] {
                return !(dialog = windowOf(display, desktop.orvan.process->processId(), "^Organize channel reports$"))
                            .isEmpty();
            };
            if (!choose("alt+v", "r", dialogShown)) return false;
            return waitUntil(
                [&] {
                    run(display, "xdotool",
                        {"mousemove", "--window", dialog, "30", QString::number(75 + 14 * row), "click", "1"});
                    keys(dialog, {"Return"});
                    return waitUntil([&] { return !dialogShown(); }, 3000);
                },
                20000);
        };
        const char* const stock[] = {"All", "New content", "Unread items", "My Favorites", "My Blogroll"};
        for (int row = 0; row < 5; ++row) {
            const std::set<std::string> before = pagesIn(tmp);
            QVERIFY2(generate(row), stock[row]);
            std::string written;
            QVERIFY2(waitUntil(
                         [&] {
                             if (row == 4) {
                                 if (fs::exists(reportsDir / "MyBlogroll.html"))
                                     written = (reportsDir / "MyBlogroll.html").string();
                             } else {
                                 for (const std::string& file : pagesIn(tmp))
                                     if (before.count(file) == 0) written = file;
                             }
                             return !written.empty();
                         },
                         15000),
                     stock[row]);
            if (row == 0) {
                const std::string all = testsupport::readFile(written);
                for (const char* item : {"alpha-one", "beta-three"})
                    QVERIFY2(all.find(item) != std::string::npos, item);
            }
        }
        shot("reports");

        // File > Exit.
        const bool ended = choose("alt+f", "x", [&] { return orvan.state() == QProcess::NotRunning; });
        QString problem = desktop.endProblem(ended);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // The user adds the outline export and the meta-channel to the reports.
        const std::string opml = (reportsDir / "channels.opml").string();
        const std::string meta = (reportsDir / "meta.xml").string();
        const struct {
            const char* name;
            const char* templ;
            std::string output;
        } added[] = {{"Outline", "ExportOpml.template", opml}, {"Meta", "MetaChannel.template", meta}};
        for (int k = 0; k < 2; ++k) {
            const std::string section = "Channel Report Config " + std::to_string(6 + k);
            tools::writeIniString(config, section, "ReportName", added[k].name);
            tools::writeIniString(config, section, "ChannelFilterName", "All");
            tools::writeIniString(config, section, "TemplateFilename", (desktop.user / added[k].templ).string());
            tools::writeIniString(config, section, "OutputFilename", added[k].output);
            tools::writeIniString(config, section, "ShowResults", "1");
        }

        // A second run generates them, then ends on SIGTERM.
        desktop.startProgram();
        QProcess& second = *desktop.orvan.process;
        QVERIFY(second.waitForStarted(10000));
        QVERIFY(waitUntil([&] { return !(mainWindow = windowOf(display, second.processId(), "^Orvan$")).isEmpty(); },
                          60000));
        for (int k = 0; k < 2; ++k) {
            const bool generated = generate(5 + k);
            if (!generated) shot("generate-failed");
            QVERIFY2(generated, added[k].name);
            QVERIFY2(waitUntil([&] { return fs::exists(added[k].output); }, 15000), added[k].name);
        }
        // The outline reads back into listintake: one channel per subscription.
        const fs::path imported = desktop.dir.path() / "imported";
        fs::create_directories(imported);
        const std::string request = programplugintest::writeRequestValues((desktop.dir.path() / "request.ini").string(),
                                                                          {{"Command", "ProcessRequest"},
                                                                           {"AppServerUrl", "http://127.0.0.1:1"},
                                                                           {"ChannelsDir", imported.string()},
                                                                           {"ParamString", "OpmlFilename=" + opml}});
        const auto result = programplugintest::runPlugin("listintake", {request}, desktop.dir.str());
        QVERIFY2(result.exitCode == 0, (result.err + testsupport::readFile(opml)).c_str());
        std::set<std::string> urls;
        for (const auto& entry : fs::directory_iterator(imported))
            urls.insert(tools::getIniString(entry.path().string(), "Config", "RssChannelUrl", "", false));
        QCOMPARE(urls, (std::set<std::string>{alphaUrl, betaUrl}));
        // The meta-channel reads back as a feed of the channels' items.
        const std::string metaText = testsupport::readFile(meta);
        channels::RssParseContext context;
        std::unique_ptr<channels::Feed> metaFeed;
        try {
            metaFeed = channels::RssParser().parseFeed(context, metaText, 0);
        } catch (const std::exception& e) {
            QFAIL((std::string(e.what()) + "\n" + metaText).c_str());
        }
        std::set<std::string> titles;
        for (const channels::FeedItem& item : metaFeed->getFeedItems()) titles.emplace(item.getTitle());
        QCOMPARE(titles, (std::set<std::string>{"alpha-one", "alpha-two", "beta-three", "beta-one"}));

        ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
        problem = desktop.endProblem(second.waitForFinished(20000));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TrayXvfbTest)
#include "tray_xvfb_qtest.moc"
