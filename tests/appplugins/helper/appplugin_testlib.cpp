// A small application plug-in library for the tests. Its behaviour is steered
// by the definition file (key TestLoadError fails load_app_plugin with that
// message) and by appplugin_test_set_main_mode; it counts its calls.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "channels/appPlugins/appPluginInterface.h"

namespace {

int g_loads = 0;
int g_unloads = 0;
int g_frees = 0;
int g_nullFrees = 0;
int g_mainMode = 0;

int fail(char* errorBuf, const char* message, int code) {
    std::strncpy(errorBuf, message, APP_PLUGIN_ERROR_BUFFER_SIZE - 1);
    return code;
}

void put(const std::string& text, char** data, int* length) {
    *data = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(*data, text.data(), text.size());
    *length = static_cast<int>(text.size());
}

int loadAppPlugin(const char* configFile, char* errorBuf) {
    ++g_loads;
    std::ifstream in(configFile);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("TestLoadError=", 0) == 0) return fail(errorBuf, line.c_str() + 14, 4);
    }
    // Minimum update intervals of three feeds, for the host that asks.
    const unsigned char words[12] = {0x08, 0x07, 0, 0, 0x58, 0x02, 0, 0, 0x20, 0x1c, 0, 0};  // 1800, 600, 7200
    std::memcpy(errorBuf, words, sizeof words);
    return 0;
}

int unloadAppPlugin(char*) {
    ++g_unloads;
    return 0;
}

void* pluginMalloc(int size) { return std::malloc(static_cast<std::size_t>(size)); }

void pluginFree(void* block) {
    ++g_frees;
    if (!block) ++g_nullFrees;
    std::free(block);
}

int generateMainPage(char** data, int* length, char* errorBuf) {
    switch (g_mainMode) {
        case 1:
            return fail(errorBuf, "main page failed", 2);
        case 2:
            put("", data, length);
            return 0;
        case 3:
            *data = nullptr;
            *length = 25;
            return 0;
        case 4:
            return 7;  // failure without a message
        default:
            put("<p>{%APP_SERVER_URL%}|{%APP_PLUGIN_SERVER_URL%}|{%PLUGIN_SERVER_URL%}</p>", data, length);
            return 0;
    }
}

int processRequest(const char* request, const char* paramString, char** data, int* length, char* errorBuf) {
    const std::string req = request;
    if (req == "fail") return fail(errorBuf, "request failed", 3);
    if (req == "empty") {
        *data = nullptr;
        *length = 0;
        return 0;
    }
    if (req == "nul") {
        put(std::string("a\0b", 3), data, length);
        return 0;
    }
    if (req == "feed") {
        put("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Library feed</title>"
            "<item><title>" +
                std::string(paramString) +
                "</title><link>http://example.com/1</link></item>"
                "</channel></rss>",
            data, length);
        return 0;
    }
    put("req=" + req + ";params=" + paramString + ";{%APP_SERVER_URL%}|{%PLUGIN_SERVER_URL%}|{%APP_PLUGIN_SERVER_URL%}",
        data, length);
    return 0;
}

}  // namespace

extern "C" {

// The variant without the entry point exports its record filler under
// another name.
#ifdef APPPLUGIN_TEST_NO_INFO
#define APPPLUGIN_TEST_INFO_NAME wrong_app_plugin_info
#else
#define APPPLUGIN_TEST_INFO_NAME get_app_plugin_info
#endif

__attribute__((visibility("default"))) void APPPLUGIN_TEST_INFO_NAME(AppPluginInfo* info) {
    info->version = 1;
    info->load_app_plugin = loadAppPlugin;
    info->unload_app_plugin = unloadAppPlugin;
#ifdef APPPLUGIN_TEST_NO_MALLOC
    (void)pluginMalloc;  // left unset on purpose
#else
    info->plugin_malloc = pluginMalloc;
#endif
    info->plugin_free = pluginFree;
    info->generate_main_page = generateMainPage;
    info->process_request = processRequest;
}

__attribute__((visibility("default"))) void appplugin_test_set_main_mode(int mode) { g_mainMode = mode; }

__attribute__((visibility("default"))) void appplugin_test_counters(int* loads, int* unloads, int* frees,
                                                                    int* nullFrees) {
    *loads = g_loads;
    *unloads = g_unloads;
    *frees = g_frees;
    *nullFrees = g_nullFrees;
}
}
