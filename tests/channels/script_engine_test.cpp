#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/support/test_support.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/registry.h"
#include "tools/tempFile.h"

using namespace channels;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

void makeExecutable(const std::string& path) { ::chmod(path.c_str(), 0755); }

// True when the process is gone or only a zombie waiting to be reaped.
bool processEnded(pid_t pid) {
    if (::kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

class ScriptEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("ORVAN_REGISTRY_FILE", dir_.file("registry.ini").c_str(), 1);
        setFileTypeCommands({{".sh", "/bin/sh %1 %*"}, {".py", "python3 %1 %*"}, {".class", "java %1 %*"}});
        getScriptingEngine().setScriptTimeout(15);
        getScriptingEngine().setMaxScriptOutputSize(ScriptingEngine::kDefaultMaxScriptOutputSize);
    }
    void TearDown() override {
        ::unsetenv("ORVAN_REGISTRY_FILE");
        setFileTypeCommands({});
        getScriptingEngine().setScriptTimeout(15);
        getScriptingEngine().setMaxScriptOutputSize(ScriptingEngine::kDefaultMaxScriptOutputSize);
    }

    static CommandLine shell(const std::string& script) { return CommandLine{{"/bin/sh", "-c", script}}; }

    testsupport::TempDir dir_;
};

TEST_F(ScriptEngineTest, CommandLinesFromTemplates) {
    struct Case {
        const char* extension;
        const char* commandTemplate;
        std::vector<std::string> expected;  // S = script, R = request file
    };
    const Case cases[] = {
        {".py", "python3 %1 %*", {"python3", "S", "R"}},
        {".pl", "perl -w", {"perl", "-w", "S", "R"}},  // no %1: script and request appended
        {".rb", "ruby %* %1 %*", {"ruby", "R", "S"}},  // only the first %* becomes %2
        {".tcl", "\"/opt/my tools/tclsh\" \"%1\" %2", {"/opt/my tools/tclsh", "S", "R"}},
        {".awk", "awk -f%1 --req=%2 100%%", {"awk", "-fS", "--req=R", "100%"}},
        {".class", "java %1 %*", {"java", "-cp", "/plug ins/", "Feed", "R"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        setFileTypeCommands({{c.extension, c.commandTemplate}});
        const std::string script = std::string("/plug ins/Feed") + c.extension;
        const std::string request = "/tmp/req file";
        std::vector<std::string> expected;
        for (const std::string& word : c.expected)
            expected.push_back(word == "S"         ? script
                               : word == "R"       ? request
                               : word == "-fS"     ? "-f" + script
                               : word == "--req=R" ? "--req=" + request
                                                   : word);
        EXPECT_EQ(buildRunCommandLine(script, request).args, expected);
    }
}

TEST_F(ScriptEngineTest, CommandLineFallbacks) {
    // An extension is matched exactly; a file with its execute bit runs directly.
    const std::string upper = dir_.file("Feed.SH");
    writeFile(upper, "#!/bin/sh\necho hi\n");
    EXPECT_THROW(
        try { buildRunCommandLine(upper, "req"); } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "No application is registered for this file type: .SH");
            throw;
        },
        Exception);
    makeExecutable(upper);
    EXPECT_EQ(buildRunCommandLine(upper, "req").args, (std::vector<std::string>{upper, "req"}));

    // Associations stored in the key store.
    tools::CRegistry& reg = tools::getRegistry();
    std::unique_ptr<tools::CRegistryKey> key;
    ASSERT_TRUE(reg.openKey(key, "HKEY_CLASSES_ROOT\\.xyz", 0, true));
    ASSERT_TRUE(key->setString(nullptr, "xyzfile", false));
    const std::string xyz = dir_.file("a.xyz");
    writeFile(xyz, "data");
    EXPECT_THROW(
        try { buildRunCommandLine(xyz, "req"); } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "This file type has no 'shell/open' command specified: .xyz");
            throw;
        },
        Exception);
    ASSERT_TRUE(reg.openKey(key, "HKEY_LOCAL_MACHINE\\Software\\CLASSES\\xyzfile\\shell\\open\\command", 0, true));
    ASSERT_TRUE(key->setString(nullptr, "xyzrun --in \"%1\" %*", false));
    EXPECT_EQ(buildRunCommandLine(xyz, "req").args, (std::vector<std::string>{"xyzrun", "--in", xyz, "req"}));
}

