#include "app/core/autoStart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Keys of a desktop entry hold one line: line breaks would start new keys.
std::string oneLine(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string autoStartDirectory() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/autostart";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/autostart";
}

std::string autoStartEntryPath(const std::string& appName) {
    std::string name = lower(appName);
    for (char& c : name)
        if (c == '/' || c == ' ') c = '-';
    if (name.empty()) name = "orvan";
    return autoStartDirectory() + "/" + name + ".desktop";
}

std::string desktopEntryExec(const std::string& program) {
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // The string-value escapes come on top of the quoting.
    return oneLine(quoted);
}

bool writeAutoStartEntry(const std::string& appName, const std::string& program, bool enable, bool& openFailed,
                         std::string& error) {
    openFailed = false;
    const std::string path = autoStartEntryPath(appName);
    std::error_code code;
    if (!enable) {
        if (std::remove(path.c_str()) == 0 || errno == ENOENT) return true;
        error = platform::files::lastErrorText();
        return false;
    }
    std::filesystem::create_directories(autoStartDirectory(), code);
    if (code) {
        openFailed = true;
        error = code.message();
        return false;
    }
    const std::string contents =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=" +
        oneLine(appName) +
        "\n"
        "Exec=" +
        desktopEntryExec(program) +
        "\n"
        "Terminal=false\n";
    if (platform::files::atomicWriteFile(path, contents)) return true;
    error = platform::files::lastErrorText();
    return false;
}
