#include "app/postedText.h"

#include <map>
#include <mutex>

namespace {

struct Store {
    std::mutex mutex;
    std::map<std::intptr_t, std::string> texts;
    std::intptr_t next = 1;
};

Store& store() {
    static Store s;
    return s;
}

}  // namespace

bool postText(platform::messages::Handle window, unsigned msg, const std::string& text) {
    Store& s = store();
    std::intptr_t id;
    {
        std::lock_guard lock(s.mutex);
        id = s.next++;
        s.texts.emplace(id, text);
    }
    if (platform::messages::postMessage(window, msg, 0, id)) return true;
    std::lock_guard lock(s.mutex);
    s.texts.erase(id);
    return false;
}

std::string takePostedText(std::intptr_t lParam) {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    auto it = s.texts.find(lParam);
    if (it == s.texts.end()) return {};
    std::string text = std::move(it->second);
    s.texts.erase(it);
    return text;
}

void discardPostedTexts() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    s.texts.clear();
}

std::size_t getPostedTextCount() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    return s.texts.size();
}
