// The real orvan program, started offscreen against a program directory of
// its own whose web addresses and channels point at the test HTTP server:
// start-up, updates, the Logs bar's files, closing, SIGTERM, a second start,
// a new user, and a hook library's requests to the main window.
#include <signal.h>
#include <unistd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMainWindow>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/core/commandIds.h"
#include "app/core/singleInstance.h"
#include "platform/registry.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string rss(const std::string& title, const std::vector<std::string>& items) {
    std::string text = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
                       "</title><link>http://example.com/</link><description>d</description>";
    for (const std::string& item : items) {
        text += "<item><title>" + item + "</title><link>http://example.com/" + item + "</link></item>";
    }
    return text + "</channel></rss>";
}

std::string read(const std::string& path) { return testsupport::readFile(path); }

// What new-user set-up copies from the program's Resources folder.
const char* const kStartingFiles[] = {"DefaultChannelSummary.template",
                                      "DefaultChannelSummary.gif",
                                      "DefaultChannelReport.template",
                                      "CompactChannelReport.template",
                                      "ExportOpml.template",
                                      "MyBlogroll.template",
                                      "MetaChannel.template"};

// One HTTP request to a local port; the whole answer, or "" when nobody
// answers in time.
std::string httpGet(int port, const std::string& target) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (!socket.waitForConnected(5000)) return "";
    socket.write(QByteArray::fromStdString("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                           "\r\n\r\n"));
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return (answer + socket.readAll()).toStdString();
}

// The lines must appear in this order (others may come between).
bool inOrder(const std::string& text, const std::vector<std::string>& lines, std::string* missing) {
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = text.find(line, at);
        if (found == std::string::npos) {
            *missing = line;
            return false;
        }
        at = found + line.size();
    }
    return true;
}

// A program directory with the staged program in it (its plug-ins and
// libraries too), a user "tester" and the XDG folders of a desktop session.
class Installation {
public:
    explicit Installation(const testsupport::HttpServer& server) {
        const fs::path stage = testsupport::stageDir();
        fs::create_directories(dir.path() / "prog");
        for (const auto& entry : fs::directory_iterator(stage)) {
            // A folder of users that an older program left in the stage is
            // no part of the program.
            if (entry.path().filename() == "Users") continue;
            fs::copy(entry.path(), dir.path() / "prog" / entry.path().filename(),
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        }
        // The listeners on free ports: a test never binds the fixed ones.
        testsupport::writeFile(prog("global.ini"), read(prog("global.ini")) + "\n[Config]\nAppHomeUrl=" +
                                                       server.baseUrl() + "\nWelcomeUrl=" + server.url("/welcome") +
                                                       "\nAppServerPortNo=" + std::to_string(appServerPort) + "\n");
        testsupport::writeFile(prog("debug.ini"), "[Debug]\nUserName=tester\n");
        for (const char* sub : {"run", "config", "data", "cache", "tmp"}) fs::create_directories(dir.path() / sub);
        ::chmod((dir.path() / "run").c_str(), 0700);
    }

    std::string prog(const std::string& name) const { return (dir.path() / "prog" / name).string(); }
    std::string user(const std::string& name) const { return data("orvan/Users/tester/" + name); }
    std::string data(const std::string& name) const { return (dir.path() / "data" / name).string(); }
    std::string runtimeDir() const { return (dir.path() / "run").string(); }
    std::string keyStore() const { return (dir.path() / "config" / "orvan" / "registry.ini").string(); }

    // A user who has run the program before, with the message groups on.
    void makeUser(const std::string& extraDebug = "", const std::string& extraConfig = "") {
        testsupport::writeFile(user("debug.ini"),
                               "[MessageLog]\nStartup=1\nShutdown=1\nChannelEvents=1\nChannelHookCallbacks=1\n"
                               "UiEvents=1\n[Debug]\nNoWelcomeNotification=1\n" +
                                   extraDebug);
        fs::create_directories(user("Channels"));
        testsupport::writeFile(user("config.ini"),
                               "[Disabled Hints]\nConfirmExit=1\n[Global Options]\nAppPluginServerPortNo=" +
                                   std::to_string(testsupport::freeLoopbackPort()) + "\n" + extraConfig);
    }
    void addChannel(const std::string& file, const std::string& url, const std::string& extra = "") {
        testsupport::writeFile(user("Channels/" + file), "[Config]\nRssChannelUrl=" + url + "\n" + extra);
    }

    QProcess* start() {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtimeDir()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((dir.path() / "config").string()));
        env.insert("XDG_DATA_HOME", QString::fromStdString((dir.path() / "data").string()));
        env.insert("XDG_CACHE_HOME", QString::fromStdString((dir.path() / "cache").string()));
        env.insert("TMPDIR", QString::fromStdString((dir.path() / "tmp").string()));
        env.insert("HOME", QString::fromStdString(dir.str()));
        env.insert("ORVAN_REGISTRY_FILE", QString::fromStdString(keyStore()));
        // The program turns Qt WebEngine's sandbox off itself where it must.
        env.remove("QTWEBENGINE_CHROMIUM_FLAGS");
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        for (const auto& [name, value] : environment) env.insert(name, value);
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(QString::fromStdString(dir.str()));
        process->start(QString::fromStdString(prog("orvan")), {});
        return process;
    }

