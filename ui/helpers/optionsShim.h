#pragma once
// The option values the helpers and openers read, with their defaults,
// until the global options object is in place.
#include <string>
struct DesktopOptions {
    bool disableAllSound() const { return false; }
    int appPluginServerPort() const { return 8900; }
    bool listenForSubscriptions(int) const { return false; }
    std::string emailUrlSubjectLine() const { return "Link"; }
    std::string emailUrlBodyTemplate() const { return "{%URL%}"; }
    bool showBriefChannelSummaries() const { return false; }
};
inline const DesktopOptions& desktopOptions() {
    static DesktopOptions o;
    return o;
}
