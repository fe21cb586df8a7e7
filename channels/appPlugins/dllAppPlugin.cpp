#include "channels/appPlugins/dllAppPlugin.h"

#include <cstdint>
#include <cstring>
#include <sstream>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/exception.h"
#include "channels/appPlugins/localPluginUrl.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/text/templateProcessor.h"
#include "platform/library.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

// A zeroed buffer for the library's error message.
struct ErrorBuffer {
    char text[APP_PLUGIN_ERROR_BUFFER_SIZE] = {};
    // The message up to the first NUL, never beyond the buffer.
    std::string message() const { return std::string(text, ::strnlen(text, sizeof text)); }
    // The 32-bit little-endian word at byte offset 4 * index.
    std::int32_t word(int index) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(text) + 4 * index;
        const std::uint32_t value = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                    std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
        return static_cast<std::int32_t>(value);
    }
};

// Hands a page block back to the library when it goes out of scope.
class PageBlock {
public:
    // releaseNull: hand a null address back too.
    PageBlock(PluginFreeFunc release, char* data, bool releaseNull)
        : release_(release), data_(data), releaseNull_(releaseNull) {}
    ~PageBlock() {
        if (data_ || releaseNull_) release_(data_);
    }
    PageBlock(const PageBlock&) = delete;
    PageBlock& operator=(const PageBlock&) = delete;

private:
    PluginFreeFunc release_;
    char* data_;
    bool releaseNull_;
};

// The local server ports of the owning manager (both 0 without one).
void readPorts(const AppPlugin& plugin, int& appServerPort, int& appPluginServerPort) {
    appServerPort = appPluginServerPort = 0;
    if (AppPluginManager* manager = plugin.getAppPluginManager()) {
        appServerPort = manager->getAppServerPort();
        appPluginServerPort = manager->getAppPluginServerPort();
    }
}

}  // namespace

DllAppPlugin::DllAppPlugin(AppPluginManager* owner) : AppPlugin(owner) {}

DllAppPlugin::~DllAppPlugin() {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    if (info_) {
        ErrorBuffer buffer;
        info_->unload_app_plugin(buffer.text);
    }
    library_.reset();
    info_.reset();
}

void DllAppPlugin::load(const std::string& configFilename) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    const std::string pluginFile = tools::getIniString(configFilename, "Config", "Plugin", "", true);
    if (pluginFile.empty()) throw Exception("Missing 'Plugin' parameter: " + configFilename);

    std::string path = tools::getDirectoryOf(configFilename) + pluginFile;
    // A bare name would be searched along the loader's paths; the library
    // belongs next to its definition.
    if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos) path = "./" + path;

    auto library = std::make_unique<platform::library::Library>();
    if (!library->open(path)) {
        const std::string reason = library->error();
        ORVAN_LOG(logGroupPluginLoad()) << "Loader error: " << reason << std::endl;
        throw Exception("Can't load the plugin DLL: " + pluginFile);
    }
    library_ = std::move(library);

    const auto getInfo = library_->function<GetAppPluginInfoFunc>("get_app_plugin_info");
    if (!getInfo) throw Exception("Can't find the DLL's get_app_plugin_info() entry point.");

    auto info = std::make_unique<AppPluginInfo>();
    std::memset(info.get(), 0, sizeof(AppPluginInfo));
    getInfo(info.get());

    const std::pair<bool, const char*> entries[] = {
        {info->load_app_plugin != nullptr, "load_app_plugin()"},
        {info->unload_app_plugin != nullptr, "unload_app_plugin()"},
        {info->plugin_malloc != nullptr, "plugin_malloc()"},
        {info->plugin_free != nullptr, "plugin_free()"},
        {info->generate_main_page != nullptr, "generate_main_page()"},
        {info->process_request != nullptr, "process_request()"},
    };
    for (const auto& [present, name] : entries)
        if (!present) throw Exception(std::string("Missing entry point: ") + name);

    ErrorBuffer buffer;
    if (info->load_app_plugin(configFilename.c_str(), buffer.text) != 0)
        throw Exception("DllAppPlugin initialization error: " + buffer.message());
    info_ = std::move(info);

    if (compareNoCase(getAppPluginId(), "CodeProject") == 0) {
        setAppPluginFeedName("TheLounge", buffer.word(0));
        setAppPluginFeedName("MessageBoards", buffer.word(1));
        setAppPluginFeedName("Articles", buffer.word(2));
    }
}

void DllAppPlugin::generateMainPage() {
    if (!info_) throw Exception("The plugin has not been loaded.");
    char* data = nullptr;
    int length = 0;
    ErrorBuffer buffer;
    if (info_->generate_main_page(&data, &length, buffer.text) != 0) throw Exception(buffer.message());
    const PageBlock block(info_->plugin_free, data, false);
    if (!data || length <= 0) throw Exception("The plugin returned an empty main page.");
    std::istringstream page(std::string(data, static_cast<std::size_t>(length)));

    // The ports before the plug-in's lock: the manager's lock is outside it.
    int appServerPort = 0, appPluginServerPort = 0;
    readPorts(*this, appServerPort, appPluginServerPort);

    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    tools::TempFile& output = getOutputFile();
    output.open();
    if (!output.is_open()) throw Exception("Can't open the plugin's HTML output file: " + output.getFilename());
    templateProcessor::TemplateProcessor processor;
    processor.setValue("APP_SERVER_URL", makeLocalServerUrl(appServerPort));
    processor.setValue("APP_PLUGIN_SERVER_URL", makeLocalServerUrl(appPluginServerPort));
    processor.run(page, output);
    output.close();
}

void DllAppPlugin::processRequest(const std::string& request, const std::string& paramString, std::string& page,
                                  Channel* /*channel*/) {
    if (!info_) throw Exception("The plugin has not been loaded.");
    char* data = nullptr;
    int length = 0;
    ErrorBuffer buffer;
    if (info_->process_request(request.c_str(), paramString.c_str(), &data, &length, buffer.text) != 0)
        throw Exception(buffer.message());
    const PageBlock block(info_->plugin_free, data, true);
    std::istringstream answer(data && length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string());

    int appServerPort = 0, appPluginServerPort = 0;
    readPorts(*this, appServerPort, appPluginServerPort);
    templateProcessor::TemplateProcessor processor;
    processor.setValue("APP_SERVER_URL", makeLocalServerUrl(appServerPort));
    processor.setValue("PLUGIN_SERVER_URL", makeLocalServerUrl(appPluginServerPort));
    std::ostringstream expanded;
    processor.run(answer, expanded);
    page = expanded.str();
}

}  // namespace channels