TEST_F(ScriptEngineTest, RunScriptExitCodesOutputAndDirectory) {
    struct Case {
        const char* script;
        int rc;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"echo out; echo err >&2; exit 0", 0, "out\n", "err\n"},
        {"printf x; exit 3", 3, "x", ""},
        {"exit 200", 200, "", ""},
        {"exit 255", -1, "", ""},  // exit(-1) as the plug-in interface has it
        {"kill -9 $$", -1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        tools::TempFile out, err;
        EXPECT_EQ(getScriptingEngine().runScript(shell(c.script), "", out, err), c.rc);
        EXPECT_EQ(readFile(out.getFilename()), c.out);
        EXPECT_EQ(readFile(err.getFilename()), c.err);
    }

    // Python's sys.exit(-1) too.
    tools::TempFile out, err;
    EXPECT_EQ(getScriptingEngine().runScript(CommandLine{{"python3", "-c", "import sys; sys.exit(-1)"}}, "", out, err),
              -1);

    // Working directory; stale contents of the output files are replaced.
    std::ofstream(out.getFilename()) << "stale stale stale";
    EXPECT_EQ(getScriptingEngine().runScript(shell("pwd"), dir_.str(), out, err), 0);
    EXPECT_EQ(readFile(out.getFilename()), std::filesystem::canonical(dir_.path()).string() + "\n");

    try {
        getScriptingEngine().runScript(CommandLine{{dir_.file("no such program")}}, "", out, err);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), StartsWith("Can't run the script: "));
        EXPECT_GT(std::string(e.what()).size(), std::string("Can't run the script: ").size());
    }
}

TEST_F(ScriptEngineTest, PathsWithBlanksAndQuotesReachTheScriptUnchanged) {
    const std::string folder = dir_.file("it's a \"plug-in\" dir");
    std::filesystem::create_directories(folder);
    const std::string script = folder + "/my feed; rm -rf $HOME.sh";
    writeFile(script, "printf '%s|%s|%s' \"$#\" \"$0\" \"$1\"\n");
    const std::string request = folder + "/request $(touch pwned) file";
    writeFile(request, "");

    CommandLine cmd = buildRunCommandLine(script, request);
    tools::TempFile out, err;
    ASSERT_EQ(getScriptingEngine().runScript(cmd, folder, out, err), 0) << readFile(err.getFilename());
    EXPECT_EQ(readFile(out.getFilename()), "1|" + script + "|" + request);
    EXPECT_FALSE(std::filesystem::exists(folder + "/pwned"));
    const std::string quotedFolder = dir_.file("it's a \\\"plug-in\\\" dir");
    EXPECT_EQ(cmd.toString(), "/bin/sh \"" + quotedFolder + "/my feed; rm -rf $HOME.sh\" \"" + quotedFolder +
                                  "/request $(touch pwned) file\"");
}

TEST_F(ScriptEngineTest, RelativeScriptPathsRunInTheScriptsFolder) {
    // Programs start in the script's folder; a script named relative to the
    // current folder must still be found from there.
    const std::string folder = dir_.file("rel");
    std::filesystem::create_directories(folder);
    writeFile(folder + "/feed.sh", "printf 'sh:%s' \"$1\"\n");
    writeFile(folder + "/tool", "#!/bin/sh\nprintf 'direct:%s' \"$1\"\n");
    makeExecutable(folder + "/tool");
    const std::string request = dir_.file("request");
    writeFile(request, "");

    struct CurrentFolder {
        std::filesystem::path previous = std::filesystem::current_path();
        explicit CurrentFolder(const std::filesystem::path& to) { std::filesystem::current_path(to); }
        ~CurrentFolder() { std::filesystem::current_path(previous); }
    } inTempDir(dir_.path());

    struct Case {
        const char* script;
        std::string output;
    };
    const Case cases[] = {
        {"rel/feed.sh", "sh:" + request},   // through the file-type table
        {"rel/tool", "direct:" + request},  // execute bit
        {"./rel/tool", "direct:" + request},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const CommandLine cmd = buildRunCommandLine(c.script, request);
        tools::TempFile out, err;
        EXPECT_EQ(getScriptingEngine().runScript(cmd, tools::getDirectoryOf(c.script), out, err), 0)
            << readFile(err.getFilename());
        EXPECT_EQ(readFile(out.getFilename()), c.output);
    }
}

