#include "app/core/seams.h"

#include <cassert>
#include <mutex>

#include "lib/log/messageLog.h"

namespace seams {
namespace {

std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}

std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}

}  // namespace

Registration::Registration(const char* name, bool (*installed)(), void (*reset)()) : reset_(name, reset) {
    std::lock_guard<std::mutex> guard(registryLock());
    registry().push_back({name, installed});
}

std::vector<Entry> registered() {
    std::lock_guard<std::mutex> guard(registryLock());
    return registry();
}

std::vector<std::string> notInstalled() {
    std::vector<std::string> names;
    for (const Entry& entry : registered()) {
        if (!entry.installed()) names.push_back(entry.name);
    }
    return names;
}

void missing(const char* name) {
    ORVAN_LOG_ANY() << "ERROR: " << name << " was called but start-up did not install it." << std::endl;
    assert(!"a hook was called that start-up did not install");
}

}  // namespace seams
