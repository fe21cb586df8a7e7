#pragma once
/*
 * The contract between the host and an application plug-in library.
 *
 * The library exports one C function, get_app_plugin_info, which the host
 * calls once with a record that it has filled with zeros; the library stores
 * its entry points into it. Every word of the record is as wide as a pointer,
 * so an entry point the library leaves unset reads as null and is reported by
 * name instead of being called.
 *
 *   extern "C" void get_app_plugin_info(AppPluginInfo* info) {
 *       info->version = 1;
 *       info->load_app_plugin = myLoad;  ...
 *   }
 *
 * Every call that takes errorBuf gets a fresh buffer of
 * APP_PLUGIN_ERROR_BUFFER_SIZE bytes filled with zeros; a failing entry point
 * returns non-zero and may leave a NUL-terminated message of at most
 * APP_PLUGIN_ERROR_BUFFER_SIZE - 1 bytes in it.
 *
 * Pages: generate_main_page and process_request store the address and the
 * length in bytes of a block that the library allocated; the page is not
 * NUL-terminated and may hold any byte. The host copies it and hands the
 * block back through plugin_free (also when the address is null). Pages may
 * refer to the local servers with {%APP_SERVER_URL%} and, in main pages,
 * {%APP_PLUGIN_SERVER_URL%}, in request answers {%PLUGIN_SERVER_URL%}.
 *
 * generate_main_page and process_request may be called from several threads
 * at once; the library serialises its own state.
 *
 * This header is plain C so that plug-in libraries written in C can use it.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define APP_PLUGIN_ERROR_BUFFER_SIZE 1024

/* 0 = success. pluginConfigFile is the path of the ".plugin" definition. */
typedef int (*LoadAppPluginFunc)(const char* pluginConfigFile, char* errorBuf);
/* Called once before the library is released; result ignored. */
typedef int (*UnloadAppPluginFunc)(char* errorBuf);
/* The library's allocator; must be present, the host does not call it. */
typedef void* (*PluginMallocFunc)(int size);
/* Releases a page block. */
typedef void (*PluginFreeFunc)(void* block);
/* 0 = success; *data and *length describe the main page. */
typedef int (*GenerateMainPageFunc)(char** data, int* length, char* errorBuf);
/* 0 = success; *data and *length describe the answer (may be empty). */
typedef int (*ProcessRequestFunc)(const char* request, const char* paramString, char** data, int* length,
                                  char* errorBuf);

typedef struct AppPluginInfo {
    intptr_t version; /* not read by the host; plug-ins store 1 */
    LoadAppPluginFunc load_app_plugin;
    UnloadAppPluginFunc unload_app_plugin;
    PluginMallocFunc plugin_malloc;
    PluginFreeFunc plugin_free;
    GenerateMainPageFunc generate_main_page;
    ProcessRequestFunc process_request;
} AppPluginInfo;

/* The one exported function. */
typedef void (*GetAppPluginInfoFunc)(AppPluginInfo* info);

#ifdef __cplusplus
}
#endif
