#include "desktop/browserContextMenu.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/core/messageGroups.h"
#include "app/core/programObjects.h"
#include "app/misc/programFiles.h"
#include "app/options/globalOptions.h"
#include "lib/log/messageLog.h"
#include "lib/text/templateProcessor.h"
#include "platform/registry.h"
#include "tools/tempFile.h"

const char* const kBrowserContextMenuKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt";

namespace {

// The key store's result as the log shows it: 0, or the error number.
int rc(bool ok) { return ok ? 0 : errno; }

}  // namespace

void installBrowserContextMenu(int appServerPort) {
    namespace reg = platform::registry;
    auto& files = contextMenuFiles();
    for (const auto& [item, menuText] : GlobalOptions::instance().IeContextMenuItems) {
        const std::string templ = makeProgramFilePath("Resources/" + item + ".template");
        std::ifstream in(templ, std::ios::binary);
        if (!in) {
            ORVAN_LOG(g_startupGroup) << "Can't find the " << item << " template file: " << templ << std::endl;
            continue;
        }
        std::unique_ptr<tools::TempFile> page;
        try {
            page = std::make_unique<tools::TempFile>(".html");
            page->open();
            templateProcessor::TemplateProcessor processor;
            processor.setValue("APP_SERVER_URL", "http://127.0.0.1:" + std::to_string(appServerPort));
            processor.run(in, *page);
            page->close();
        } catch (const std::exception& e) {
            ORVAN_LOG(g_startupGroup) << "Can't write the " << item << " page: " << e.what() << std::endl;
            continue;
        }
        const std::string path = page->getFilename();
        files[item] = std::move(page);

        const bool opened = reg::createKey(kBrowserContextMenuKey);
        ORVAN_LOG(g_startupGroup) << "Opened IE context menu extensions registry key: rc=" << rc(opened) << std::endl;
        const std::string subKey = std::string(kBrowserContextMenuKey) + "\\" + menuText;
        const bool created = opened && reg::createKey(subKey);
        ORVAN_LOG(g_startupGroup) << "Created IE context menu extension registry subkey (" << menuText
                                  << "): rc=" << rc(created) << std::endl;
        const bool set = created && reg::setString(subKey, "", path);
        ORVAN_LOG(g_startupGroup) << "Set IE context menu extensions registry subkey value (" << path
                                  << "): rc=" << rc(set) << std::endl;
    }
}

void removeBrowserContextMenu() {
    namespace reg = platform::registry;
    auto& files = contextMenuFiles();
    for (const auto& [item, menuText] : GlobalOptions::instance().IeContextMenuItems) {
        const bool opened = reg::keyExists(kBrowserContextMenuKey);
        ORVAN_LOG(g_shutdownGroup) << "Opened IE context menu extensions registry key: rc=" << rc(opened) << std::endl;
        const bool removed = opened && reg::deleteTree(std::string(kBrowserContextMenuKey) + "\\" + menuText);
        ORVAN_LOG(g_shutdownGroup) << "Removed IE context menu extension registry key (" << menuText
                                   << "): rc=" << rc(removed) << std::endl;
        files.erase(item);
    }
    files.clear();
}
