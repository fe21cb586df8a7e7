// The library's C interface: get_app_plugin_info and the six entry points it
// hands out. No exception leaves an entry point: every failure becomes a
// return code with its text in the host's error buffer.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <new>
#include <string>

#include "appPlugins/siteseek/siteseek.h"
#include "channels/appPlugins/appPluginInterface.h"
#include "lib/log/messageLog.h"
#include "lib/log/messageLogInit.h"
#include "lib/misc/threadSafety.h"
#include "platform/files.h"

namespace {

siteseek::Siteseek g_plugin;
std::mutex g_loadLock;
// The library's log, opened (emptied) by the first load and kept open while
// the library stays loaded. The library installs a log object of its own
// (the support library's default log is built to outlive a program, not a
// library that is released), declared after its file so that it goes first.
std::ofstream g_logFile;
SharedExclusiveLock g_logLock;
CMessageLog g_log(g_logFile);

void copyError(char* errorBuf, const std::string& text) {
    if (!errorBuf) return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(APP_PLUGIN_ERROR_BUFFER_SIZE - 1));
    std::memcpy(errorBuf, text.data(), n);
    errorBuf[n] = '\0';
}

// The log goes to the Logs folder of the user whom the host serves (the
// plug-in's own folder may be read-only); a host that names no user gets it
// beside the definition.
std::string logFileName(const std::string& definitionFolder) {
    const std::string userDir = platform::files::userDirectory();
    return (userDir.empty() ? definitionFolder : userDir + "/Logs/") + "Siteseek.log";
}

void* pluginMalloc(int size) { return size < 0 ? nullptr : std::malloc(static_cast<std::size_t>(size)); }

void pluginFree(void* block) { std::free(block); }

// Hands a page out as a block of its exact bytes.
int handOut(const std::string& page, char** data, int* length) {
    if (page.size() > static_cast<std::size_t>(INT32_MAX)) return siteseek::kNoMemory;
    char* block = static_cast<char*>(pluginMalloc(static_cast<int>(std::max<std::size_t>(page.size(), 1))));
    if (!block) return siteseek::kNoMemory;
    if (!page.empty()) std::memcpy(block, page.data(), page.size());
    *data = block;
    *length = static_cast<int>(page.size());
    return siteseek::kSuccess;
}

// Runs one entry point's work and turns whatever it throws into a code.
template <class Work>
int guarded(char* errorBuf, int failureCode, Work work) {
    try {
        return work();
    } catch (const siteseek::PluginError& e) {
        copyError(errorBuf, e.what());
        return e.code();
    } catch (const std::bad_alloc&) {
        return siteseek::kNoMemory;
    } catch (const std::exception& e) {
        copyError(errorBuf, e.what());
        return failureCode;
    } catch (...) {
        copyError(errorBuf, "Unexpected error.");
        return failureCode;
    }
}

int loadAppPlugin(const char* pluginConfigFile, char* errorBuf) {
    return guarded(errorBuf, siteseek::kNoInternetSession, [&] {
        std::lock_guard<std::mutex> lock(g_loadLock);
        const std::string definition = pluginConfigFile ? pluginConfigFile : "";
        const std::string folder = definition.substr(0, definition.find_last_of("/\\") + 1);
        if (!g_logFile.is_open()) g_logFile.open(logFileName(folder), std::ios::out | std::ios::trunc);
        g_log.setThreadSafetyLock(&g_logLock);
        initMessageLog(g_log, g_logFile, folder + "Siteseek.debug");
        setMessageLog(&g_log);
        g_plugin.load(definition);
        return siteseek::kSuccess;
    });
}

int unloadAppPlugin(char* errorBuf) {
    return guarded(errorBuf, siteseek::kSuccess, [] {
        std::lock_guard<std::mutex> lock(g_loadLock);
        g_plugin.unload();
        return siteseek::kSuccess;
    });
}

int generateMainPage(char** data, int* length, char* errorBuf) {
    return guarded(errorBuf, siteseek::kNoMainPageTemplate,
                   [&] { return handOut(g_plugin.generateMainPage(), data, length); });
}

int processRequest(const char* request, const char* paramString, char** data, int* length, char* errorBuf) {
    return guarded(errorBuf, siteseek::kRequestFailed, [&] {
        return handOut(g_plugin.processRequest(request ? request : "", paramString ? paramString : ""), data, length);
    });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void get_app_plugin_info(AppPluginInfo* info) {
    info->version = 1;
    info->load_app_plugin = &loadAppPlugin;
    info->unload_app_plugin = &unloadAppPlugin;
    info->plugin_malloc = &pluginMalloc;
    info->plugin_free = &pluginFree;
    info->generate_main_page = &generateMainPage;
    info->process_request = &processRequest;
}