    // Sends a command to the running copy as a second start would.
    bool sendCommand(unsigned command) const {
        InstanceLock lock("Orvan", runtimeDir());
        return sendInstanceCommand(lock.socketPath(), command, 5000);
    }

    testsupport::TempDir dir;
    int appServerPort = testsupport::freeLoopbackPort();
    // Added to the program's environment.
    std::map<QString, QString> environment;
};

// Every file and folder below the folder, with its contents, mode and
// modification time, to tell whether anything there changed.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        ::lstat(it->path().c_str(), &st);
        std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                            std::to_string(st.st_mtim.tv_nsec);
        if (it->is_regular_file()) state += " " + read(it->path().string());
        entries[fs::relative(it->path(), folder).string()] = state;
    }
    return entries;
}

// Sets the permissions of a folder and all below it.
void setWritable(const fs::path& folder, bool writable) {
    const auto change = [&](const fs::path& path) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        writable ? fs::perm_options::add : fs::perm_options::remove);
    };
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_symlink()) change(entry.path());
    }
    change(folder);
}

// The end of a long text, for a failure message.
std::string tail(const std::string& text) { return text.size() > 1500 ? text.substr(text.size() - 1500) : text; }

bool finishedOk(QProcess& process, int timeoutMs) {
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

std::string output(QProcess& process) {
    return process.readAllStandardError().toStdString() + process.readAllStandardOutput().toStdString();
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    // Start-up in order, two channels updated and one failing, the Logs
    // bar's files, an Exit command from another process refused, then
    // SIGTERM; a second run ends through SIGTERM too. Both end with status 0 and the channel files
    // keep the new items.
    void runsUpdatesAndEnds() {
        testsupport::HttpServer server;
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one", "alpha-two"})));
        server.route("/b.xml", testsupport::HttpAnswer::text(rss("Beta", {"beta-one"})));
        server.route("/gone.xml", testsupport::HttpAnswer::text("no such feed", 404));
        Installation install(server);
        install.makeUser();
        install.addChannel("a.rss", server.url("/a.xml"));
        install.addChannel("b.rss", server.url("/b.xml"));
        install.addChannel("gone.rss", server.url("/gone.xml"));

        std::unique_ptr<QProcess> first(install.start());
        QVERIFY(first->waitForStarted(10000));
        const std::string log = install.user("Logs/Orvan.log");
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos, 60000);
        std::string missing;
        QVERIFY2(inOrder(read(log),
                         {"Saving version string: ",
                          "Starting main initialization.",
                          "--- INIT 1 ---",
                          "Registering our Window messages.",
                          "Installing our mouse hook.",
                          "Creating the main frame.",
                          "Entered CMainFrame::OnCreate()",
                          "Creating the output bar.",
                          "Starting the notification balloon timer.",
                          "CMainFrame created OK.",
                          "Showing the main window.",
                          "Installing the UI handler.",
                          "Adding a UI event handler: main frame.",
                          "Notifying registered handlers of the global options.",
                          "init1() completed OK.",
                          "--- INIT 2 ---",
                          "Loading app plugins.",
                          "Initializing the channel manager.",
                          "Loading the desktop settings for each channel.",
                          "Starting the background thread.",
                          "init2() completed OK.",
                          "Channel table size: 3",
                          "Starting the channel manager.",
                          "Main initialization completed.",
                          "Initialization completed OK - InitInstance() is returning."},
                         &missing),
                 missing.c_str());

        const std::string activity = install.user("Logs/OrvanActivity.log");
        const std::string errors = install.user("Logs/OrvanError.log");
        QTRY_VERIFY_WITH_TIMEOUT(read(activity).find("Updated channel Alpha OK.") != std::string::npos &&
                                     read(activity).find("Updated channel Beta OK.") != std::string::npos &&
                                     read(errors).find(" | ") != std::string::npos,
                                 60000);
        QVERIFY(read(activity).find("Getting the latest feed from ") != std::string::npos);
        // "<time> | <channel>: <error>", then the additional information on
        // a line of its own indented past the prefix by two blanks.
        const std::string errorText = read(errors);
        const std::size_t lineEnd = errorText.find("\r\n");
        QVERIFY2(lineEnd != std::string::npos, errorText.c_str());
        const std::string firstLine = errorText.substr(0, lineEnd);
        const std::string prefix = firstLine.substr(0, firstLine.find(" | ") + 3);
        QVERIFY2(firstLine.size() > prefix.size() && firstLine.find(": Can't update the feed.") != std::string::npos,
                 errorText.c_str());
        const std::string secondLine = errorText.substr(lineEnd + 2, errorText.find("\r\n", lineEnd + 2) - lineEnd - 2);
        QCOMPARE(secondLine, std::string(prefix.size() + 2, ' ') + "HTTP 404 Not Found");

        // Another local process can't send the Exit command over the
        // instance socket: it is refused and logged, and the show command
        // of a second start after it still arrives. SIGTERM then ends the
        // program through its shut-down (the tray test drives the menu's Exit).
        QVERIFY(install.sendCommand(57665));
        QVERIFY(install.sendCommand(kCmdShowMainWindow));
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Command from another start: 32844") != std::string::npos, 30000);
        QVERIFY(read(log).find("Refused a command on the instance socket: '57665'") != std::string::npos);
        QCOMPARE(first->state(), QProcess::Running);
        ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
        QVERIFY2(finishedOk(*first, 60000), output(*first).c_str());
        QVERIFY(inOrder(
            read(log),
            {"ExitInstance() called.", "Stopping the local channel manager.", "Calling CWinApp::ExitInstance()."},
            &missing));
        QVERIFY(read(install.user("Channels/a.rss")).find("alpha-two") != std::string::npos);
        QVERIFY(read(install.user("Channels/b.rss")).find("beta-one") != std::string::npos);
        // The user's configuration file holds credentials: the owner's alone,
        // though it was written readable by all before.
        struct stat configStat {};
        QCOMPARE(::stat(install.user("config.ini").c_str(), &configStat), 0);
        QCOMPARE(int(configStat.st_mode & 0777), 0600);

        // Second run: the logs start empty again; SIGTERM ends it cleanly.
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one", "alpha-two", "alpha-three"})));
        fs::remove(log);
        std::unique_ptr<QProcess> second(install.start());
        QVERIFY(second->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos, 60000);
        QVERIFY(read(log).find("ExitInstance() called.") == std::string::npos);
        ::kill(static_cast<pid_t>(second->processId()), SIGTERM);
        QVERIFY2(finishedOk(*second, 60000), output(*second).c_str());
        QVERIFY(read(log).find("Calling CWinApp::ExitInstance().") != std::string::npos);
    }

    // What start-up joins: the Control Center lists the channels, the
    // read-me list is loaded and a "/readme" request on the application
    // server adds to it (saved with the loaded entry), a due filter report
    // finds its filter, a hook script runs through global.ini's file
    // associations, the browser context-menu entries come and go, new
    // channels' desktop settings follow the template in config.ini, and the
    // main window comes back where it was left.
    void startupJoinsThePieces() {
        testsupport::HttpServer server;
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one"})));
        server.route("/b.xml", testsupport::HttpAnswer::text(rss("Beta", {"beta-one"})));
        Installation install(server);
        install.makeUser("SaveAllOnExit=1\n",
                         "[Desktop Settings]\nNotifyOnNewItem=1\n[Read-me "
                         "List]\nItemUrl-0=http://example.com/saved\nItemTitle-0=Saved\n"
                         "[Channel Report Config 1]\nReportName=Everything\nDataSource=0\n"
                         "ChannelFilterName=All\nTemplateFilename=" +
                             install.user("everything.template") + "\nOutputFilename=" +
                             install.user("Reports/everything.html") + "\nAutoUpdateInterval=1\nLastUpdateTime=0\n");
        testsupport::writeFile(install.user("everything.template"), "{%REPEAT%Channels}<li>{%/REPEAT%}");
        install.addChannel("a.rss", server.url("/a.xml"));
        install.addChannel("b.rss", server.url("/b.xml"),
                           "[Channel Hooks]\nChannelHook1=" + install.user("mark.hook") + "\n");
        // A script hook whose extension only global.ini's associations know.
        const std::string global = install.prog("global.ini");
        std::string globalText = read(global);
        const std::string associations = "[Scripting File Associations]\n";
        QVERIFY(globalText.find(associations) != std::string::npos);
        globalText.insert(globalText.find(associations) + associations.size(), ".orvtest=/bin/sh %1 %*\n");
        testsupport::writeFile(global, globalText);
        testsupport::writeFile(install.user("mark.orvtest"), "echo ran > '" + install.user("hook-ran.txt") + "'\n");
        testsupport::writeFile(install.user("mark.hook"), "[Config]\nScriptFilename=" + install.user("mark.orvtest") +
                                                              "\n[Events]\nEndChannelUpdate=1\n");

        // The window's placement as a previous run left it.
        const QRect placed(60, 70, 640, 480);
        {
            QMainWindow window;
            window.setGeometry(placed);
            qputenv("ORVAN_REGISTRY_FILE", QByteArray::fromStdString(install.keyStore()));
            QVERIFY(platform::registry::createKey("HKEY_CURRENT_USER\\Software\\Orvan\\Settings\\MainFrame"));
            QVERIFY(platform::registry::setBinary("HKEY_CURRENT_USER\\Software\\Orvan\\Settings\\MainFrame", "Geometry",
                                                  window.saveGeometry().toStdString()));
        }

        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        const std::string log = install.user("Logs/Orvan.log");
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos, 60000);
        std::string missing;
        QVERIFY2(inOrder(read(log),
                         {"Adding a UI event handler: My Channels.", "Adding a UI event handler: App Plugins.",
                          "Adding a UI event handler: Read-me list.",
                          "Applying the global options: script timeout 15, script file associations",
                          "Starting the local port listeners.", "Loading the My Channels window.",
                          "- Channels listed: 2", "Loading the Plugins window.", "Loading the read-me list."},
                         &missing),
                 missing.c_str());

        // The browser context-menu entries point at pages for this server.
        const std::string menuKey =
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\Add to Orvan read-me";
        const std::optional<std::string> page = platform::registry::getString(menuKey, "");
        QVERIFY(page.has_value());
        QVERIFY2(read(*page).find("http://127.0.0.1:" + std::to_string(install.appServerPort) + "/readme") !=
                     std::string::npos,
                 read(*page).c_str());

        const std::string answer = httpGet(install.appServerPort, "/readme?url=http%3A%2F%2Fexample.com%2Flater");
        QVERIFY2(answer.rfind("HTTP/1.1 204", 0) == 0, answer.c_str());
        const std::string config = install.user("config.ini");
        QTRY_VERIFY_WITH_TIMEOUT(read(config).find("ItemUrl-1=http://example.com/later") != std::string::npos, 30000);
        QVERIFY(read(config).find("ItemUrl-0=http://example.com/saved") != std::string::npos);
        // Anything else on the application server is refused.
        QVERIFY(httpGet(install.appServerPort, "/other?url=http://example.com/").rfind("HTTP/1.1 4", 0) == 0);

        QTRY_VERIFY_WITH_TIMEOUT(read(install.user("hook-ran.txt")) == "ran\n", 30000);

        const std::string report = install.user("Reports/everything.html");
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(report), 30000);
        QCOMPARE(read(report), std::string("<li><li>"));
        QTRY_VERIFY_WITH_TIMEOUT(read(config).find("LastUpdateTime=0") == std::string::npos, 10000);

        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        // The listener, the context-menu entries and their pages are gone
        // with the program.
        QVERIFY(!platform::registry::keyExists(menuKey));
        QVERIFY(!fs::exists(*page));
        QCOMPARE(httpGet(install.appServerPort, "/readme?url=http://example.com/"), std::string());
        const std::optional<platform::registry::Value> saved =
            platform::registry::getValue("HKEY_CURRENT_USER\\Software\\Orvan\\Settings\\MainFrame", "Geometry");
        qunsetenv("ORVAN_REGISTRY_FILE");
        // A channel file without desktop settings took them from the
        // new-channel template in config.ini.
        QVERIFY(read(install.user("Channels/a.rss")).find("NotifyOnNewItem=1") != std::string::npos);
        QVERIFY(saved.has_value());
        QMainWindow restored;
        QVERIFY(restored.restoreGeometry(QByteArray::fromStdString(saved->data)));
        QCOMPARE(restored.geometry(), placed);
    }

    // The stored options are in effect from the start: the channel manager
    // downloads through the user's proxy with the stored proxy credential
    // (a proxy that wants it answers 407 without), and the plug-in server
    // listens on the stored port.
    void startupPutsTheOptionsIntoEffect() {
        testsupport::HttpServer server;
        testsupport::HttpAnswer feed = testsupport::HttpAnswer::text(rss("Proxied", {"through-the-proxy"}));
        feed.proxyAuth = std::make_pair("proxy-user", "proxy-secret");
        server.route("/proxied.xml", feed);
        Installation install(server);
        install.makeUser();
        tools::HttpBasicAuth("proxy-user", "proxy-secret")
            .save(install.user("config.ini"), "Global Options", "ProxyAuth");
        const int pluginPort = testsupport::freeLoopbackPort();
        tools::writeIniInt(install.user("config.ini"), "Global Options", "AppPluginServerPortNo", pluginPort);
        // Not a loopback address: the download goes through the proxy.
        install.addChannel("proxied.rss", "http://feeds.example.test/proxied.xml");
        install.environment = {
            {"http_proxy", QString::fromStdString(server.baseUrl())}, {"no_proxy", ""}, {"NO_PROXY", ""}};

        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        const std::string activity = install.user("Logs/OrvanActivity.log");
        QTRY_VERIFY_WITH_TIMEOUT(read(activity).find("Updated channel Proxied OK.") != std::string::npos, 60000);
        QVERIFY(read(install.user("Channels/proxied.rss")).find("through-the-proxy") != std::string::npos);
        QVERIFY(!server.requests("/proxied.xml").empty());
        QVERIFY2(httpGet(pluginPort, "/no-such-plugin/page").rfind("HTTP/1.1 ", 0) == 0,
                 "nothing listens on the stored plug-in port");

        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
    }

    // A second start hands over to the running copy and ends at once with
    // status 0; the running copy's log is left alone.
    void secondStartHandsOver() {
        testsupport::HttpServer server;
        Installation install(server);
        install.makeUser();
        std::unique_ptr<QProcess> first(install.start());
        QVERIFY(first->waitForStarted(10000));
        const std::string log = install.user("Logs/Orvan.log");
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos, 60000);
        const std::string buildInfo = read(install.data("orvan/global.ini"));

        std::unique_ptr<QProcess> second(install.start());
        QVERIFY2(finishedOk(*second, 30000), output(*second).c_str());
        QTRY_VERIFY_WITH_TIMEOUT(read(log).find("Command from another start: 32844") != std::string::npos, 10000);
        QVERIFY(read(log).find("--- INIT 1 ---") != std::string::npos);
        QCOMPARE(read(install.data("orvan/global.ini")), buildInfo);
        QCOMPARE(first->state(), QProcess::Running);

        ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
        QVERIFY2(finishedOk(*first, 60000), output(*first).c_str());
    }

    // A hook library asks the main window to save its channel (WM_APP+100),
    // to update it (WM_APP+102) and to open an item (WM_APP+103) from its
    // event, while the worker waits
    // in the hook's relay; both requests are served and the program still
    // ends cleanly.
    void hookLibraryRequestsAreServed() {
        const std::string library = std::string(ORVAN_TEST_BINARY_DIR) + "/bin/hooktest_good.dll";
        for (const std::string mode : {"save", "update", "open"}) {
            testsupport::HttpServer server;
            server.route("/feed.xml", testsupport::HttpAnswer::text(rss("Hooked", {"h-one"})));
            server.route("/page.html", testsupport::HttpAnswer::text("<html><body>the item</body></html>"));
            Installation install(server);
            install.makeUser();
            testsupport::writeFile(install.user("test.hook"),
                                   "[Config]\nScriptFilename=" + library +
                                       "\n[Events]\nEndChannelUpdate=1\n[ChannelHookParameterDefinition-1]\n"
                                       "Name=Mode\nType=string\nDefaultValue=" +
                                       mode +
                                       "\n[ChannelHookParameterDefinition-2]\nName=OpenItemId\nType=string\n"
                                       "DefaultValue=h-one\n[ChannelHookParameterDefinition-3]\nName=OpenItemUrl\n"
                                       "Type=string\nDefaultValue=" +
                                       server.url("/page.html") + "\n");
            install.addChannel("hooked.rss", server.url("/feed.xml"),
                               "[Channel Hooks]\nChannelHook1=" + install.user("test.hook") + "\n");
            std::unique_ptr<QProcess> process(install.start());
            QVERIFY(process->waitForStarted(10000));
            const std::string log = install.user("Logs/Orvan.log");
            std::string missing;
            if (mode == "save") {
                QTRY_VERIFY_WITH_TIMEOUT(inOrder(read(log),
                                                 {"CHANNEL HOOK CALLBACK: SaveChannelHookSettings", "Saving channel.",
                                                  "Event processed OK."},
                                                 &missing),
                                         60000);
                // The hook's private setting went into the channel file.
                QTRY_VERIFY_WITH_TIMEOUT(
                    read(install.user("Channels/hooked.rss")).find("LastCall") != std::string::npos, 10000);
            } else if (mode == "open") {
                // The item opens in its channel's window, whose view loads it.
                QTRY_VERIFY_WITH_TIMEOUT(inOrder(read(log),
                                                 {"CHANNEL HOOK CALLBACK: OpenFeedItem",
                                                  "Opening the specified feed item.", "Event processed OK."},
                                                 &missing),
                                         60000);
                QTRY_VERIFY_WITH_TIMEOUT(!server.requests("/page.html").empty(), 60000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(inOrder(read(log),
                                                 {"CHANNEL HOOK CALLBACK: UpdateChannel", "Requesting channel update.",
                                                  "Event processed OK."},
                                                 &missing),
                                         60000);
                // The requested update is served: the feed is fetched again.
                QTRY_VERIFY_WITH_TIMEOUT(server.requests("/feed.xml").size() >= 2, 60000);
            }
            ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
            QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        }
    }

    // The program directory may be read-only (an installed program): orvan
    // runs from it, its plug-ins run, and nothing there changes; what it
    // writes goes to the user's folders. It still ends with status 0.
    void runsFromAReadOnlyProgramDirectory() {
        testsupport::HttpServer server;
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one"})));
        Installation install(server);
        install.makeUser();
        install.addChannel("a.rss", server.url("/a.xml"));
        const fs::path prog = install.dir.path() / "prog";
        QVERIFY(fs::exists(prog / "appPlugins" / "siteseek" / "siteseek.so"));
        setWritable(prog, false);
        struct Restore {
            fs::path folder;
            ~Restore() { setWritable(folder, true); }
        } restore{prog};
        const auto before = snapshot(prog);

        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        const std::string log = install.user("Logs/Orvan.log");
        QTRY_VERIFY2_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos,
                                  output(*process).c_str(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(read(install.user("Channels/a.rss")).find("alpha-one") != std::string::npos, 60000);
        // The library plug-in's log is in the user's Logs folder.
        QVERIFY(fs::exists(install.user("Logs/Siteseek.log")));
        QVERIFY(read(install.data("orvan/global.ini")).find("[BuildInfo]") != std::string::npos);
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), tail(output(*process) + read(log)).c_str());

        const auto after = snapshot(prog);
        for (const auto& [name, state] : after) {
            const auto old = before.find(name);
            QVERIFY2(old != before.end(), ("written in the program directory: " + name).c_str());
            QVERIFY2(old->second == state, ("changed in the program directory: " + name).c_str());
        }
        QCOMPARE(after.size(), before.size());
    }

    // A user's folder that an earlier orvan kept in the program directory
    // moves to the data directory at the next start (logged), with its
    // channels; later starts leave it there. A user name in debug.ini that
    // is no plain folder name is refused: orvan logs it and uses the
    // logged-on user's folder.
    void userFoldersAreFoundWhereTheyBelong() {
        testsupport::HttpServer server;
        server.route("/a.xml", testsupport::HttpAnswer::text(rss("Alpha", {"alpha-one"})));
        Installation install(server);
        install.makeUser();
        install.addChannel("a.rss", server.url("/a.xml"));
        const std::string old = install.prog("Users/tester");
        fs::create_directories(install.prog("Users"));
        fs::rename(install.data("orvan/Users/tester"), old);

        const std::string log = install.user("Logs/Orvan.log");
        for (int run = 0; run < 2; ++run) {
            fs::remove(log);
            std::unique_ptr<QProcess> process(install.start());
            QVERIFY(process->waitForStarted(10000));
            QTRY_VERIFY2_WITH_TIMEOUT(read(log).find("Initialization completed OK") != std::string::npos,
                                      output(*process).c_str(), 60000);
            const bool moved = read(log).find("Moved the user's folder " + old + " to " +
                                              install.data("orvan/Users/tester") + ".") != std::string::npos;
            QCOMPARE(moved, run == 0);
            QVERIFY(!fs::exists(old));
            QCOMPARE(read(log).find("This is a new user"), std::string::npos);
            QTRY_VERIFY_WITH_TIMEOUT(read(install.user("Channels/a.rss")).find("alpha-one") != std::string::npos,
                                     60000);
            ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
            QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        }

        testsupport::writeFile(install.prog("debug.ini"), "[Debug]\nUserName=../escaped\n");
        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        // The refusal is in the log of the user whose folder is used
        // instead: not tester's, and not one outside Users.
        const auto refused = [&] {
            for (const auto& entry : fs::directory_iterator(install.data("orvan/Users"))) {
                if (entry.path().filename() != "tester" &&
                    read((entry.path() / "Logs" / "Orvan.log").string()).find("Refused the user name \"../escaped\"") !=
                        std::string::npos)
                    return true;
            }
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(refused(), output(*process).c_str(), 60000);
        QVERIFY(!fs::exists(install.data("orvan/escaped")));
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
    }

    // A requested update (here a hook library's, as "Update now" makes
    // one) opens the channel's window, which counts as looking at the
    // channel: the new content of its first update is no longer new, and
    // the channel file says so.
    void requestedUpdateOpensTheChannelWindow() {
        const std::string library = std::string(ORVAN_TEST_BINARY_DIR) + "/bin/hooktest_good.dll";
        testsupport::HttpServer server;
        server.route("/story/1", testsupport::HttpAnswer::text("<html><body>first story</body></html>"));
        server.route("/feed.xml",
                     testsupport::HttpAnswer::text(
                         "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Stories</title><link>" +
                         server.url("/") + "</link><description>d</description><item><title>First</title><link>" +
                         server.url("/story/1") + "</link><guid>s1</guid></item></channel></rss>"));
        Installation install(server);
        install.makeUser();
        testsupport::writeFile(install.user("update.hook"),
                               "[Config]\nScriptFilename=" + library +
                                   "\n[Events]\nEndChannelUpdate=1\n[ChannelHookParameterDefinition-1]\n"
                                   "Name=Mode\nType=string\nDefaultValue=update\n");
        install.addChannel("stories.rss", server.url("/feed.xml"),
                           "[Channel Hooks]\nChannelHook1=" + install.user("update.hook") + "\n");
        const std::string channel = install.user("Channels/stories.rss");
        const auto value = [&](const std::string& key) {
            const std::string text = read(channel);
            const std::size_t at = text.find("\n" + key + "=");
            return at == std::string::npos ? -1L : std::stol(text.substr(at + key.size() + 2));
        };
        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        // The start-up update, then the requested one.
        QTRY_VERIFY_WITH_TIMEOUT(server.requests("/feed.xml").size() >= 2, 60000);
        QTRY_VERIFY2_WITH_TIMEOUT(value("LastViewTime") > 0, read(install.user("Logs/Orvan.log")).c_str(), 60000);
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        QVERIFY(value("LastNewItemTime") > 0);
        QVERIFY2(value("LastViewTime") >= value("LastNewItemTime"), read(channel).c_str());
        QVERIFY(read(install.user("Logs/Orvan.log")).find("[ChannelViewActivated: Stories]") != std::string::npos);
    }

    // A new user's first start makes the user's directory, copies the
    // starting files and subscribes the program's news feed.
    void newUserGetsDirectoryAndFirstChannel() {
        testsupport::HttpServer server;
        server.route("/news.rss", testsupport::HttpAnswer::text(rss("Orvan News", {"welcome"})));
        Installation install(server);
        // Temporary files that a killed run left (a hook's request file may
        // hold a password) are removed at the start; those of a live process
        // and other names stay.
        QProcess ended;
        ended.start("/bin/true", {});
        QVERIFY(ended.waitForFinished(10000));
        const std::string tmp = (install.dir.path() / "tmp").string();
        const std::string deadPid = std::to_string(ended.processId() > 0 ? ended.processId() : 999999);
        const std::string livePid = std::to_string(::getpid());
        const std::vector<std::string> stale = {"orvan" + deadPid + "_3", "orvan" + deadPid + "_4.log"};
        const std::vector<std::string> kept = {"orvan" + livePid + "_5", "orvan-notes.txt", "orvan" + deadPid + "x"};
        for (const std::string& name : stale)
            testsupport::writeFile(tmp + "/" + name, "[Config]\nMail Server Password=x\n");
        for (const std::string& name : kept) testsupport::writeFile(tmp + "/" + name, "kept");
        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        const std::string channel = install.user("Channels/OrvanNews.rss");
        QTRY_VERIFY2_WITH_TIMEOUT(fs::exists(install.user("Logs/Orvan.log")), output(*process).c_str(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!server.requests("/news.rss").empty(), 60000);
        for (const char* name : kStartingFiles) QVERIFY2(fs::exists(install.user(name)), name);
        QVERIFY(fs::is_directory(install.user("Reports")));
        for (const std::string& name : stale) QVERIFY2(!fs::exists(tmp + "/" + name), name.c_str());
        for (const std::string& name : kept) QVERIFY2(fs::exists(tmp + "/" + name), name.c_str());
        // The welcome page is a web page: as root the program turns Qt
        // WebEngine's sandbox off by itself (the test's environment does not)
        // and says so once.
        const std::string log = install.user("Logs/Orvan.log");
        const std::string rootLine = "Running as root: Qt WebEngine runs without its sandbox.";
        const std::size_t first = read(log).find(rootLine);
        QCOMPARE(first != std::string::npos, ::geteuid() == 0);
        if (first != std::string::npos) QCOMPARE(read(log).find(rootLine, first + 1), std::string::npos);
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        const std::vector<std::string> channels = [&] {
            std::vector<std::string> names;
            for (const auto& entry : fs::directory_iterator(install.user("Channels"))) {
                names.push_back(entry.path().filename().string());
            }
            return names;
        }();
        QCOMPARE(channels, std::vector<std::string>{"OrvanNews.rss"});
        QVERIFY(read(channel).find("RssChannelUrl=" + server.url("/news.rss")) != std::string::npos ||
                read(channel).find("127.0.0.1") != std::string::npos);
        struct stat configStat {};
        QCOMPARE(::stat(install.user("config.ini").c_str(), &configStat), 0);
        QCOMPARE(int(configStat.st_mode & 0777), 0600);
    }

    // The news channel has a readable name before its feed ever arrives:
    // a feed that cannot be fetched leaves the name in place.
    void newUsersChannelIsNamedBeforeItsFirstFetch() {
        testsupport::HttpServer server;
        server.route("/news.rss", testsupport::HttpAnswer::text("gone", 404));
        Installation install(server);
        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        const std::string channel = install.user("Channels/OrvanNews.rss");
        QTRY_VERIFY2_WITH_TIMEOUT(!server.requests("/news.rss").empty(), output(*process).c_str(), 60000);
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
        QVERIFY2(read(channel).find("ChannelDisplayName=Orvan News") != std::string::npos, read(channel).c_str());
    }

    // A starting file that can't be copied is named in the log (and to the
    // user); the others are copied and start-up goes on.
    void newUserIsToldOfAStartingFileThatIsMissing() {
        testsupport::HttpServer server;
        server.route("/news.rss", testsupport::HttpAnswer::text(rss("Orvan News", {"welcome"})));
        Installation install(server);
        fs::remove(install.prog("Resources/MetaChannel.template"));
        std::unique_ptr<QProcess> process(install.start());
        QVERIFY(process->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!server.requests("/news.rss").empty(), 60000);
        const std::string log = read(install.user("Logs/Orvan.log"));
        const std::size_t at = log.find("ERROR: Can't copy ");
        QVERIFY2(at != std::string::npos, log.c_str());
        const std::string line = log.substr(at, log.find('\n', at) - at);
        QVERIFY2(line.find("/Resources/MetaChannel.template to ") != std::string::npos &&
                     line.find("/Users/tester/MetaChannel.template: ") != std::string::npos,
                 line.c_str());
        QVERIFY2(log.find("ERROR: Can't copy", at + 1) == std::string::npos, log.c_str());
        for (const char* name : kStartingFiles) {
            QCOMPARE(fs::exists(install.user(name)), std::string(name) != "MetaChannel.template");
        }
        ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
        QVERIFY2(finishedOk(*process, 60000), output(*process).c_str());
    }
};

QTEST_MAIN(ProgramTest)
#include "program_qtest.moc"
