#pragma once
// Message groups: named topics of diagnostic output that the message log can
// switch off one by one.
//
//   CMessageGroup g_httpGroup("Http", "");      // a static object per topic
//   if (g_httpGroup.isEnabled()) ...            // test a group
//   CMessageGroup::setEnabledFromList("Http, ChannelManager", true);
//
// Groups register themselves in a process-wide registry (by id, and by name
// without regard to case) and leave it when destroyed. Ids come from a counter
// starting at 1 unless given explicitly. A group starts enabled; the debug
// configuration (loadMessageGroupSettings in lib/log/messageLogInit.h)
// disables all and then enables those named in its "MessageLog" section.
#include <atomic>
#include <ostream>
#include <string>
#include <vector>

class CMessageGroup {
public:
    CMessageGroup();
    CMessageGroup(const std::string& name, const std::string& description);
    CMessageGroup(int id, const std::string& name, const std::string& description);
    ~CMessageGroup();
    CMessageGroup(const CMessageGroup&) = delete;
    CMessageGroup& operator=(const CMessageGroup&) = delete;

    int getId() const { return id_; }
    const std::string& getName() const { return name_; }
    const std::string& getDescription() const { return description_; }
    bool isEnabled() const { return enabled_.load(std::memory_order_relaxed); }
    void setEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }

    static CMessageGroup* findById(int id);
    static CMessageGroup* findByName(const std::string& name);
    static bool isEnabledById(int id);
    static bool isEnabledByName(const std::string& name);
    static void setAllEnabled(bool enabled);
    static void disableAll(bool disable);
    // Names separated by blanks, ',' or ';'; a '*' that ends the text stands
    // for every group. Unknown names are ignored.
    static void setEnabledFromList(const std::string& list, bool enabled);
    // All registered groups, in registration order.
    static std::vector<CMessageGroup*> getAll();

private:
    void registerGroup();
    void unregisterGroup();

    int id_;
    std::string name_;
    std::string description_;
    std::atomic<bool> enabled_{true};
};

// "[id:nameon]" / "[idoff]"
std::ostream& operator<<(std::ostream& os, const CMessageGroup& group);
