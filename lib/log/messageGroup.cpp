#include "lib/log/messageGroup.h"

#include <algorithm>
#include <map>

#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"

namespace {

std::atomic<int> g_nextId{1};

struct Registry {
    SharedExclusiveLock lock;
    std::map<int, CMessageGroup*> byId;
    std::map<std::string, CMessageGroup*, LessNoCase> byName;
    std::vector<CMessageGroup*> all;
};

// Created by the first registration (during static initialisation), so it is
// destroyed after every static group that registered.
Registry& registry() {
    static Registry r;
    return r;
}

bool isSeparator(char c) { return c == ',' || c == ';' || isWhitespaceByte(c); }

}  // namespace

CMessageGroup::CMessageGroup() : id_(g_nextId++) { registerGroup(); }

CMessageGroup::CMessageGroup(const std::string& name, const std::string& description)
    : id_(g_nextId++), name_(name), description_(description) {
    registerGroup();
}

CMessageGroup::CMessageGroup(int id, const std::string& name, const std::string& description)
    : id_(id), name_(name), description_(description) {
    registerGroup();
}

CMessageGroup::~CMessageGroup() { unregisterGroup(); }

void CMessageGroup::registerGroup() {
    Registry& r = registry();
    ExclusiveLockGuard guard(&r.lock, __FILE__, __LINE__);
    // A later group with the same id or name replaces the earlier one.
    r.byId[id_] = this;
    r.all.push_back(this);
    if (!name_.empty()) r.byName[name_] = this;
}

void CMessageGroup::unregisterGroup() {
    Registry& r = registry();
    ExclusiveLockGuard guard(&r.lock, __FILE__, __LINE__);
    // Only entries that point at this group go: a group that replaced it under
    // the same id or name stays findable.
    auto byId = r.byId.find(id_);
    if (byId != r.byId.end() && byId->second == this) r.byId.erase(byId);
    r.all.erase(std::remove(r.all.begin(), r.all.end(), this), r.all.end());
    if (!name_.empty()) {
        auto byName = r.byName.find(name_);
        if (byName != r.byName.end() && byName->second == this) r.byName.erase(byName);
    }
}

CMessageGroup* CMessageGroup::findById(int id) {
    Registry& r = registry();
    SharedLockGuard guard(&r.lock, __FILE__, __LINE__);
    auto it = r.byId.find(id);
    return it == r.byId.end() ? nullptr : it->second;
}

CMessageGroup* CMessageGroup::findByName(const std::string& name) {
    Registry& r = registry();
    SharedLockGuard guard(&r.lock, __FILE__, __LINE__);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

bool CMessageGroup::isEnabledById(int id) {
    CMessageGroup* g = findById(id);
    return g && g->isEnabled();
}

bool CMessageGroup::isEnabledByName(const std::string& name) {
    CMessageGroup* g = findByName(name);
    return g && g->isEnabled();
}

void CMessageGroup::setAllEnabled(bool enabled) {
    Registry& r = registry();
    SharedLockGuard guard(&r.lock, __FILE__, __LINE__);
    for (CMessageGroup* g : r.all) g->setEnabled(enabled);
}

void CMessageGroup::disableAll(bool disable) { setAllEnabled(!disable); }

void CMessageGroup::setEnabledFromList(const std::string& list, bool enabled) {
    Registry& r = registry();
    SharedLockGuard guard(&r.lock, __FILE__, __LINE__);
    std::size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && isSeparator(list[pos])) ++pos;
        if (pos >= list.size()) break;
        std::size_t end = pos;
        while (end < list.size() && !isSeparator(list[end])) ++end;
        std::string name = list.substr(pos, end - pos);
        if (name == "*" && end == list.size()) {
            for (CMessageGroup* g : r.all) g->setEnabled(enabled);
            return;
        }
        auto it = r.byName.find(name);
        if (it != r.byName.end()) it->second->setEnabled(enabled);
        pos = end;
    }
}

std::vector<CMessageGroup*> CMessageGroup::getAll() {
    Registry& r = registry();
    SharedLockGuard guard(&r.lock, __FILE__, __LINE__);
    return r.all;
}

std::ostream& operator<<(std::ostream& os, const CMessageGroup& group) {
    os << "[" << group.getId();
    if (!group.getName().empty()) os << ":" << group.getName();
    return os << (group.isEnabled() ? "on" : "off") << "]";
}
