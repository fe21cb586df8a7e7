#include "utilities/uireset/uiReset.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/registry.h"

namespace uireset {

namespace {

const char kParentKey[] = "HKEY_CURRENT_USER\\Software";
const char kSubKey[] = "Orvan";

}  // namespace

long resetUiKey() {
    // A key that is not there (nor its parent) is as good as deleted.
    errno = 0;
    if (platform::registry::deleteTree(std::string(kParentKey) + "\\" + kSubKey)) return 0;
    if (errno == ENOENT) return 0;
    return errno != 0 ? errno : EIO;
}

std::string errorText(long code) {
    if (code > 0 && code < 4096) {
        char buffer[1024];
        const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
        if (text && std::strncmp(text, "Unknown error", 13) != 0) return text;
    }
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "WIN32 error %08lX", static_cast<unsigned long>(code));
    return fallback;
}

}  // namespace uireset
