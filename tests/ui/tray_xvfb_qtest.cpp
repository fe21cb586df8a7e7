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
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"

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
            testsupport::writeFile((user / "Channels" / file).string(),
                                   "[Config]\nRssChannelUrl=" + server.url(path) +
                                       "\n[Desktop Settings]\nUseQuickAccessMenu=1\n");
        }
        // A failing channel: its error balloon is up (30 s) when the program ends.
        testsupport::writeFile((user / "Channels" / "gone.rss").string(),
                               "[Config]\nRssChannelUrl=" + server.url("/gone.xml") + "\n");
        for (const char* sub : {"run", "config", "cache", "tmp"}) fs::create_directories(dir.path() / sub);
        ::chmod((dir.path() / "run").c_str(), 0700);
    }

    // Starts Xvfb and trayer; false when either does not come up.
    bool startDisplay() {
        xvfb.process->start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
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

        QVERIFY2(waitForText(log, "- System tray icon created OK.", 60000),
                 testsupport::readFile(log).c_str());
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
        for (const char* text : {"- text=Alpha", "- text=alpha-one", "- text=alpha-two", "- text=Beta", "- text=beta-one"}) {
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
};

QTEST_GUILESS_MAIN(TrayXvfbTest)
#include "tray_xvfb_qtest.moc"