TEST_F(ScriptEngineTest, TimeOutKillsTheScriptAndItsChildren) {
    getScriptingEngine().setScriptTimeout(1);
    const std::string pidFile = dir_.file("child.pid");
    tools::TempFile out, err;
    try {
        getScriptingEngine().runScript(shell("sleep 60 & echo $! > '" + pidFile + "'; echo started; wait"), "", out,
                                       err);
        FAIL() << "no time-out";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "The script timed out.");
    }
    EXPECT_EQ(readFile(out.getFilename()), "started\n");  // what was written survives
    const pid_t child = std::stoi(readFile(pidFile));
    bool ended = false;
    for (int i = 0; i < 200 && !(ended = processEnded(child)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(ended) << "background child " << child << " survived";
}

TEST_F(ScriptEngineTest, FloodingOutputIsStopped) {
    getScriptingEngine().setMaxScriptOutputSize(1 << 20);
    const char* floods[] = {"yes flood", "yes flood >&2", "yes flood & yes more; wait"};
    for (const char* flood : floods) {
        SCOPED_TRACE(flood);
        tools::TempFile out, err;
        try {
            getScriptingEngine().runScript(shell(flood), "", out, err);
            FAIL() << "no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "The script's output exceeds the limit of 1048576 bytes.");
        }
    }
    // Output just under the limit is fine.
    tools::TempFile out, err;
    EXPECT_EQ(getScriptingEngine().runScript(shell("head -c 1048576 /dev/zero"), "", out, err), 0);
}

TEST_F(ScriptEngineTest, PageRuleAndErrorPages) {
    struct Case {
        const char* script;
        int rc;
        std::string page;  // "" = output untouched
    };
    const Case cases[] = {
        {"printf '<rss/>'", 0, ""},
        {"printf '<rss/>'; printf x >&2", -1,
         "<HTML><BODY>\n<P>The script caused an error:\n<PRE style='margin-left:30px'>\nx\n</PRE>\n</BODY></HTML>\n"},
        {"exit 0", -1, "<HTML><BODY>\n<P>The script failed: rc=0\n</BODY></HTML>\n"},
        {"printf '<rss/>'; exit 255", -1, "<HTML><BODY>\n<P>The script failed: rc=-1\n</BODY></HTML>\n"},
        {"echo \"<script>alert('x')</script> & \\\"more\\\"\" >&2; exit 1", -1,
         "<HTML><BODY>\n<P>The script caused an error:\n<PRE style='margin-left:30px'>\n"
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;more&quot;\n\n</PRE>\n</BODY></HTML>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        tools::TempFile out;
        EXPECT_EQ(getScriptingEngine().runScriptForPage(shell(c.script), "", out), c.rc);
        EXPECT_EQ(readFile(out.getFilename()), c.page.empty() ? "<rss/>" : c.page);
    }
}

TEST(ScriptEngineSettings, StandardParamsAndHookMessages) {
    ScriptingEngine& engine = getScriptingEngine();
    engine.setStandardParam("AppName", "orvan");
    engine.setStandardParam("AppName", "orvan2");
    engine.setStandardParam("UserName", "me");
    auto params = engine.getStandardParams();
    EXPECT_EQ(params["AppName"], "orvan2");
    EXPECT_EQ(params["UserName"], "me");

    EXPECT_EQ(getDllChannelHookEventMessage(), -1);
    setDllChannelHookMessages(0x1234, 0xC001, 0xC002);
    EXPECT_EQ(getDllChannelHookWindow(), 0x1234u);
    EXPECT_EQ(getDllChannelHookEventMessage(), 0xC001);
    EXPECT_EQ(getDllChannelHookCommandMessage(), 0xC002);
}

}  // namespace

namespace {

// The program-wide association map as shipped, read the way start-up reads it.
TEST_F(ScriptEngineTest, ShippedAssociationsRunScripts) {
    const std::string globalIni = testsupport::sourceDir() + "/../resources/global.ini";
    FileTypeCommandMap commands{{".class", "java %1 %*"}};
    for (const std::string& key : tools::getIniKeyNames(globalIni, "Scripting File Associations")) {
        std::string extension = key;
        if (extension.empty()) continue;
        if (extension[0] != '.') {
            if (!std::isalnum(static_cast<unsigned char>(extension[0]))) continue;
            extension = "." + extension;
        }
        commands[extension] = tools::getIniString(globalIni, "Scripting File Associations", key, "", true);
    }
    ASSERT_EQ(commands.count(".sh"), 1u);
    ASSERT_EQ(commands.count(".py"), 1u);
    setFileTypeCommands(commands);

    struct Case {
        const char* name;
        const char* text;
        const char* needs;  // program that must exist, or ""
    };
    const Case cases[] = {
        {"feed.sh", "printf '%s' \"$1\"\n", ""},
        {"feed.py", "import sys\nsys.stdout.write(sys.argv[1])\n", ""},
        {"feed.pl", "print $ARGV[0];\n", "/usr/bin/perl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.needs && !std::filesystem::exists(c.needs)) continue;
        const std::string script = dir_.file(std::string("my scripts/") + c.name);
        writeFile(script, c.text);
        tools::TempFile out, err;
        const std::string request = dir_.file("request file");
        ASSERT_EQ(getScriptingEngine().runScript(buildRunCommandLine(script, request), "", out, err), 0)
            << readFile(err.getFilename());
        EXPECT_EQ(readFile(out.getFilename()), request);
    }
}

}  // namespace
