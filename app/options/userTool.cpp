#include "app/options/userTool.h"

#include <atomic>
#include <sstream>
#include <stdexcept>

#include "lib/misc/stringHelpers.h"
#include "lib/text/templateProcessor.h"
#include "tools/ini.h"

namespace {

std::atomic<UserToolHost*> g_host{nullptr};

}  // namespace

void setUserToolHost(UserToolHost* host) { g_host = host; }

UserToolHost* getUserToolHost() { return g_host.load(); }

std::string encodeQueryValue(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

void UserTool::saveToIni(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, "DisplayName", displayName_);
    tools::writeIniString(iniFile, section, "MenuItem", menuItem_);
    writeToIni(iniFile, section);
}

std::unique_ptr<UserTool> UserTool::createFromIni(const std::string& iniFile, const std::string& section) {
    const std::string type = tools::getIniString(iniFile, section, kUserToolTypeKey, "", true);
    if (compareNoCase(type, "URL") != 0) return nullptr;
    auto tool = std::make_unique<UrlUserTool>();
    tool->setDisplayName(tools::getIniString(iniFile, section, "DisplayName", "", true));
    tool->setMenuItem(tools::getIniString(iniFile, section, "MenuItem", "", true));
    tool->loadFromIni(iniFile, section);
    return tool;
}

std::unique_ptr<UserTool> UrlUserTool::clone() const { return std::make_unique<UrlUserTool>(*this); }

void UrlUserTool::loadFromIni(const std::string& iniFile, const std::string& section) {
    command_ = tools::getIniString(iniFile, section, "Command", "", true);
}

void UrlUserTool::writeToIni(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, kUserToolTypeKey, "url");
    tools::writeIniString(iniFile, section, "Command", command_);
}

std::string UrlUserTool::expandCommand(const std::string& selectedText, const std::string* viewUrl) const {
    templateProcessor::TemplateProcessor processor;
    if (viewUrl) processor.setValue("URL", encodeQueryValue(*viewUrl));
    if (!selectedText.empty()) processor.setValue("SELTEXT", encodeQueryValue(selectedText));
    std::istringstream in(command_);
    std::ostringstream out;
    processor.run(in, out);
    return out.str();
}

void UrlUserTool::run() {
    UserToolHost* host = getUserToolHost();
    if (!host) throw std::runtime_error("User tools can't run without the program's windows.");
    std::string selectedText;
    std::string viewUrl;
    const bool haveView = host->getActiveHtmlView(selectedText, viewUrl);
    if (selectedText.empty()) selectedText = host->getClipboardText();
    const std::string url = expandCommand(selectedText, haveView ? &viewUrl : nullptr);
    if (!host->isShiftOrCtrlDown())
        host->openInSimpleBrowser(url, getDisplayName());
    else
        host->openItem(url);
}
